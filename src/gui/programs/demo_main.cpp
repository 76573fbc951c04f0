// rowsmith-demo: a test window with the painted controls. With --screenshot PATH it grabs the Start
// button's window and a progress window at 40 % into one PNG and exits (scripts/screenshot).

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <cstdio>

#include "gui/widgets/control_helpers.h"
#include "gui/widgets/gradient_panel.h"
#include "gui/windows/progress_window.h"
#include "gui/widgets/gradient_button.h"
#include "text/form_gauge.h"

using namespace rowsmith;
using namespace rowsmith::gui;

namespace {

bool SaveScreenshot(QWidget& window, QWidget& gauge, const QString& path) {
    const QPixmap top = window.grab();
    const QPixmap bottom = gauge.grab();
    QImage image(std::max(top.width(), bottom.width()), top.height() + bottom.height() + 8,
                 QImage::Format_RGB32);
    image.fill(Qt::darkGray);
    QPainter painter(&image);
    painter.drawPixmap(0, 0, top);
    painter.drawPixmap(0, top.height() + 8, bottom);
    painter.end();
    return image.save(path, "PNG");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rowsmith demo"));
    const QStringList args = QApplication::arguments();
    const int shot = args.indexOf(QStringLiteral("--screenshot"));
    const QString path = shot >= 0 && shot + 1 < args.size() ? args[shot + 1] : QString();
    if (shot >= 0 && path.isEmpty()) {
        std::fprintf(stderr, "usage: rowsmith-demo [--screenshot PATH]\n");
        return 1;
    }

    TGPanel window;
    window.setWindowTitle(QStringLiteral("Rowsmith demo"));
    window.SetHorizontal(false);
    window.SetPercent(40);
    window.SetColor_1(0xFFFFFF);
    window.SetColor_2(0xF0E0D0);
    window.SetColor_3(0xD8C0A8);
    window.resize(456, 120);
    RegisterFirstForm(&window);

    auto* label = new QLabel(QStringLiteral("Gradient button, elliptic, red to white:"), &window);
    label->setGeometry(16, 12, 424, 20);
    auto* start = new TGradBtn(&window);
    start->SetCaption(QStringLiteral("&Start"));
    start->SetGradientStyle(TGradientStyle::gsElliptic);
    start->setGeometry(88, 48, 281, 33);
    RecolourControls();
    ColourStartButton(start, kClRed);

    GaugeWindowFactory factory;
    text::TFormGauge gauge;
    gauge.views = &factory;
    text::ApplyGaugeSettings(gauge, text::GaugeUse::Copying);
    gauge.refresh_interval = 0;  // every update shows
    gauge.Update("Copying Files...", "/home/user/samples/letters/2024/january/minutes-of-the-meeting.txt",
                 40);

    window.show();
    start->setFocus();
    auto* gauge_window = dynamic_cast<TGaugeWindow*>(gauge.View());
    if (gauge_window != nullptr) gauge_window->move(window.x(), window.y() + window.height() + 40);

    if (shot < 0) return QApplication::exec();

    int status = 0;
    QTimer::singleShot(300, [&] {
        if (gauge_window == nullptr || !SaveScreenshot(window, *gauge_window, path)) {
            std::fprintf(stderr, "rowsmith-demo: could not write %s\n", qPrintable(path));
            status = 1;
        }
        QApplication::quit();
    });
    QApplication::exec();
    return status;
}
