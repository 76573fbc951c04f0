#include "gui_files.h"
#include "gui/windows/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gui/widgets/gradient_panel.h"
#include "gui/widgets/template_editor.h"
#include "gui/windows/preview_panel.h"
#include "gui/windows/template_window.h"
#include "gui/logic/template_examples.h"
#include "gui/windows/progress_window.h"
#include "gui/widgets/gradient_button.h"
#include "gui/widgets/qt_colours.h"
#include "text/form_gauge.h"

namespace rowsmith::gui {
namespace {

void Settle() {
    QApplication::processEvents();
}

// A progress view that shows nothing, and a factory that lets a test look at the window whenever a
// progress record opens its view (which happens in the middle of a run).
class SilentView final : public text::GaugeView {
  public:
    void Repaint(const text::GaugePaint&) override {}
};
class WatchingViews final : public text::GaugeViewFactory {
  public:
    std::function<void()> on_create;
    std::unique_ptr<text::GaugeView> CreateGaugeView() override {
        if (on_create) on_create();
        return std::make_unique<SilentView>();
    }
};

// A source folder with two CR LF files and one in a subfolder, its sibling destination, and a window
// started with both as arguments (or none).
struct Fixture {
    QTemporaryDir tmp;
    QString source;
    QString destination;
    WatchingViews views;
    std::vector<QString> opened;
    std::unique_ptr<TForm1> form;

    explicit Fixture(bool with_arguments = true) {
        // Mixed letter case: the folder must be found as named.
        source = tmp.path() + "/Source Files";
        destination = tmp.path() + "/Out";
        WriteAll(source + "/a.txt", "one\r\ntwo\r\nthree\r\n");
        WriteAll(source + "/b.txt", "alpha\r\nbeta");
        WriteAll(source + "/sub/c.txt", "deep\r\n");
        std::vector<std::string> args;
        if (with_arguments) args = {source.toStdString(), destination.toStdString()};
        form = std::make_unique<TForm1>(args);
        form->SetGaugeViews(&views);
        form->SetPageOpener([this](const QString& url) {
            opened.push_back(url);
            return OpenOutcome::Opened;
        });
        form->show();
        Settle();
    }

