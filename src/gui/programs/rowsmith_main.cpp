// The desktop program: the main window over the command line (the first two arguments preset the
// source and destination folders), until the window closes. Nothing is saved at the end.
//
// For scripts/screenshot, ROWSMITH_SCREENSHOT=PNG makes the program populate the list, save the window
// as PNG and quit (ROWSMITH_SCREENSHOT_LEVELS sets "Subfolder levels" first). With
// ROWSMITH_SCREENSHOT_TEMPLATE it instead checks "Process each line" with that
// template, presses "Start" and saves the whole screen once a progress window shows.
// ROWSMITH_SCREENSHOT_PREVIEW=TEMPLATE saves the window with the preview of the listed file in row
// ROWSMITH_SCREENSHOT_ROW (default 1) through that template; ROWSMITH_SCREENSHOT_REPORT=TEMPLATE runs
// that template and saves the run report; ROWSMITH_SCREENSHOT_EDITOR=TEXT saves the screen with the
// template editor holding TEXT and its completion list open. ROWSMITH_SCREENSHOT_LAYOUT (llay, hortop, horbot) and
// ROWSMITH_SCREENSHOT_SIZE (WIDTHxHEIGHT) set the window's layout and size first; with
// ROWSMITH_SCREENSHOT_SCREEN=1 the whole screen is saved (the window manager's frame included).

#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QSpinBox>
#include <QTextCursor>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "gui/layout/panel_layout.h"
#include "gui/windows/progress_window.h"
#include "gui/windows/main_window.h"
#include "gui/windows/preview_panel.h"
#include "gui/windows/template_window.h"
#include "gui/widgets/template_editor.h"
#include "text/form_gauge.h"

namespace {

using rowsmith::gui::TForm1;
using rowsmith::gui::TGaugeWindow;

// The visible progress window whose caption begins with the prefix, if any.
TGaugeWindow* ShownGauge(const QString& caption_prefix) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* gauge = qobject_cast<TGaugeWindow*>(w);
        if (gauge != nullptr && gauge->isVisible() &&
            gauge->CaptionLabel()->text().startsWith(caption_prefix))
            return gauge;
    }
    return nullptr;
}

// The window, or the whole screen when ROWSMITH_SCREENSHOT_SCREEN is set.
bool SaveShot(QWidget& window, const QString& path) {
    if (qEnvironmentVariableIntValue("ROWSMITH_SCREENSHOT_SCREEN") != 0)
        return QGuiApplication::primaryScreen()->grabWindow(0).save(path, "PNG");
    return window.grab().save(path, "PNG");
}

int Fail(const QString& message) {
    std::fprintf(stderr, "rowsmith: %s\n", qPrintable(message));
    return 1;
}

// Saves the window with its file list.
int ListScreenshot(TForm1& form, const QString& path) {
    int status = 0;
    QTimer::singleShot(400, &form, [&] {
        form.GetFiles();
        QTimer::singleShot(400, &form, [&] {
            if (!SaveShot(form, path)) status = Fail(QStringLiteral("could not write ") + path);
            QApplication::quit();
        });
    });
    QApplication::exec();
    return status;
}

// Saves the screen while a run shows its progress window over the main window.
int RunScreenshot(TForm1& form, const QString& path, const QString& template_text) {
    int status = 0;
    bool saved = false;
    // Polled while the run lets events through its progress window.
    QTimer poll;
    poll.setInterval(100);
    int seen = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (saved || ShownGauge(QStringLiteral("Writing:")) == nullptr || ++seen < 3) return;
        saved = true;
        const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
        if (!screen.save(path, "PNG")) status = Fail(QStringLiteral("could not write ") + path);
    });
    QTimer::singleShot(400, &form, [&] {
        form.CheckBox2->setChecked(true);
        form.Edit3->setText(template_text);
        form.GetFiles();
        poll.start();
        form.DoIt();
        poll.stop();
        if (!saved) status = Fail(QStringLiteral("the run ended before the write progress window showed"));
        QApplication::quit();
    });
    QApplication::exec();
    return status;
}

// Saves the window with the preview of one listed file through the template.
int PreviewScreenshot(TForm1& form, const QString& path, const QString& template_text, int row) {
    int status = 0;
    QTimer::singleShot(400, &form, [&] {
        form.GetFiles();
        form.CheckBox2->setChecked(true);
        form.Edit3->setText(template_text);
        form.AdvStringGrid1->setCurrentIndex(form.AdvStringGrid1->model()->index(row - 1, 1));
        form.Preview->RefreshNow();
        QTimer::singleShot(400, &form, [&] {
            if (!SaveShot(form, path)) status = Fail(QStringLiteral("could not write ") + path);
            QApplication::quit();
        });
    });
    QApplication::exec();
    return status;
}

