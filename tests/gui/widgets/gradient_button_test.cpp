#include "gui/widgets/gradient_button.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include "gui/widgets/qt_colours.h"

namespace rowsmith::gui {
namespace {

constexpr int32_t kRed = 0x0000FF, kBlue = 0xFF0000;

// A shown, active window with one button, so that focus and accelerators work.
struct Fixture {
    QWidget window;
    TGradBtn* button = new TGradBtn(&window);
    int clicks = 0;

    Fixture() {
        window.resize(200, 60);
        button->setGeometry(10, 10, 100, 30);
        button->SetGradientStyle(TGradientStyle::gsHorizontal);
        button->SetBeginColor(kRed);
        button->SetEndColor(kBlue);
        QObject::connect(button, &TGradBtn::clicked, [this] { ++clicks; });
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    int32_t LeftPixel() { return FromQColor(button->grab().toImage().pixelColor(3, 15)); }
};

const QPoint kInside(50, 15), kOutside(150, 15);

TEST(TGradBtn, SwapsColoursExactlyWhileTheLeftButtonIsHeld) {
    Fixture f;
    QTest::mousePress(f.button, Qt::LeftButton, {}, kInside);
    EXPECT_TRUE(f.button->IsDown());
    EXPECT_EQ(f.button->BeginColor(), kBlue);
    EXPECT_EQ(f.button->EndColor(), kRed);
    EXPECT_GT((f.LeftPixel() >> 16) & 0xFF, 200);  // the face now starts blue

    // Dragging away releases the face; coming back presses it again.
    QTest::mouseMove(f.button, kOutside);
    EXPECT_FALSE(f.button->IsDown());
    EXPECT_EQ(f.button->BeginColor(), kRed);
    QTest::mouseMove(f.button, kInside);
    EXPECT_TRUE(f.button->IsDown());
    EXPECT_EQ(f.button->BeginColor(), kBlue);

    // Releasing outside restores the colours without a click.
    QTest::mouseMove(f.button, kOutside);
    QTest::mouseRelease(f.button, Qt::LeftButton, {}, kOutside);
    EXPECT_FALSE(f.button->IsDown());
    EXPECT_EQ(f.button->BeginColor(), kRed);
    EXPECT_EQ(f.button->EndColor(), kBlue);
    EXPECT_GT(f.LeftPixel() & 0xFF, 200);
    EXPECT_EQ(f.clicks, 0);
}

TEST(TGradBtn, ReleaseOverTheButtonClicksWithTheColoursRestored) {
    Fixture f;
    int32_t begin_during_click = -1;
    bool down_during_click = true;
    QObject::connect(f.button, &TGradBtn::clicked, [&] {
        begin_during_click = f.button->BeginColor();
        down_during_click = f.button->IsDown();
    });
    QTest::mouseClick(f.button, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(f.clicks, 1);
    EXPECT_EQ(begin_during_click, kRed);
    EXPECT_FALSE(down_during_click);
    EXPECT_EQ(f.button->BeginColor(), kRed);

    // Without SwapColors the colours never move.
    f.button->SetSwapColors(false);
    QTest::mousePress(f.button, Qt::LeftButton, {}, kInside);
    EXPECT_TRUE(f.button->IsDown());
    EXPECT_EQ(f.button->BeginColor(), kRed);
    QTest::mouseRelease(f.button, Qt::LeftButton, {}, kInside);
    EXPECT_EQ(f.clicks, 2);
}

TEST(TGradBtn, RightPressTakesFocusButLeavesTheColours) {
    Fixture f;
    auto* other = new TGradBtn(&f.window);
    other->setGeometry(120, 10, 60, 30);
    other->show();
    other->setFocus();
    QTest::mousePress(f.button, Qt::RightButton, {}, kInside);
    EXPECT_TRUE(f.button->hasFocus());
    EXPECT_FALSE(f.button->IsDown());
    EXPECT_EQ(f.button->BeginColor(), kRed);
    QTest::mouseRelease(f.button, Qt::RightButton, {}, kInside);
    EXPECT_EQ(f.clicks, 0);
    EXPECT_EQ(f.button->BeginColor(), kRed);
}

TEST(TGradBtn, EnterClicksWithoutSwapping) {
    Fixture f;
    int32_t begin_during_click = -1;
    QObject::connect(f.button, &TGradBtn::clicked, [&] { begin_during_click = f.button->BeginColor(); });
    f.button->setFocus();
    QTest::keyClick(f.button, Qt::Key_Return);
    QTest::keyClick(f.button, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(f.clicks, 2);
    EXPECT_EQ(begin_during_click, kRed);
    EXPECT_EQ(f.button->BeginColor(), kRed);
    EXPECT_EQ(f.button->EndColor(), kBlue);

    // An Enter click must not swallow the release of the next mouse press.
    QTest::mousePress(f.button, Qt::LeftButton, {}, kInside);
    QTest::mouseMove(f.button, kOutside);
    QTest::mouseRelease(f.button, Qt::LeftButton, {}, kOutside);
    EXPECT_FALSE(f.button->IsDown());
    EXPECT_EQ(f.button->BeginColor(), kRed);
}

TEST(TGradBtn, AltAndTheAcceleratorLetterClicks) {
    Fixture f;
    f.button->SetCaption(QStringLiteral("&Start"));
    QTest::keyClick(&f.window, Qt::Key_T, Qt::AltModifier);
    EXPECT_EQ(f.clicks, 0);
    QTest::keyClick(&f.window, Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(f.clicks, 1);
    EXPECT_EQ(f.button->BeginColor(), kRed);

    f.button->setEnabled(false);
    QTest::keyClick(&f.window, Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(f.clicks, 1);

    // A literal "&&" is no accelerator.
    f.button->setEnabled(true);
    f.button->SetCaption(QStringLiteral("Save && Start"));
    QTest::keyClick(&f.window, Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(f.clicks, 1);
}

// The box of dark caption pixels inside the frame.
QRect InkBox(TGradBtn& button) {
    const QImage image = button.grab().toImage();
    QRect box;
    for (int y = 2; y < image.height() - 2; ++y)
        for (int x = 2; x < image.width() - 2; ++x)
            if (image.pixelColor(x, y).lightness() < 100) box |= QRect(x, y, 1, 1);
    return box;
}

TEST(TGradBtn, AcceleratorLetterIsUnderlinedAndCentredWithoutTheMark) {
    TGradBtn plain, marked;
    for (TGradBtn* b : {&plain, &marked}) {
        b->resize(120, 33);
        b->SetBeginColor(0xFFFFFF);
        b->SetEndColor(0xFFFFFF);
        b->SetTextStyle(TTextStyle::tsNormal);
        b->SetShowFocus(false);
    }
    plain.SetCaption(QStringLiteral("Start"));
    marked.SetCaption(QStringLiteral("&Start"));
    const QRect a = InkBox(plain), b = InkBox(marked);
    ASSERT_FALSE(a.isEmpty());
    EXPECT_NEAR(a.left(), b.left(), 1);
    EXPECT_NEAR(a.right(), b.right(), 1);
    EXPECT_GT(b.bottom(), a.bottom());  // the underline
}

TEST(TGradBtn, FrameIsReversedWhileDown) {
    Fixture f;
    f.button->SetBtnHiliteClr(0xFFFFFF);
    f.button->SetBtnShadowClr(0x000000);
    const QImage up = f.button->grab().toImage();
    EXPECT_EQ(FromQColor(up.pixelColor(0, 10)), 0xFFFFFF);
    EXPECT_EQ(FromQColor(up.pixelColor(99, 10)), 0x000000);
    QTest::mousePress(f.button, Qt::LeftButton, {}, kInside);
    const QImage down = f.button->grab().toImage();
    EXPECT_EQ(FromQColor(down.pixelColor(0, 10)), 0x000000);
    EXPECT_EQ(FromQColor(down.pixelColor(99, 10)), 0xFFFFFF);
    QTest::mouseRelease(f.button, Qt::LeftButton, {}, kInside);
}

}  // namespace
}  // namespace rowsmith::gui