    void Populate() {
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        Settle();
    }
    void Start() {
        QTest::mouseClick(form->GradBtn1, Qt::LeftButton);
        Settle();
    }
    bool StartEnabled() const { return form->GradBtn1->isEnabled(); }
    std::string Out(const char* name) const { return ReadAll(destination + "/" + name); }
    bool ColumnShown(int code) const {
        const TEasyGrid& g = form->Grid();
        for (int i = 1; i <= g.ColumnCount; ++i)
            if (g.Columns[static_cast<std::size_t>(i)].Code == code)
                return g.Columns[static_cast<std::size_t>(i)].Visible;
        return false;
    }
    std::vector<std::string> Titles() const {
        std::vector<std::string> t;
        for (int c = 0; c < form->AdvStringGrid1->ColCount(); ++c)
            t.push_back(form->AdvStringGrid1->Cell(c, 0));
        return t;
    }
};

TEST(MainWindow, StartedWithoutArgumentsShowsTheDefaults) {
    Fixture w(false);
    TForm1& f = *w.form;
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Quorra Rowsmith 1.0"));
    EXPECT_EQ(f.EditfolderSource->text(), QString());
    EXPECT_EQ(f.EditFolderDest->text(), QString());
    EXPECT_FALSE(w.StartEnabled());

    // Every control of the window under its name, with its caption and default.
    const char* names[] = {"EditfolderSource", "EditFolderDest", "Edit1",
                           "SpinEdit1",        "Button1",        "Button3",
                           "CheckBox1",        "Edit4",          "Button2",
                           "CheckBox2",        "Edit3",          "Edit2",
                           "AdvStringGrid1",   "GradBtn1",       "CheckBox3",
                           "CheckBox5",        "RadioButton1",   "RadioButton2",
                           "StatusBar1",       "TabControl1",    "ComboLineEnds",
                           "ComboEncoding"};
    for (const char* name : names)
        EXPECT_NE(f.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(f.Edit1->text(), QStringLiteral("*.*"));
    EXPECT_EQ(f.SpinEdit1->value(), 0);
    EXPECT_EQ(f.SpinEdit1->maximum(), 255);
    EXPECT_EQ(f.Button1->text(), QStringLiteral("Populate file list"));
    EXPECT_EQ(f.Edit4->text(), QStringLiteral("1--1000000"));
    EXPECT_EQ(f.Edit4->toolTip(), QStringLiteral("Please see homepage for examples"));
    EXPECT_EQ(f.Edit3->text(), QStringLiteral("{{originalline}}{{eol}}"));
    // Binding the empty sort edit takes its text as the list's sort text.
    EXPECT_EQ(f.Edit2->text(), QString());
    EXPECT_EQ(f.FileList().SortText, "");
    EXPECT_EQ(f.GradBtn1->Caption(), QStringLiteral("Start"));
    EXPECT_FALSE(f.CheckBox1->isChecked());
    EXPECT_FALSE(f.CheckBox2->isChecked());
    EXPECT_FALSE(f.Edit4->isEnabled());
    EXPECT_FALSE(f.Edit3->isEnabled());
    EXPECT_TRUE(f.CheckBox3->isChecked());
    EXPECT_TRUE(f.CheckBox5->isChecked());
    EXPECT_TRUE(f.RadioButton1->isChecked());
    EXPECT_FALSE(f.RadioButton2->isChecked());
    EXPECT_EQ(f.Panel1->Color(), 0xFFDFDA);
    EXPECT_EQ(f.Panel6->Color(), 0xF0B3A6);
    EXPECT_EQ(f.TabControl1->count(), 1);
    EXPECT_EQ(f.TabControl1->tabText(0), QStringLiteral("Rowsmith"));
    EXPECT_EQ(f.TabControl1->geometry().topLeft(), QPoint(0, 8));
    EXPECT_EQ(f.StatusPanel(1)->text(), f.windowTitle());
    // The side panels in their order, below the tab control; "Start" without a title bar.
    EXPECT_EQ(f.WindowLayout().OrderText, "ord:01234");  // "Preview" after "Start"
    EXPECT_EQ(f.Panel1->y(), f.TabControl1->geometry().bottom() + 1 + 8);
    EXPECT_LT(f.Panel2->y(), f.Panel6->y());
    EXPECT_LT(f.Panel6->y(), f.Panel4->y());
    EXPECT_EQ(f.Panel4->height(), 79 + f.WindowLayout().CornerButtonHeight);  // a strip for its corner button
    // The number column shows, the path column does not (levels 0).
    EXPECT_TRUE(w.ColumnShown(67));
    EXPECT_FALSE(w.ColumnShown(52));
    // Populating without a source lists nothing (not the current folder).
    w.Populate();
    EXPECT_EQ(f.FileList().RowCount, 0);
    EXPECT_FALSE(w.StartEnabled());
}

std::vector<std::string> Items(const QComboBox* box) {
    std::vector<std::string> out;
    for (int i = 0; i < box->count(); ++i) out.push_back(box->itemText(i).toStdString());
    return out;
}

TEST(MainWindow, TheLineEndsAndEncodingChoicesReachTheRunAndTheCommand) {
    Fixture w(false);
    TForm1& f = *w.form;
    EXPECT_EQ(Items(f.ComboLineEnds), (std::vector<std::string>{"Auto", "Windows CR LF", "Unix LF"}));
    EXPECT_EQ(Items(f.ComboEncoding),
              (std::vector<std::string>{"Auto", "UTF-8", "UTF-16 LE", "UTF-16 BE", "Bytes (one byte one character)",
                                        "windows-1252", "latin1", "windows-1251", "koi8-r", "shift_jis"}));
    EXPECT_EQ(f.ComboLineEnds->currentText(), QStringLiteral("Auto"));
    EXPECT_EQ(f.ComboEncoding->currentText(), QStringLiteral("Auto"));
    EXPECT_FALSE(f.ComboLineEnds->isEditable());
    EXPECT_TRUE(f.ComboEncoding->isEditable());
    EXPECT_TRUE(f.ComboLineEnds->toolTip().contains(QStringLiteral("Auto")));
    EXPECT_TRUE(f.ComboEncoding->toolTip().contains(QStringLiteral("Auto")));
    EXPECT_EQ(f.CurrentRunSettings().LineEnds, files::LineEnds::Auto);
    EXPECT_EQ(f.CurrentRunSettings().Encoding, "auto");

    f.ComboLineEnds->setCurrentText(QStringLiteral("Windows CR LF"));
    f.ComboEncoding->setCurrentText(QStringLiteral("UTF-16 BE"));
    EXPECT_EQ(f.CurrentRunSettings().LineEnds, files::LineEnds::Crlf);
    EXPECT_EQ(f.CurrentRunSettings().Encoding, "utf-16be");
    std::string command = f.CommandLineText();
    EXPECT_NE(command.find(" --line-ends=crlf"), std::string::npos) << command;
    EXPECT_NE(command.find(" --encoding=utf-16be"), std::string::npos) << command;

    // A typed name counts as typed, and Enter does not add it to the list.
    f.ComboEncoding->lineEdit()->clear();
    QTest::keyClicks(f.ComboEncoding, QStringLiteral(" iso-8859-15 "));
    QTest::keyClick(f.ComboEncoding, Qt::Key_Return);
    EXPECT_EQ(f.CurrentRunSettings().Encoding, "iso-8859-15");
    EXPECT_EQ(f.ComboEncoding->count(), 10);
    f.ComboLineEnds->setCurrentText(QStringLiteral("Auto"));
    command = f.CommandLineText();
    EXPECT_EQ(command.find("--line-ends"), std::string::npos) << command;
    EXPECT_NE(command.find(" --encoding=iso-8859-15"), std::string::npos) << command;
}

TEST(MainWindow, UnderAutoEachFileKeepsItsOwnLineEnds) {
    Fixture w;
    TForm1& f = *w.form;
    WriteAll(w.source + "/b.txt", "x\ny\r\nz");
    w.Populate();
    f.CheckBox2->setChecked(true);
    f.Edit3->setText(QStringLiteral("[{{line}}]{{eol}}"));
    struct {
        const char* choice;
        std::string a, b;
    } cases[] = {
        {"Auto", "[one]\r\n[two]\r\n[three]\r\n", "[x]\n[y]\r\n[z]"},
        {"Windows CR LF", "[one]\r\n[two]\r\n[three]\r\n", "[x\ny]\r\n[z]\r\n"},
        {"Unix LF", "[one]\n[two]\n[three]\n", "[x]\n[y]\n[z]\n"},
    };
    for (const auto& c : cases) {
        f.ComboLineEnds->setCurrentText(QString::fromLatin1(c.choice));
        w.Start();
        EXPECT_EQ(w.Out("a.txt"), c.a) << c.choice;
        EXPECT_EQ(w.Out("b.txt"), c.b) << c.choice;
    }
}

// Where a control lies in the panel's own coordinates (the layout moves a panel's controls onto a
// background inside it).
QRect InPanel(const QWidget* control, const QWidget* panel) {
    return QRect(control->mapTo(panel, QPoint(0, 0)), control->size());
}

TEST(MainWindow, TheChoicesFitTheirPanelInEveryLayoutAndSize) {
    Fixture w;
    TForm1& f = *w.form;
    QLabel* line_ends_label = nullptr;
    QLabel* encoding_label = nullptr;
    for (QLabel* label : f.Panel2->findChildren<QLabel*>()) {
        if (label->text() == QStringLiteral("Line ends:")) line_ends_label = label;
        if (label->text() == QStringLiteral("Encoding:")) encoding_label = label;
    }
    ASSERT_NE(line_ends_label, nullptr);
    ASSERT_NE(encoding_label, nullptr);
    // Each caption of "Line ends" shows whole; "Encoding" opens a list wide enough for its captions.
    EXPECT_GE(f.ComboLineEnds->width(), f.ComboLineEnds->sizeHint().width());
    EXPECT_GE(f.ComboEncoding->view()->minimumWidth(), f.ComboEncoding->view()->sizeHintForColumn(0));

    const QSize sizes[] = {QSize(1, 1), QSize(800, 600), QSize(1024, 768), QSize(1600, 1000)};
    for (const char* layout : {"llay", "hortop", "horbot"}) {
        TitleMenuCommand(f.WindowLayout(), layout, -1);
        for (const QSize& size : sizes) {
            f.resize(size);  // below the minimum the window keeps its minimum
            Settle();
            const std::string at = std::string(layout) + " " + std::to_string(f.width()) + "x" +
                                   std::to_string(f.height());
            ASSERT_TRUE(f.Panel2->isVisible()) << at;
            EXPECT_TRUE(f.rect().contains(f.Panel2->geometry())) << at;
            const QRect panel = f.Panel2->rect();
            const QWidget* parts[] = {line_ends_label, encoding_label, f.ComboLineEnds, f.ComboEncoding};
            for (const QWidget* part : parts) {
                EXPECT_TRUE(part->isVisibleTo(&f)) << at;
                EXPECT_TRUE(panel.contains(InPanel(part, f.Panel2))) << at;
            }
            // Side by side, under their labels, below the template edit.
            EXPECT_FALSE(InPanel(f.ComboLineEnds, f.Panel2).intersects(InPanel(f.ComboEncoding, f.Panel2))) << at;
            EXPECT_LE(InPanel(line_ends_label, f.Panel2).bottom(), InPanel(f.ComboLineEnds, f.Panel2).top()) << at;
            EXPECT_LE(InPanel(encoding_label, f.Panel2).bottom(), InPanel(f.ComboEncoding, f.Panel2).top()) << at;
            EXPECT_LT(InPanel(f.Edit3, f.Panel2).bottom(), InPanel(line_ends_label, f.Panel2).top()) << at;
        }
    }
}

TEST(MainWindow, ArgumentsPresetThePathsAndPopulateThenStartWriteTheFiles) {
    Fixture w;
    TForm1& f = *w.form;
    EXPECT_EQ(f.EditfolderSource->text(), w.source);
    EXPECT_EQ(f.EditFolderDest->text(), w.destination);
    EXPECT_EQ(f.CommandLine().RowCount, 3);  // "[Options]" and the two arguments
    // The destination does not exist yet: silver, with its resolved path as hint; the pair is usable
    // but the list is empty.
    EXPECT_EQ(FromQColor(f.EditFolderDest->palette().color(QPalette::Base)), 0xC0C0C0);
    EXPECT_EQ(f.EditFolderDest->toolTip(), w.destination);
    EXPECT_FALSE(w.StartEnabled());

    w.Populate();
    EXPECT_EQ(f.FileList().RowCount, 2);  // levels 0: the subfolder's file is not listed
    EXPECT_TRUE(w.StartEnabled());
    EXPECT_EQ(f.AdvStringGrid1->Cell(1, 1), "a.txt");

    w.Start();
    EXPECT_EQ(w.Out("a.txt"), "one\r\ntwo\r\nthree\r\n");
    EXPECT_EQ(w.Out("b.txt"), "alpha\r\nbeta");
    EXPECT_EQ(f.StatusPanel(0)->text(), QStringLiteral("2 copied, 0 rewritten, 0 skipped"));
    ASSERT_EQ(f.LastReport().size(), 2u);
    EXPECT_EQ(f.LastReport()[0].Outcome, run::RowOutcome::Copied);
    // The destination exists now; the registry shows it on the next change.
    EXPECT_TRUE(w.StartEnabled());

    // One level down with the structure kept, then flat.
    f.SpinEdit1->setValue(1);
    w.Populate();
    EXPECT_EQ(f.FileList().RowCount, 3);
    w.Start();
    EXPECT_EQ(w.Out("sub/c.txt"), "deep\r\n");
    f.CheckBox3->setChecked(false);
    w.Start();
    EXPECT_EQ(w.Out("c.txt"), "deep\r\n");
}

TEST(MainWindow, LevelsDecideThePathColumn) {
    Fixture w;
    TForm1& f = *w.form;
    auto has_path = [&] {
        const std::vector<std::string> t = w.Titles();
        return std::find(t.begin(), t.end(), "Path") != t.end();
    };
    EXPECT_FALSE(w.ColumnShown(52));
    EXPECT_FALSE(has_path());
    f.SpinEdit1->setValue(1);
    EXPECT_TRUE(w.ColumnShown(52));
    EXPECT_TRUE(has_path());
    f.SpinEdit1->setValue(0);
    EXPECT_FALSE(has_path());
}

TEST(MainWindow, UncheckedIntervalGreysItsEditAndTheRunIgnoresIt) {
    Fixture w;
    TForm1& f = *w.form;
    w.Populate();
    f.CheckBox1->setChecked(true);
    EXPECT_TRUE(f.Edit4->isEnabled());
    f.Edit4->setText(QStringLiteral("2"));
    w.Start();
    EXPECT_EQ(w.Out("a.txt"), "two\r\n");
    EXPECT_EQ(w.Out("b.txt"), "beta");  // under auto a last line without an end gets none
    EXPECT_EQ(f.StatusPanel(0)->text(), QStringLiteral("0 copied, 2 rewritten, 0 skipped"));

    const QColor enabled_colour = f.Edit4->palette().color(QPalette::Base);
    f.CheckBox1->setChecked(false);
    EXPECT_FALSE(f.Edit4->isEnabled());
    EXPECT_NE(f.Edit4->palette().color(QPalette::Base), enabled_colour);  // the panel's darkened colour
    EXPECT_FALSE(f.CurrentRunSettings().IntervalActive);
    w.Start();
    EXPECT_EQ(w.Out("a.txt"), "one\r\ntwo\r\nthree\r\n");
    EXPECT_EQ(w.Out("b.txt"), "alpha\r\nbeta");  // copied again, byte for byte
}

TEST(MainWindow, DestinationEqualToTheSourceDisablesStart) {
    Fixture w;
    TForm1& f = *w.form;
    w.Populate();
    ASSERT_TRUE(w.StartEnabled());
    const QString same[] = {w.source, w.source + "/", QStringLiteral("."), QStringLiteral("../Source Files"),
                            w.source + "/sub/.."};
    for (const QString& text : same) {
        f.EditFolderDest->setText(text);
        EXPECT_FALSE(w.StartEnabled()) << text.toStdString();
    }
    f.EditFolderDest->setText(QStringLiteral("../Other"));
    EXPECT_TRUE(w.StartEnabled());
    EXPECT_EQ(f.FileList().GetCell(1, tables::kCodeFinalDestination),
              (w.tmp.path() + "/Other/a.txt").toStdString());
    // Characters a path may not hold, and a source that is gone, disable it too.
    f.EditFolderDest->setText(QStringLiteral("../Oth?er"));
    EXPECT_FALSE(w.StartEnabled());
    f.EditFolderDest->setText(QStringLiteral("../Other"));
    f.EditfolderSource->setText(w.tmp.path() + "/missing");
    EXPECT_FALSE(w.StartEnabled());
    EXPECT_EQ(FromQColor(f.EditfolderSource->palette().color(QPalette::Base)), 0xC0C0C0);
}

TEST(MainWindow, ACountingTemplateKeepsCountingAcrossRuns) {
    Fixture w;
    TForm1& f = *w.form;
    w.Populate();
    f.CheckBox2->setChecked(true);
    f.Edit3->setText(QStringLiteral("{{|inc:n}}{{n}} {{line}}{{crlf}}"));
    w.Start();
    EXPECT_EQ(w.Out("a.txt"), "1 one\r\n2 two\r\n3 three\r\n");
    EXPECT_EQ(w.Out("b.txt"), "4 alpha\r\n5 beta\r\n");
    w.Start();
    EXPECT_EQ(w.Out("a.txt"), "6 one\r\n7 two\r\n8 three\r\n");
    EXPECT_EQ(w.Out("b.txt"), "9 alpha\r\n10 beta\r\n");
}

TEST(MainWindow, TheRunLocksThePanelsAndTheOptionsReachIt) {
    Fixture w;
    TForm1& f = *w.form;
    WriteAll(w.source + "/a.txt", "one\ntwo\r\n");
    w.Populate();
    f.CheckBox1->setChecked(true);
    f.Edit4->setText(QStringLiteral("1"));
    f.ComboLineEnds->setCurrentText(QStringLiteral("Unix LF"));
    f.RadioButton2->setChecked(true);
    WriteAll(w.destination + "/a.txt", "old");

    std::vector<bool> start_enabled, panel_enabled;
    w.views.on_create = [&] {
        start_enabled.push_back(f.GradBtn1->isEnabled());
        panel_enabled.push_back(f.EditfolderSource->isEnabledTo(&f));
    };
    w.Start();
    ASSERT_FALSE(start_enabled.empty());
    for (bool e : start_enabled) EXPECT_FALSE(e);
    for (bool e : panel_enabled) EXPECT_FALSE(e);
    // Afterwards everything is usable again.
    EXPECT_TRUE(w.StartEnabled());
    EXPECT_TRUE(f.EditfolderSource->isEnabledTo(&f));
    // "Unix LF" splits at the lone LF and ends the kept line with LF; the old file stays.
    EXPECT_EQ(w.Out("a.txt"), "old");
    EXPECT_EQ(w.Out("a_1.txt"), "one\n");
}

TEST(MainWindow, DoubleClickChoosesAPathFromTheDeepestExistingFolder) {
    Fixture w;
    TForm1& f = *w.form;
    w.Populate();
    std::string start_folder;
    uint8_t kind = 0;
    QString answer = w.source;
    f.Paths().SetChooser([&](uint8_t k, const std::string& start, const std::string&, QWidget*) {
        kind = k;
        start_folder = start;
        return answer.toStdString();
    });
    f.EditFolderDest->setText(QStringLiteral("../Out/not/yet"));
    QTest::mouseDClick(f.EditFolderDest, Qt::LeftButton);
    Settle();
    EXPECT_EQ(kind, files::kPathKindFolder);
    EXPECT_EQ(start_folder, (w.tmp.path() + "/").toStdString());
    // The chosen folder is the source itself: revalidated, so "Start" goes off.
    EXPECT_EQ(f.EditFolderDest->text(), w.source);
    EXPECT_FALSE(w.StartEnabled());
    // A cancelled dialog changes nothing.
    answer.clear();
    QTest::mouseDClick(f.EditFolderDest, Qt::LeftButton);
    EXPECT_EQ(f.EditFolderDest->text(), w.source);

    EXPECT_EQ(DialogFilter("Any file (*.*)"), "Any file (*)");
    EXPECT_EQ(DialogFilter("Texts (*.txt *.*)"), "Texts (*.txt *)");
    EXPECT_EQ(DialogFilter("Texts (*.txt)"), "Texts (*.txt)");
}

TEST(MainWindow, LinksOpenTheHelpPagesAndTheHomepage) {
    Fixture w;
    TForm1& f = *w.form;
    QTest::mouseClick(f.Button2, Qt::LeftButton);
    QTest::mouseClick(f.Button3, Qt::LeftButton);
    QTest::mouseClick(f.StatusPanel(1), Qt::LeftButton);
    ASSERT_EQ(w.opened.size(), 3u);
    EXPECT_TRUE(w.opened[0].endsWith(QStringLiteral("help/intervals.htm"))) << w.opened[0].toStdString();
    EXPECT_TRUE(w.opened[1].endsWith(QStringLiteral("help/destinationpath.htm")))
        << w.opened[1].toStdString();
    EXPECT_TRUE(w.opened[2].contains(QStringLiteral("rowsmith/index.htm"))) << w.opened[2].toStdString();
}

TEST(MainWindow, ResizingAndTheListKeys) {
    Fixture w;
    TForm1& f = *w.form;
    f.resize(1000, 700);
    Settle();
    EXPECT_EQ(f.TabControl1->width(), 1000);
    EXPECT_EQ(f.StatusBar1->geometry().bottom(), 699);
    EXPECT_EQ(f.StatusPanel(0)->width(), 750);
    EXPECT_EQ(f.StatusPanel(1)->width(), 250);

    QTest::keyClick(f.Edit1, Qt::Key_F4, Qt::ControlModifier);
    Settle();
    EXPECT_TRUE(f.Panel1->isHidden());
    EXPECT_TRUE(f.Panel5->isHidden());
    QTest::keyClick(f.Edit1, Qt::Key_F4, Qt::ControlModifier);
    Settle();
    EXPECT_FALSE(f.Panel1->isHidden());
    EXPECT_FALSE(f.Panel5->isHidden());

    // A new path clears the list.
    w.Populate();
    ASSERT_TRUE(w.StartEnabled());
    f.CheckSetsAfterNewPath();
    EXPECT_EQ(f.FileList().RowCount, 0);
    EXPECT_FALSE(w.StartEnabled());
}

// Every file below a folder with its bytes, by relative path.
std::map<std::string, std::string> Tree(const QString& root) {
    std::map<std::string, std::string> out;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        out[QDir(root).relativeFilePath(path).toStdString()] = ReadAll(path);
    }
    return out;
}

TEST(MainWindow, TheCopiedCommandLineReproducesTheRun) {
    const QString cli = QCoreApplication::applicationDirPath() + "/../../src/cli/rowsmith-cli";
    if (!QFileInfo(cli).isExecutable()) GTEST_SKIP() << "rowsmith-cli is not built";
    Fixture w;
    TForm1& f = *w.form;
    WriteAll(w.source + "/sub/a.txt", "x'y\r\nz\r\n");  // the same name twice: renamed in flat mode
    WriteAll(w.source + "/sub/lf.txt", "p\nq\r\nr\n");
    f.SpinEdit1->setValue(1);
    f.Edit1->setText(QStringLiteral("*.txt"));
    f.Edit2->setText(QStringLiteral("-filename"));
    f.CheckBox1->setChecked(true);
    f.Edit4->setText(QStringLiteral("-1;1"));
    f.CheckBox2->setChecked(true);
    f.Edit3->setText(QStringLiteral("{{|inc:n}}{{n}} '{{line|caseupper}}'{{eol}}"));
    f.ComboLineEnds->setCurrentText(QStringLiteral("Unix LF"));
    f.CheckBox3->setChecked(false);
    f.RadioButton2->setChecked(true);
    w.Populate();

    f.SetCommandLineProgram(cli.toStdString());
    f.EditFolderDest->setText(QStringLiteral("../ByCommand"));
    f.CopyCommandLine();
    const std::string command = QGuiApplication::clipboard()->text().toStdString();
    EXPECT_EQ(command, f.CommandLineText());
    EXPECT_NE(command.find("--flat"), std::string::npos) << command;
    EXPECT_NE(command.find("--rename"), std::string::npos) << command;
    EXPECT_NE(command.find("--line-ends=lf"), std::string::npos) << command;
    QProcess sh;
    sh.start(QStringLiteral("sh"), {QStringLiteral("-c"), QString::fromStdString(command)});
    ASSERT_TRUE(sh.waitForFinished(30000));
    EXPECT_EQ(sh.exitCode(), 0) << sh.readAllStandardError().toStdString();

    f.EditFolderDest->setText(QStringLiteral("../ByWindow"));
    w.Start();
    const auto by_window = Tree(w.tmp.path() + "/ByWindow");
    EXPECT_EQ(by_window.size(), 5u);
    EXPECT_EQ(by_window, Tree(w.tmp.path() + "/ByCommand"));
}

// "Save job..." writes every setting; "Open job..." in a fresh window sets every control back, lists
// the files and runs as the first window did; the CLI runs the same job to the same tree.
TEST(MainWindow, AJobSavedAndOpenedRunsAsTheWindowDid) {
    Fixture w;
    TForm1& f = *w.form;
    f.SpinEdit1->setValue(1);
    f.Edit1->setText(QStringLiteral("*.txt"));
    f.Edit2->setText(QStringLiteral("-filename"));
    f.CheckBox1->setChecked(true);
    f.Edit4->setText(QStringLiteral("1;-1"));
    f.CheckBox2->setChecked(true);
    f.Edit3->setText(QStringLiteral("<{{line|caseupper}}>\n{{eol}}"));  // a line break in the template
    f.ComboLineEnds->setCurrentText(QStringLiteral("Unix LF"));
    f.ComboEncoding->setCurrentText(QStringLiteral("windows-1252"));
    f.CheckBox3->setChecked(false);
    f.RadioButton2->setChecked(true);
    const QString job = w.tmp.path() + "/my job";
    QString asked;
    f.SetFileChooser([&](bool save, const QString&) {
        asked = save ? QStringLiteral("save") : QStringLiteral("open");
        return job;
    });
    QTest::keyClick(&f, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(asked, "save");
    ASSERT_TRUE(QFileInfo::exists(job + ".rowsmith"));  // the suffix is added
    EXPECT_NE(f.StatusPanel(0)->text().indexOf(QStringLiteral("Job saved to")), -1);
    const run::Job saved = f.CurrentJob();

    Fixture other(false);
    TForm1& g = *other.form;
    QStringList warnings;
    g.SetWarning([&](const QString& m) { warnings << m; });
    g.SetFileChooser([&](bool, const QString&) { return job + ".rowsmith"; });
    g.ActionOpenJob->trigger();
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(QStringLiteral("; ")).toStdString();
    EXPECT_EQ(g.CurrentJob(), saved);
    EXPECT_EQ(g.EditfolderSource->text(), w.source);
    EXPECT_FALSE(g.CheckBox3->isChecked());
    EXPECT_TRUE(g.RadioButton2->isChecked());
    EXPECT_EQ(g.ComboLineEnds->currentIndex(), 2);
    EXPECT_EQ(g.Edit3->text(), QStringLiteral("<{{line|caseupper}}>\n{{eol}}"));
    EXPECT_EQ(g.FileList().RowCount, 3);  // listed from the job's source
    EXPECT_EQ(g.CommandLineText(), f.CommandLineText());

    // A file that is not a job changes nothing and says why.
    WriteAll(w.tmp.path() + "/bad.rowsmith", "levels = many\n");
    g.SetFileChooser([&](bool, const QString&) { return w.tmp.path() + "/bad.rowsmith"; });
    g.OpenJobWithDialog();
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_NE(warnings[0].indexOf(QStringLiteral("levels")), -1) << warnings[0].toStdString();
    EXPECT_EQ(g.CurrentJob(), saved);
    // A cancelled dialog does nothing.
    g.SetFileChooser([&](bool, const QString&) { return QString(); });
    g.OpenJobWithDialog();
    EXPECT_EQ(warnings.size(), 1);
    // Saving where no file can be written says so.
    g.SetFileChooser([&](bool, const QString&) { return w.tmp.path() + "/no such folder/job.rowsmith"; });
    g.SaveJobWithDialog();
    EXPECT_EQ(warnings.size(), 2);

    const QString cli = QCoreApplication::applicationDirPath() + "/../../src/cli/rowsmith-cli";
    if (!QFileInfo(cli).isExecutable()) GTEST_SKIP() << "rowsmith-cli is not built";
    other.Start();
    EXPECT_GT(g.LastSummary().Rewritten, 0);
    QProcess run;
    run.start(cli, {QStringLiteral("run"), QStringLiteral("--job"), job + ".rowsmith", QStringLiteral("--quiet"),
                    w.source, w.tmp.path() + "/ByJob"});
    ASSERT_TRUE(run.waitForFinished(30000));
    EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    EXPECT_EQ(Tree(w.tmp.path() + "/ByJob"), Tree(w.destination));
}

// Ctrl+E opens the template editor on the edit's template; both show the same template whichever is
// typed in, a line break typed in the editor is one in the template, and an example of the menu fills
// the template and its interval.
TEST(MainWindow, TheTemplateEditorAndTheEditShowOneTemplate) {
    Fixture w;
    TForm1& f = *w.form;
    w.Populate();
    QTest::keyClick(&f, Qt::Key_E, Qt::ControlModifier);
    TTemplateWindow* editor = f.TemplateWindow();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(editor->Template(), f.Edit3->text());
    EXPECT_FALSE(f.CheckBox2->isChecked());

    editor->Editor()->selectAll();
    QTest::keyClicks(editor->Editor(), QStringLiteral("[{{line}}]"));
    QTest::keyClick(editor->Editor(), Qt::Key_Return);  // not Start: a line break
    QTest::keyClicks(editor->Editor(), QStringLiteral("{{eol}}"));
    EXPECT_EQ(f.Edit3->text(), QStringLiteral("[{{line}}]\n{{eol}}"));
    EXPECT_TRUE(f.CheckBox2->isChecked());
    EXPECT_FALSE(f.Running());
    EXPECT_TRUE(f.LastReport().empty());

    f.Edit3->setText(QStringLiteral("{{line|caseupper}}{{eol}}"));
    EXPECT_EQ(editor->Template(), QStringLiteral("{{line|caseupper}}{{eol}}"));
    // The editor's own preview shows the first file through it.
    f.EditorPreview()->RefreshNow();
    ASSERT_FALSE(f.EditorPreview()->Shown().rows.empty());
    EXPECT_EQ(f.EditorPreview()->Shown().rows[0].output, "ONE\r\n");

    // An example with an interval and one without, from the window's menu.
    const TemplateExample* with = nullptr;
    const TemplateExample* without = nullptr;
    for (const TemplateExample& e : TemplateExamples()) (e.interval != nullptr ? with : without) = &e;
    ASSERT_TRUE(with != nullptr && without != nullptr);
    QAction* action = nullptr;
    for (QAction* a : f.MenuExamples->actions())
        if (a->text() == QString::fromUtf8(with->caption)) action = a;
    ASSERT_NE(action, nullptr);
    action->trigger();
    EXPECT_EQ(f.Edit3->text(), QString::fromUtf8(with->templ));
    EXPECT_EQ(editor->Template(), QString::fromUtf8(with->templ));
    EXPECT_TRUE(f.CheckBox1->isChecked());
    EXPECT_EQ(f.Edit4->text(), QString::fromUtf8(with->interval));
    f.UseExample(*without);
    EXPECT_FALSE(f.CheckBox1->isChecked());
    EXPECT_EQ(f.Edit3->text(), QString::fromUtf8(without->templ));
}

TEST(MainWindow, EscCancelsTheRunAndLeavesNoPartialFile) {
    Fixture w;
    TForm1& f = *w.form;
    std::string many;
    for (int i = 1; i <= 5000; ++i) many += "line " + std::to_string(i) + "\r\n";
    WriteAll(w.source + "/a.txt", many);
    w.Populate();
    WriteAll(w.destination + "/a.txt", "before");
    f.CheckBox2->setChecked(true);
    // The first progress view opens while the first file is being read and written; Esc goes to the
    // window as it would to a progress window.
    w.views.on_create = [&] {
        w.views.on_create = nullptr;
        QTest::keyClick(&f, Qt::Key_Escape);
    };
    w.Start();
    EXPECT_TRUE(f.LastSummary().Cancelled);
    EXPECT_EQ(w.Out("a.txt"), "before");
    EXPECT_EQ(w.Out("b.txt"), "<missing>");
    ASSERT_EQ(f.LastReport().size(), 1u);
    EXPECT_EQ(f.LastReport()[0].Outcome, run::RowOutcome::Cancelled);
    EXPECT_TRUE(f.StatusPanel(0)->text().contains(QStringLiteral("cancelled")));
    EXPECT_TRUE(w.StartEnabled());
    // Esc outside a run does nothing; the next run goes through.
    QTest::keyClick(&f, Qt::Key_Escape);
    w.Start();
    EXPECT_FALSE(f.LastSummary().Cancelled);
    EXPECT_EQ(w.Out("a.txt"), many);
    EXPECT_EQ(w.Out("b.txt"), "alpha\r\nbeta");  // the default template gives each line its own end
}

TEST(MainWindow, TheRunReportListsEveryRowAndOpensWhenFilesWereSkipped) {
    Fixture w;
    TForm1& f = *w.form;
    EXPECT_FALSE(f.ButtonReport->isEnabled());
    w.Populate();
    w.Start();
    EXPECT_TRUE(f.ButtonReport->isEnabled());
    EXPECT_EQ(f.RunReportWindow(), nullptr);  // nothing skipped: it stays closed
    QTest::mouseClick(f.ButtonReport, Qt::LeftButton);
    ASSERT_NE(f.RunReportWindow(), nullptr);
    auto* table = f.RunReportWindow()->findChild<QTableWidget*>(QStringLiteral("RunReportTable"));
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->item(0, 1)->text(), QStringLiteral("copied"));
    EXPECT_EQ(table->item(1, 3)->text(), w.destination + "/b.txt");
    f.RunReportWindow()->hide();

    // Flat into the source's own subfolder: its file would overwrite itself and is skipped.
    f.SpinEdit1->setValue(1);
    f.CheckBox3->setChecked(false);
    f.EditFolderDest->setText(QStringLiteral("sub"));
    w.Populate();
    w.Start();
    EXPECT_EQ(f.LastSummary().Skipped, 1);
    ASSERT_TRUE(f.RunReportWindow()->isVisible());
    ASSERT_EQ(table->rowCount(), 3);
    bool found = false;
    for (int r = 0; r < 3; ++r)
        if (table->item(r, 1)->text() == QStringLiteral("skipped")) {
            found = true;
            EXPECT_FALSE(table->item(r, 7)->text().isEmpty());  // with its reason
        }
    EXPECT_TRUE(found);
    EXPECT_EQ(ReadAll(w.source + "/sub/c.txt"), "deep\r\n");
}

TEST(MainWindow, AnEncodingNameTheRunCannotReadIsFlaggedAndStartRefusesIt) {
    Fixture w;
    TForm1& f = *w.form;
    w.Populate();
    f.CheckBox2->setChecked(true);  // rewrites: every one would be skipped with the name
    auto type = [&](const char* text) {
        f.ComboEncoding->lineEdit()->clear();
        QTest::keyClicks(f.ComboEncoding, QString::fromLatin1(text));
        Settle();
    };
    auto flagged = [&] { return f.ComboEncoding->property("encodingProblem").toBool(); };
    EXPECT_FALSE(flagged());

    type("xyz");
    // Said as it is typed, before Start.
    EXPECT_TRUE(flagged());
    EXPECT_FALSE(f.ComboEncoding->styleSheet().isEmpty());
    EXPECT_EQ(f.StatusPanel(0)->text(), QStringLiteral("unknown encoding \"xyz\""));
    EXPECT_TRUE(f.ComboEncoding->toolTip().startsWith(QStringLiteral("unknown encoding \"xyz\"")));
    w.Start();
    EXPECT_TRUE(f.LastReport().empty());
    EXPECT_EQ(w.Out("a.txt"), "<missing>");
    EXPECT_FALSE(f.ButtonReport->isEnabled());
    EXPECT_EQ(f.StatusPanel(0)->text(), QStringLiteral("unknown encoding \"xyz\""));

    // A known name the run still refuses (set, not typed: typing it completes to "UTF-16 LE").
    f.ComboEncoding->setEditText(QStringLiteral("utf-16"));
    EXPECT_TRUE(flagged());
    EXPECT_TRUE(f.StatusPanel(0)->text().contains(QStringLiteral("byte order")))
        << f.StatusPanel(0)->text().toStdString();

    // Typed names the run reads clear the flag (blank is Auto).
    for (const char* good : {"latin1", "  cp1252 ", ""}) {
        type("xyz");
        ASSERT_TRUE(flagged());
        type(good);
        EXPECT_FALSE(flagged()) << good;
        EXPECT_TRUE(f.ComboEncoding->styleSheet().isEmpty()) << good;
        EXPECT_TRUE(f.EncodingProblemText().empty()) << good;
    }
    EXPECT_EQ(f.StatusPanel(0)->text(), QStringLiteral("2 files listed"));
    w.Start();
    EXPECT_EQ(f.StatusPanel(0)->text(), QStringLiteral("0 copied, 2 rewritten, 0 skipped"));
    EXPECT_EQ(w.Out("a.txt"), "one\r\ntwo\r\nthree\r\n");

    // The problem covers the last outcome only while it holds.
    type("nope");
    EXPECT_EQ(f.StatusPanel(0)->text(), QStringLiteral("unknown encoding \"nope\""));
    f.ComboEncoding->setCurrentIndex(0);
    Settle();
    EXPECT_FALSE(flagged());
    EXPECT_EQ(f.StatusPanel(0)->text(), QStringLiteral("0 copied, 2 rewritten, 0 skipped"));
}

TEST(MainWindow, TheRunReportNamesTheEncodingAndLineEndsOfEachRewrite) {
    Fixture w;
    TForm1& f = *w.form;
    const std::string utf16 = std::string("\xFF\xFE" "a\0\n\0b\0\n\0", 10);
    WriteAll(w.source + "/a.txt", utf16);
    WriteAll(w.source + "/b.txt", "caf\xE9\r\n");
    WriteAll(w.source + "/d.txt", "no end");
    w.Populate();
    f.CheckBox2->setChecked(true);
    w.Start();
    QTest::mouseClick(f.ButtonReport, Qt::LeftButton);
    ASSERT_NE(f.RunReportWindow(), nullptr);
    auto* table = f.RunReportWindow()->findChild<QTableWidget*>(QStringLiteral("RunReportTable"));
    auto column = [&](const char* title) {
        for (int c = 0; c < table->columnCount(); ++c)
            if (table->horizontalHeaderItem(c)->text() == QString::fromLatin1(title)) return c;
        return -1;
    };
    const int source = column("Source"), encoding = column("Encoding"), ends = column("Line ends");
    ASSERT_GE(encoding, 0);
    ASSERT_GE(ends, 0);
    EXPECT_EQ(column("Reason"), table->columnCount() - 1);  // the long texts stay last
    // Source file name -> encoding, line ends.
    auto rows = [&] {
        std::map<std::string, std::pair<std::string, std::string>> out;
        for (int r = 0; r < table->rowCount(); ++r)
            out[QFileInfo(table->item(r, source)->text()).fileName().toStdString()] = {
                table->item(r, encoding)->text().toStdString(), table->item(r, ends)->text().toStdString()};
        return out;
    };
    using Row = std::pair<std::string, std::string>;
    EXPECT_EQ(rows(), (std::map<std::string, Row>{{"a.txt", {"UTF-16LE BOM", "LF"}},
                                                 {"b.txt", {"windows-1252", "CRLF"}},
                                                 {"d.txt", {"UTF-8", "none"}}}));
    EXPECT_EQ(w.Out("a.txt"), utf16);  // written back in its own encoding

    // Copies read no text: both stay empty.
    f.CheckBox2->setChecked(false);
    w.Start();
    EXPECT_EQ(f.LastSummary().Copied, 3);
    EXPECT_EQ(rows(),
              (std::map<std::string, Row>{{"a.txt", {"", ""}}, {"b.txt", {"", ""}}, {"d.txt", {"", ""}}}));
}

TEST(MainWindow, TheStatusBarSaysWhatJustHappened) {
    Fixture w;
    TForm1& f = *w.form;
    auto status = [&] { return f.StatusPanel(0)->text().toStdString(); };
    w.Populate();
    EXPECT_EQ(status(), "2 files listed");
    w.Start();
    EXPECT_EQ(status(), "2 copied, 0 rewritten, 0 skipped");
    // The run made the destination folder: its edit no longer shows it as missing.
    EXPECT_NE(FromQColor(f.EditFolderDest->palette().color(QPalette::Base)), 0xC0C0C0);
    EXPECT_EQ(f.EditFolderDest->palette().color(QPalette::Base), f.EditfolderSource->palette().color(QPalette::Base));
    // Another Populate replaces the run's summary, an empty one included.
    w.Populate();
    EXPECT_EQ(status(), "2 files listed");
    f.Edit1->setText(QStringLiteral("*.none"));
    w.Populate();
    EXPECT_EQ(status(), "0 files listed");
    f.Edit1->setText(QStringLiteral("*.*"));
    w.Populate();

    f.CopyCommandLine();
    EXPECT_EQ(status(), "Command line copied");
    QTest::mouseClick(f.ButtonCommandLine, Qt::LeftButton);
    EXPECT_EQ(status(), "Command line copied");

    // Another source folder: the rows stay but are said to be of the old one until the next Populate,
    // through every other message.
    WriteAll(w.tmp.path() + "/Other/x.txt", "x\r\n");
    f.EditfolderSource->setText(w.tmp.path() + "/Other");
    Settle();
    EXPECT_EQ(f.FileList().RowCount, 2);
    EXPECT_TRUE(f.ListOutdated());
    EXPECT_EQ(status(), "The file list is outdated: populate it again");
    f.CopyCommandLine();
    EXPECT_EQ(status(), "Command line copied - The file list is outdated: populate it again");
    f.EditfolderSource->setText(w.tmp.path() + "/Oth");  // typing on: still another folder
    EXPECT_TRUE(f.ListOutdated());
    f.EditfolderSource->setText(w.tmp.path() + "/Other");
    w.Populate();
    EXPECT_FALSE(f.ListOutdated());
    EXPECT_EQ(status(), "1 file listed");
}

TEST(MainWindow, HelpAndADoubleClickedFileSayWhenNothingOpensThem) {
    Fixture w;
    TForm1& f = *w.form;
    w.Populate();
    auto status = [&] { return f.StatusPanel(0)->text().toStdString(); };
    OpenOutcome page_outcome = OpenOutcome::NoHandler;
    f.SetPageOpener([&](const QString&) { return page_outcome; });
    QTest::mouseClick(f.Button3, Qt::LeftButton);
    EXPECT_NE(status().find("No program is registered to open help pages"), std::string::npos) << status();
    EXPECT_NE(status().find("destinationpath.htm"), std::string::npos) << status();
    page_outcome = OpenOutcome::Failed;
    QTest::mouseClick(f.Button2, Qt::LeftButton);
    EXPECT_NE(status().find("Could not start"), std::string::npos) << status();
    // Opened: nothing to say.
    w.Populate();
    page_outcome = OpenOutcome::Opened;
    QTest::mouseClick(f.Button2, Qt::LeftButton);
    EXPECT_EQ(status(), "2 files listed");

    std::vector<QString> documents;
    f.SetDocumentOpener([&](const QString& path, QString& what) {
        documents.push_back(path);
        what = QStringLiteral("text/plain");
        return OpenOutcome::NoHandler;
    });
    const QModelIndex cell = f.AdvStringGrid1->model()->index(0, 1);
    const QPoint at = f.AdvStringGrid1->visualRect(cell).center();
    // The press of a double click, then the double click itself.
    QTest::mousePress(f.AdvStringGrid1->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(f.AdvStringGrid1->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(f.AdvStringGrid1->viewport(), Qt::LeftButton, {}, at);
    Settle();
    ASSERT_EQ(documents.size(), 1u);
    EXPECT_EQ(documents[0], w.source + "/a.txt");
    EXPECT_NE(status().find("No program is registered to open text/plain files"), std::string::npos) << status();
    EXPECT_NE(status().find("a.txt"), std::string::npos) << status();
}

TEST(MainWindow, ClosingDuringARunAsksAndStopsItOrKeepsRunning) {
    std::string many;
    for (int i = 1; i <= 20000; ++i) many += "line " + std::to_string(i) + "\r\n";
    for (const bool stop : {true, false}) {
        SCOPED_TRACE(stop ? "stop" : "keep running");
        QTemporaryDir tmp;
        const QString source = tmp.path() + "/in", destination = tmp.path() + "/out";
        for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) WriteAll(source + "/" + name, many);
        WriteAll(destination + "/a.txt", "before");
        // The window's own progress windows; the question answered as the user would.
        TForm1 form({source.toStdString(), destination.toStdString()});
        std::vector<QString> asked;
        form.SetQuestion([&](const QString& question) {
            asked.push_back(question);
            return stop;
        });
        form.show();
        QTest::mouseClick(form.Button1, Qt::LeftButton);
        form.CheckBox2->setChecked(true);
        ASSERT_TRUE(form.GradBtn1->isEnabled());

        // Closed as soon as a progress window shows, while the run lets events through it.
        bool closed = false;
        QString cancel_text;
        QTimer watch;
        watch.setInterval(0);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* gauge = qobject_cast<TGaugeWindow*>(top);
                if (closed || !form.Running() || gauge == nullptr || !gauge->isVisible()) continue;
                closed = true;
                form.close();
                cancel_text = gauge->CancelButton()->text();
            }
        });
        watch.start();
        QTest::mouseClick(form.GradBtn1, Qt::LeftButton);
        watch.stop();

