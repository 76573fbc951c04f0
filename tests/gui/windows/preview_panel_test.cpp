#include "gui_files.h"
#include "gui/windows/preview_panel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "gui/widgets/file_grid.h"
#include "gui/widgets/gradient_panel.h"
#include "gui/widgets/gradient_button.h"
#include "gui/windows/main_window.h"

namespace rowsmith::gui {
namespace {

class SilentView final : public text::GaugeView {
  public:
    void Repaint(const text::GaugePaint&) override {}
};
class SilentViews final : public text::GaugeViewFactory {
  public:
    std::unique_ptr<text::GaugeView> CreateGaugeView() override { return std::make_unique<SilentView>(); }
};

// A window over a source folder with two files, populated.
struct Window {
    QTemporaryDir tmp;
    QString source, destination;
    SilentViews views;
    std::unique_ptr<TForm1> form;

    Window() {
        source = tmp.path() + "/in";
        destination = tmp.path() + "/out";
        WriteAll(source + "/a.txt", "one\r\ntwo\r\nthree\r\n");
        WriteAll(source + "/b.txt", "alpha\r\nbeta");
        form = std::make_unique<TForm1>(
            std::vector<std::string>{source.toStdString(), destination.toStdString()});
        form->SetGaugeViews(&views);
        form->resize(1100, 760);
        form->show();
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        Settled();
    }
    // Waits for the debounced refresh a change scheduled.
    void Settled() {
        if (form->Preview->Pending()) {
            QSignalSpy refreshed(form->Preview, &TPreviewPanel::Refreshed);
            ASSERT_TRUE(refreshed.wait(2000));
        }
        QApplication::processEvents();
    }
    std::vector<std::string> Column(int column) const {
        std::vector<std::string> out;
        QTableWidget* t = form->Preview->Table();
        for (int r = 0; r < t->rowCount(); ++r) out.push_back(t->item(r, column)->text().toStdString());
        return out;
    }
    // The whole message: the label may show it wrapped and cut.
    std::string Message() const { return form->Preview->MessageLabel()->toolTip().toStdString(); }
};

using Texts = std::vector<std::string>;

TEST(PreviewPanel, IsAManagedCollapsiblePanelOfTheWindow) {
    Window w;
    TForm1& f = *w.form;
    TeasyPanel& layout = f.WindowLayout();
    const int slot = SlotOfPanel(layout, f.Panel8);
    ASSERT_GE(slot, 0);
    EXPECT_EQ(f.Panel8->Caption(), QStringLiteral("Preview"));
    EXPECT_NE(layout.OrderText.find(static_cast<char>('0' + slot)), std::string::npos);
    EXPECT_TRUE(f.Panel8->isVisible());
    // It takes the rest of the settings' column, below "Start", and fills its panel below the title.
    EXPECT_EQ(f.Panel8->x(), f.Panel1->x());
    EXPECT_GT(f.Panel8->y(), f.Panel4->y());
    EXPECT_GT(f.Preview->height(), 50);
    EXPECT_LE(f.Preview->mapTo(&f, QPoint(0, f.Preview->height())).y(), f.Panel8->geometry().bottom() + 1);
    const int open_height = f.Panel8->height();
    Collapse(layout, slot, true);
    EXPECT_LT(f.Panel8->height(), open_height);
    Restore(layout, slot, true);
    EXPECT_EQ(f.Panel8->height(), open_height);
}

TEST(PreviewPanel, ShowsTheFirstFileAndFollowsTypingOnceItPauses) {
    Window w;
    TForm1& f = *w.form;
    // Neither option: the file as it is copied.
    EXPECT_EQ(w.Column(0), (Texts{"1", "2", "3"}));
    EXPECT_EQ(w.Column(1), (Texts{"one\\r\\n", "two\\r\\n", "three\\r\\n"}));
    EXPECT_EQ(w.Column(2), (Texts{"one\\r\\n", "two\\r\\n", "three\\r\\n"}));
    EXPECT_NE(w.Message().find("copied unchanged"), std::string::npos) << w.Message();

    f.CheckBox2->setChecked(true);
    f.Edit3->clear();
    w.Settled();
    QSignalSpy refreshed(f.Preview, &TPreviewPanel::Refreshed);
    QTest::keyClicks(f.Edit3, QStringLiteral("[{{line|caseupper}}]{{crlf}}"));
    // Typing refreshes nothing yet; one refresh follows the pause.
    EXPECT_EQ(refreshed.count(), 0);
    EXPECT_TRUE(f.Preview->Pending());
    ASSERT_TRUE(refreshed.wait(2000));
    QTest::qWait(TPreviewPanel::kDebounceMs + 50);
    EXPECT_EQ(refreshed.count(), 1);
    EXPECT_EQ(w.Column(1), (Texts{"one\\r\\n", "two\\r\\n", "three\\r\\n"}));
    EXPECT_EQ(w.Column(2), (Texts{"[ONE]\\r\\n", "[TWO]\\r\\n", "[THREE]\\r\\n"}));
    // The tooltip of a line carries its trace.
    const QString tip = f.Preview->Table()->item(1, 2)->toolTip();
    EXPECT_TRUE(tip.contains(QStringLiteral("Trace:"))) << tip.toStdString();
    EXPECT_TRUE(tip.contains(QStringLiteral("caseupper"))) << tip.toStdString();
    EXPECT_TRUE(tip.contains(QStringLiteral("TWO"))) << tip.toStdString();
}

TEST(PreviewPanel, TheIntervalAppliesAndTheSelectedFileIsShown) {
    Window w;
    TForm1& f = *w.form;
    f.CheckBox1->setChecked(true);
    f.Edit4->setText(QStringLiteral("-1;1"));
    w.Settled();
    EXPECT_EQ(w.Column(0), (Texts{"3", "1"}));
    EXPECT_EQ(w.Column(2), (Texts{"three\\r\\n", "one\\r\\n"}));
    // Unchecking the box greys the interval: the run, and so the preview, ignore it.
    f.CheckBox1->setChecked(false);
    w.Settled();
    EXPECT_EQ(w.Column(0), (Texts{"1", "2", "3"}));
    f.CheckBox1->setChecked(true);
    w.Settled();

    // The second file, selected in the grid: its last line has no line break in the source, and under
    // auto it gets none.
    GridControl* grid = f.AdvStringGrid1;
    grid->setCurrentIndex(grid->model()->index(1, 1));
    w.Settled();
    EXPECT_EQ(w.Column(1), (Texts{"beta", "alpha\\r\\n"}));
    EXPECT_EQ(w.Column(2), (Texts{"beta", "alpha\\r\\n"}));
    EXPECT_NE(w.Message().find("b.txt"), std::string::npos) << w.Message();
}

TEST(PreviewPanel, FollowsTheLineEndsChoice) {
    Window w;
    TForm1& f = *w.form;
    WriteAll(w.source + "/a.txt", "one\ntwo\r\n");
    f.CheckBox1->setChecked(true);
    f.Edit4->setText(QStringLiteral("1-"));
    w.Settled();
    struct {
        const char* choice;
        Texts inputs, outputs;
    } cases[] = {
        {"Windows CR LF", {"one\\ntwo\\r\\n"}, {"one\\ntwo\\r\\n"}},
        {"Unix LF", {"one\\n", "two\\r\\n"}, {"one\\n", "two\\n"}},
        {"Auto", {"one\\n", "two\\r\\n"}, {"one\\n", "two\\r\\n"}},
    };
    for (const auto& c : cases) {
        f.ComboLineEnds->setCurrentText(QString::fromLatin1(c.choice));
        EXPECT_TRUE(f.Preview->Pending()) << c.choice;
        w.Settled();
        EXPECT_EQ(w.Column(1), c.inputs) << c.choice;
        EXPECT_EQ(w.Column(2), c.outputs) << c.choice;
    }
    // The tooltip names the end the line had in its file too.
    EXPECT_TRUE(f.Preview->Table()->item(0, 1)->toolTip().contains(QStringLiteral("ends with \\n")));
    EXPECT_TRUE(f.Preview->Table()->item(1, 1)->toolTip().contains(QStringLiteral("ends with \\r\\n")));
}

TEST(PreviewPanel, ACountingTemplateInThePreviewLeavesTheRunsCounterAlone) {
    Window w;
    TForm1& f = *w.form;
    f.CheckBox2->setChecked(true);
    f.Edit3->setText(QStringLiteral("{{|inc:n}}{{n}} {{line}}{{crlf}}"));
    w.Settled();
    EXPECT_EQ(w.Column(2), (Texts{"1 one\\r\\n", "2 two\\r\\n", "3 three\\r\\n"}));
    // Previewing again counts from 1 again.
    f.Preview->RefreshNow();
    EXPECT_EQ(w.Column(2), (Texts{"1 one\\r\\n", "2 two\\r\\n", "3 three\\r\\n"}));
    EXPECT_EQ(tmpl::GetVariableValue(f.Template().Context, "n"), "");

    QTest::mouseClick(f.GradBtn1, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(ReadAll(w.destination + "/a.txt"), "1 one\r\n2 two\r\n3 three\r\n");
    EXPECT_EQ(ReadAll(w.destination + "/b.txt"), "4 alpha\r\n5 beta\r\n");
    // After the run the preview still starts from 1, while the run's counter carries on.
    f.Preview->RefreshNow();
    EXPECT_EQ(w.Column(2).front(), "1 one\\r\\n");
    EXPECT_EQ(tmpl::GetVariableValue(f.Template().Context, "n"), "5");
}

// UTF-16LE with its byte order mark (characters of the basic plane only).
std::string Utf16LeBom(const QString& text) {
    std::string out = "\xFF\xFE";
    for (QChar c : text) {
        out += static_cast<char>(c.unicode() & 0xFF);
        out += static_cast<char>(c.unicode() >> 8);
    }
    return out;
}

TEST(PreviewPanel, ShowsEachFileDecodedAsTheRunReadsItAndNamesItsEncoding) {
    Window w;
    TForm1& f = *w.form;
    f.CheckBox1->setChecked(true);
    f.Edit4->setText(QStringLiteral("1-"));
    WriteAll(w.source + "/a.txt", Utf16LeBom(QStringLiteral("h\u00E9llo\nw\u00F6rld\n")));
    w.Settled();
    f.Preview->RefreshNow();
    EXPECT_EQ(w.Column(1), (Texts{"h\xC3\xA9llo\\n", "w\xC3\xB6rld\\n"}));
    EXPECT_EQ(w.Column(2), (Texts{"h\xC3\xA9llo\\n", "w\xC3\xB6rld\\n"}));
    EXPECT_EQ(w.Message().rfind("a.txt (UTF-16LE BOM, lines end at every LF): ", 0), 0u) << w.Message();

    WriteAll(w.source + "/a.txt", "caf\xE9\r\n");
    f.Preview->RefreshNow();
    EXPECT_EQ(w.Column(1), (Texts{"caf\xC3\xA9\\r\\n"}));
    EXPECT_EQ(w.Message().rfind("a.txt (windows-1252, lines end at CR LF): ", 0), 0u) << w.Message();

    // As bytes the byte that is no UTF-8 character shows as an escape, not as a replacement mark.
    f.ComboEncoding->setCurrentText(QString::fromLatin1(kEncodingChoices[4].caption));
    w.Settled();
    EXPECT_EQ(w.Column(1), (Texts{"caf\\xE9\\r\\n"}));
    EXPECT_EQ(w.Message().rfind("a.txt (bytes, lines end at CR LF): ", 0), 0u) << w.Message();
    EXPECT_EQ(f.Preview->Shown().rows.at(0).input, "caf\xE9");

    // A name the run cannot read leaves no lines, only its error.
    f.ComboEncoding->setCurrentText(QStringLiteral("xyz"));
    w.Settled();
    EXPECT_EQ(f.Preview->Table()->rowCount(), 0);
    EXPECT_EQ(w.Message(), "unknown encoding \"xyz\"");
}

TEST(PreviewPanel, ProblemsShowInThePanelNotInADialog) {
    QTemporaryDir tmp;
    TForm1 f({});
    f.show();
    f.Preview->RefreshNow();
    EXPECT_EQ(f.Preview->Table()->rowCount(), 0);
    EXPECT_NE(f.Preview->MessageLabel()->toolTip().indexOf(QStringLiteral("populate the file list")), -1);

    Window w;
    QFile::remove(w.source + "/a.txt");
    w.form->Preview->RefreshNow();
    EXPECT_EQ(w.form->Preview->Table()->rowCount(), 0);
    EXPECT_NE(w.Message().find("Cannot read " + (w.source + "/a.txt").toStdString()), std::string::npos)
        << w.Message();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(TPreviewPanel, FillsItsParentAndAsksItsSourceOnEveryRefresh) {
    QTemporaryDir tmp;
    WriteAll(tmp.path() + "/t.txt", std::string("tab\there\r\n"));
    QWidget parent;
    parent.resize(400, 300);
    auto* panel = new TPreviewPanel(&parent);
    parent.show();
    EXPECT_EQ(panel->geometry(), QRect(4, 4, 392, 292));
    parent.resize(500, 200);
    QApplication::processEvents();
    EXPECT_EQ(panel->geometry(), QRect(4, 4, 492, 192));

    int asked = 0;
    panel->SetRequestSource([&] {
        ++asked;
        PreviewRequestT r;
        r.file = (tmp.path() + "/t.txt").toStdString();
        r.settings.TemplateActive = true;
        r.settings.TemplateText = "{{line}}";
        return r;
    });
    panel->Schedule();
    panel->Schedule();
    EXPECT_EQ(asked, 0);
    QSignalSpy refreshed(panel, &TPreviewPanel::Refreshed);
    ASSERT_TRUE(refreshed.wait(2000));
    EXPECT_EQ(asked, 1);
    // Control characters are shown escaped.
    EXPECT_EQ(panel->Table()->item(0, 1)->text(), QStringLiteral("tab\\there\\r\\n"));
    EXPECT_EQ(panel->Shown().rows.at(0).output, "tab\there");
}

// A scheduled refresh is built on another thread: the window keeps handling events meanwhile, only
// the newest request's preview is shown, and a panel that goes while one is built stops it.
TEST(TPreviewPanel, BackgroundRefreshesShowOnlyTheNewestAndStopWithThePanel) {
    QTemporaryDir tmp;
    std::string big;
    for (int i = 1; i <= 200000; ++i) big += "line " + std::to_string(i) + "\r\n";
    WriteAll(tmp.path() + "/big.txt", big);
    WriteAll(tmp.path() + "/small.txt", std::string("only\r\n"));
    QWidget parent;
    parent.resize(400, 300);
    auto* panel = new TPreviewPanel(&parent);
    parent.show();
    std::string file = "big.txt";
    // Counted from the end over a cap far below the file's size: the whole file is counted.
    panel->SetRequestSource([&] {
        PreviewRequestT r;
        r.file = (tmp.path() + "/" + QString::fromStdString(file)).toStdString();
        r.settings.IntervalActive = true;
        r.settings.IntervalText = "-2-";
        r.max_bytes = 1024;
        return r;
    });
    QSignalSpy refreshed(panel, &TPreviewPanel::Refreshed);
    panel->Schedule();
    ASSERT_TRUE(refreshed.wait(5000));
    EXPECT_FALSE(panel->Pending());
    ASSERT_EQ(panel->Shown().rows.size(), 2u);
    EXPECT_EQ(panel->Shown().rows[0].line, 199999);
    EXPECT_EQ(panel->Shown().rows[1].input, "line 200000");

    // A second request while the first may still be built: whenever the first ends, what stays shown
    // is the second's.
    refreshed.clear();
    panel->Schedule();
    QTest::qWait(TPreviewPanel::kDebounceMs + 5);
    file = "small.txt";
    panel->Schedule();
    EXPECT_TRUE(panel->Pending());
    for (int i = 0; i < 50 && panel->Pending(); ++i) QTest::qWait(20);
    QTest::qWait(300);
    EXPECT_FALSE(panel->Pending());
    EXPECT_LE(refreshed.count(), 2);
    ASSERT_EQ(panel->Shown().rows.size(), 1u);
    EXPECT_EQ(panel->Shown().rows[0].input, "only");
    // A refresh at once drops one being built.
    file = "big.txt";
    panel->Schedule();
    QTest::qWait(TPreviewPanel::kDebounceMs + 5);
    file = "small.txt";
    panel->RefreshNow();
    EXPECT_FALSE(panel->Pending());
    QTest::qWait(300);
    ASSERT_EQ(panel->Shown().rows.size(), 1u);
    EXPECT_EQ(panel->Shown().rows[0].input, "only");

    // Gone while building: nothing arrives at a deleted panel.
    file = "big.txt";
    panel->Schedule();
    QTest::qWait(TPreviewPanel::kDebounceMs + 20);
    delete panel;
    QTest::qWait(100);
}

TEST(TPreviewPanel, CellsAlwaysShowTheLineEnd) {
    PreviewRowT row;
    row.line = 3;
    struct Case {
        const char* what;
        std::string input;
        files::LineEnd end;
        std::string output;
        QString input_end, output_body, output_end;
    };
    const std::string long_line(300, 'x');
    const Case cases[] = {
        {"CR LF", "one", files::LineEnd::Crlf, "[one]\r\n", "\\r\\n", "[one]", "\\r\\n"},
        {"LF forced on a CR LF line", "one", files::LineEnd::Crlf, "one\n", "\\r\\n", "one", "\\n"},
        {"last line without end", "two", files::LineEnd::None, "two", "", "two", ""},
        // A long text is cut, but not its end.
        {"long line", long_line, files::LineEnd::Lf, long_line + "\n", "\\n",
         QString::fromStdString(long_line.substr(0, 200)) + "... (300 bytes)", "\\n"},
        // An LF the template writes inside the output stays part of its text.
        {"inner LF", "a", files::LineEnd::Lf, "a\nb\n", "\\n", "a\\nb", "\\n"},
    };
    for (const Case& c : cases) {
        row.input = c.input;
        row.end = c.end;
        row.output = c.output;
        EXPECT_EQ(TPreviewPanel::InputCell(row).end, c.input_end) << c.what;
        EXPECT_EQ(TPreviewPanel::OutputCell(row).body, c.output_body) << c.what;
        EXPECT_EQ(TPreviewPanel::OutputCell(row).end, c.output_end) << c.what;
    }
}

TEST(TPreviewPanel, TheMessageWrapsAtSpacesAndIsCutReadably) {
    const QFont font;
    const QFontMetrics metrics(font);
    const QString words = QStringLiteral(
        "alpha.txt (windows-1252, lines end at CR LF): copied unchanged, neither option is in effect");
    struct Case {
        const char* what;
        int width;
        int lines;
        bool cut;
    };
    const Case cases[] = {
        {"wide: one line", metrics.horizontalAdvance(words) + 10, 1, false},
        {"two lines", metrics.horizontalAdvance(words) * 2 / 3, 2, false},
        {"too narrow even for two", metrics.horizontalAdvance(words) / 4, 2, true},
    };
    for (const Case& c : cases) {
        const QStringList lines = TPreviewPanel::FitMessage(words, font, c.width, 2);
        ASSERT_EQ(lines.size(), c.lines) << c.what;
        for (const QString& line : lines) EXPECT_LE(metrics.horizontalAdvance(line), c.width) << c.what;
        EXPECT_EQ(lines.last().endsWith(QChar(0x2026)), c.cut) << c.what;
        // The first line ends at a word's end: no word is split over the break.
        if (lines.size() > 1) {
            EXPECT_TRUE(words.startsWith(lines[0] + QLatin1Char(' '))) << c.what;
        }
        if (!c.cut) {
            EXPECT_EQ(lines.join(QLatin1Char(' ')), words) << c.what;
        }
    }
    EXPECT_TRUE(TPreviewPanel::FitMessage(QString(), font, 100, 2).isEmpty());
}

TEST(TPreviewPanel, TheLabelShowsWhatFitsAndTheTooltipTheWhole) {
    QTemporaryDir tmp;
    WriteAll(tmp.path() + "/a-file-with-a-rather-long-name.txt", std::string("one\r\n"));
    QWidget parent;
    parent.resize(180, 300);
    auto* panel = new TPreviewPanel(&parent);
    parent.show();
    panel->SetRequestSource([&] {
        PreviewRequestT r;
        r.file = (tmp.path() + "/a-file-with-a-rather-long-name.txt").toStdString();
        return r;
    });
    panel->RefreshNow();
    const QString full = QString::fromStdString(panel->Shown().message);
    ASSERT_NE(full.indexOf(QStringLiteral("neither option is in effect")), -1) << full.toStdString();
    EXPECT_EQ(panel->MessageLabel()->toolTip(), full);
    const QString shown = panel->MessageLabel()->text();
    EXPECT_EQ(shown.count(QLatin1Char('\n')), 1);
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    // The table starts below both lines.
    EXPECT_GE(panel->Table()->y(), panel->MessageLabel()->geometry().bottom());
    EXPECT_GE(panel->MessageLabel()->height(), 2 * panel->MessageLabel()->fontMetrics().lineSpacing());
    // Each cell keeps the count of its line end's characters for the dimmed drawing.
    EXPECT_EQ(panel->Table()->item(0, 1)->text(), QStringLiteral("one\\r\\n"));
    EXPECT_EQ(panel->Table()->item(0, 1)->data(TPreviewPanel::kEndLengthRole).toInt(), 4);
    EXPECT_FALSE(panel->Table()->viewport()->grab().isNull());  // the cells' own drawing runs
}

}  // namespace
}  // namespace rowsmith::gui