// Saves the screen with the template editor over the window, the preview of the listed file in row
// `row` under the editor and the completion list open at the end of `typed`.
int EditorScreenshot(TForm1& form, const QString& path, const QString& typed, int row) {
    int status = 0;
    QTimer::singleShot(400, &form, [&] {
        form.GetFiles();
        form.AdvStringGrid1->setCurrentIndex(form.AdvStringGrid1->model()->index(row - 1, 1));
        form.CheckBox2->setChecked(true);
        form.Edit3->setText(typed + QStringLiteral("seupper}}{{eol}}"));
        form.ShowTemplateEditor();
        rowsmith::gui::TTemplateWindow* window = form.TemplateWindow();
        window->resize(900, 560);
        window->move(form.x() + 120, form.y() + 90);
        rowsmith::gui::TTemplateEditor* editor = window->Editor();
        editor->SetTemplate(typed);
        QTextCursor end = editor->textCursor();
        end.movePosition(QTextCursor::End);
        editor->setTextCursor(end);
        editor->setFocus();
        QTimer::singleShot(500, &form, [&, editor] {
            editor->OpenCompletion();
            QTimer::singleShot(500, &form, [&] {
                if (!QGuiApplication::primaryScreen()->grabWindow(0).save(path, "PNG"))
                    status = Fail(QStringLiteral("could not write ") + path);
                QApplication::quit();
            });
        });
    });
    QApplication::exec();
    return status;
}

// Runs the template over the list and saves the run report.
int ReportScreenshot(TForm1& form, const QString& path, const QString& template_text) {
    int status = 0;
    QTimer::singleShot(400, &form, [&] {
        form.GetFiles();
        form.CheckBox2->setChecked(true);
        form.Edit3->setText(template_text);
        form.DoIt();
        form.ShowRunReport();
        // Wide enough for the reason of a skipped row.
        if (form.RunReportWindow() != nullptr) form.RunReportWindow()->resize(1180, 300);
        QTimer::singleShot(400, &form, [&] {
            QWidget* report = form.RunReportWindow();
            if (report == nullptr || !report->grab().save(path, "PNG"))
                status = Fail(QStringLiteral("could not write ") + path);
            QApplication::quit();
        });
    });
    QApplication::exec();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rowsmith"));
    // The toolkit has taken its own options out of argv; the rest are the program's, byte for byte.
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);

    TForm1 form(std::move(arguments));
    form.show();

    const QString shot = qEnvironmentVariable("ROWSMITH_SCREENSHOT");
    if (shot.isEmpty()) return QApplication::exec();
    // The layout and window size first: every shot below is taken in them.
    const QString layout = qEnvironmentVariable("ROWSMITH_SCREENSHOT_LAYOUT");
    if (!layout.isEmpty()) rowsmith::gui::TitleMenuCommand(form.WindowLayout(), layout.toStdString(), -1);
    const QStringList size = qEnvironmentVariable("ROWSMITH_SCREENSHOT_SIZE").split(QLatin1Char('x'));
    if (size.size() == 2) form.resize(size[0].toInt(), size[1].toInt());
    if (qEnvironmentVariableIsSet("ROWSMITH_SCREENSHOT_LEVELS"))
        form.SpinEdit1->setValue(qEnvironmentVariableIntValue("ROWSMITH_SCREENSHOT_LEVELS"));
    if (qEnvironmentVariableIsSet("ROWSMITH_SCREENSHOT_PREVIEW"))
        return PreviewScreenshot(form, shot, qEnvironmentVariable("ROWSMITH_SCREENSHOT_PREVIEW"),
                                 std::max(qEnvironmentVariableIntValue("ROWSMITH_SCREENSHOT_ROW"), 1));
    if (qEnvironmentVariableIsSet("ROWSMITH_SCREENSHOT_EDITOR"))
        return EditorScreenshot(form, shot, qEnvironmentVariable("ROWSMITH_SCREENSHOT_EDITOR"),
                                std::max(qEnvironmentVariableIntValue("ROWSMITH_SCREENSHOT_ROW"), 1));
    if (qEnvironmentVariableIsSet("ROWSMITH_SCREENSHOT_REPORT"))
        return ReportScreenshot(form, shot, qEnvironmentVariable("ROWSMITH_SCREENSHOT_REPORT"));
    if (qEnvironmentVariableIsSet("ROWSMITH_SCREENSHOT_TEMPLATE"))
        return RunScreenshot(form, shot, qEnvironmentVariable("ROWSMITH_SCREENSHOT_TEMPLATE"));
    return ListScreenshot(form, shot);
}