        ASSERT_TRUE(closed);
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0], QStringLiteral("A run is in progress. Stop it after the current file?"));
        if (stop) {
            EXPECT_EQ(cancel_text, QStringLiteral("Cancelling..."));  // as its own button would
            EXPECT_TRUE(form.LastSummary().Cancelled);
            EXPECT_FALSE(form.isVisible());
            EXPECT_FALSE(form.Running());
            // The file being written keeps what it had and no later file is written.
            EXPECT_EQ(ReadAll(destination + "/a.txt"), "before");
            for (const char* name : {"b.txt", "c.txt", "d.txt"})
                EXPECT_EQ(ReadAll(destination + "/" + name), "<missing>") << name;
        } else {
            EXPECT_EQ(cancel_text, QStringLiteral("Cancel"));
            EXPECT_FALSE(form.LastSummary().Cancelled);
            EXPECT_TRUE(form.isVisible());
            for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
                EXPECT_EQ(ReadAll(destination + "/" + name), many) << name;
            // Outside a run the window closes without a question.
            form.close();
            EXPECT_FALSE(form.isVisible());
            EXPECT_EQ(asked.size(), 1u);
        }
    }
}

TEST(MainWindow, TheRunReportShowsEveryColumnOnItsScreenWithTheRunsOwnReasons) {
    Fixture w;
    TForm1& f = *w.form;
    // Long paths, so that the path columns alone would be wider than the screen.
    const QString deep = w.source + "/" + QString(70, QLatin1Char('p')) + "/" + QString(70, QLatin1Char('q'));
    WriteAll(deep + "/long.txt", "x\r\n");
    f.SpinEdit1->setValue(2);
    w.Populate();
    // An existing destination the run may not replace: skipped with the run's own reason.
    WriteAll(w.destination + "/a.txt", "kept");
    QFile(w.destination + "/a.txt").setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    w.Start();
    ASSERT_NE(f.RunReportWindow(), nullptr);
    QWidget* report = f.RunReportWindow();
    ASSERT_TRUE(report->isVisible());
    Settle();
    auto* table = report->findChild<QTableWidget*>(QStringLiteral("RunReportTable"));
    const int reason = table->columnCount() - 1;
    ASSERT_EQ(table->horizontalHeaderItem(reason)->text(), QStringLiteral("Reason"));

    // Each row's reason as the run gave it.
    ASSERT_EQ(table->rowCount(), static_cast<int>(f.LastReport().size()));
    int skipped = 0;
    for (int r = 0; r < table->rowCount(); ++r) {
        const run::RowReport& row = f.LastReport()[static_cast<std::size_t>(r)];
        EXPECT_EQ(table->item(r, reason)->text().toStdString(), row.Reason);
        if (row.Outcome == run::RowOutcome::Skipped) {
            ++skipped;
            EXPECT_NE(row.Reason.find("read-only"), std::string::npos) << row.Reason;
        }
    }
    EXPECT_EQ(skipped, 1);

    // The window on its screen, the Reason column inside the table's view, nothing to scroll to.
    const QRect room = report->screen()->availableGeometry();
    EXPECT_LE(report->width(), room.width());
    EXPECT_TRUE(room.contains(report->geometry())) << report->geometry().x() << "," << report->geometry().width();
    QHeaderView* header = table->horizontalHeader();
    EXPECT_GE(header->sectionViewportPosition(reason), 0);
    EXPECT_LE(header->sectionViewportPosition(reason) + header->sectionSize(reason), table->viewport()->width());
    // A reason this short is whole; the paths lose their middle instead.
    EXPECT_GE(header->sectionSize(reason), static_cast<QAbstractItemView*>(table)->sizeHintForColumn(reason));
    EXPECT_EQ(table->horizontalScrollBar()->maximum(), 0);
    // A cut path keeps its whole text at hand.
    EXPECT_EQ(table->item(0, 2)->toolTip(), table->item(0, 2)->text());
    QFile(w.destination + "/a.txt").setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

// Every shown label below the window has room for the height of its text's lines at its font.
void ExpectNoLabelCut(const QWidget& window, const char* what) {
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        if (!label->isVisibleTo(&window) || label->text().isEmpty()) continue;
        const std::string name = (label->objectName() + " \"" + label->text() + "\"").toStdString();
        const QRect room = label->contentsRect();
        const int flags = label->wordWrap() ? Qt::TextWordWrap : 0;
        const int needed =
            label->fontMetrics().boundingRect(QRect(0, 0, room.width(), 100000), flags, label->text()).height();
        EXPECT_GE(room.height(), std::max(needed, label->fontMetrics().height())) << what << " " << name;
    }
}

TEST(MainWindow, NoLabelIsCutVertically) {
    const QFont original = QApplication::font();
    {
        Fixture w;
        w.Populate();
        w.Start();
        ExpectNoLabelCut(*w.form, "default font");
    }
    QFont big = original;
    big.setPixelSize(21);
    QApplication::setFont(big);
    {
        Fixture w;
        w.Populate();
        ExpectNoLabelCut(*w.form, "large font");
    }
    QApplication::setFont(original);
}

TEST(MainWindow, StartShowsAClearFocusFrame) {
    Fixture w;
    TForm1& f = *w.form;
    w.Populate();
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    QWidget* frame = f.GradBtn1->findChild<QWidget*>(QStringLiteral("FocusFrame"));
    ASSERT_NE(frame, nullptr);
    f.Edit1->setFocus();
    Settle();
    EXPECT_FALSE(frame->isVisible());
    const QImage plain = f.GradBtn1->grab().toImage();

    f.GradBtn1->setFocus(Qt::TabFocusReason);
    Settle();
    ASSERT_TRUE(f.GradBtn1->hasFocus());
    EXPECT_TRUE(frame->isVisible());
    const QImage focused = f.GradBtn1->grab().toImage();
    // A dark line and a light line just inside the edge, on every side.
    const int w_ = focused.width(), h = focused.height();
    const QPoint dark[] = {{3, h / 2}, {w_ - 4, h / 2}, {w_ / 2, 3}, {w_ / 2, h - 4}};
    const QPoint light[] = {{4, h / 2}, {w_ - 5, h / 2}, {w_ / 2, 4}, {w_ / 2, h - 5}};
    for (const QPoint& p : dark) EXPECT_LT(qGray(focused.pixel(p)), 64) << p.x() << "," << p.y();
    for (const QPoint& p : light) EXPECT_GT(qGray(focused.pixel(p)), 192) << p.x() << "," << p.y();
    EXPECT_NE(plain, focused);

    f.Edit1->setFocus();
    Settle();
    EXPECT_FALSE(frame->isVisible());
}

}  // namespace
}  // namespace rowsmith::gui
