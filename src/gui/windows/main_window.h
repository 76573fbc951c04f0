#pragma once
// TForm1: the program's main window. It owns the program-wide objects (file list, line buffer,
// command-line table, path registry, the two panel layouts, the grid binding and the one template
// record), keeps "Start" enabled only while a run is possible, builds the file list and runs it.

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/widgets/file_grid.h"
#include "gui/layout/panel_layout.h"
#include "gui/windows/progress_window.h"
#include "gui/logic/main_window_logic.h"
#include "gui/windows/path_edit_binding.h"
#include "gui/logic/preview_logic.h"
#include "run/expand_lines.h"
#include "run/processing_run.h"
#include "tables/string_table.h"
#include "template/context.h"
#include "template/engine_adapters.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QAction;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStatusBar;
class QTabBar;

namespace rowsmith::gui {

class TPanel;
class TGradBtn;
class TPreviewPanel;
class TTemplateWindow;
struct TemplateExample;

class TForm1 : public QWidget {
    Q_OBJECT
  public:
    // arguments: the command line without the program path.
    explicit TForm1(std::vector<std::string> arguments, QWidget* parent = nullptr);
    ~TForm1() override;

    // ---- Controls, by panel; each carries its member name as object name.
    // "Paths"
    TPanel* Panel1 = nullptr;
    QLineEdit* EditfolderSource = nullptr;
    QLineEdit* EditFolderDest = nullptr;
    QLineEdit* Edit1 = nullptr;
    QSpinBox* SpinEdit1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button3 = nullptr;
    // "Options"
    TPanel* Panel2 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QPushButton* Button2 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QPushButton* ButtonEditTemplate = nullptr;  // "…": the template editor
    QComboBox* ComboLineEnds = nullptr;  // kLineEndsChoices
    QComboBox* ComboEncoding = nullptr;  // kEncodingChoices, or a typed name
    // The list container (main control of the window layout) with "Sort options" and the grid's panel.
    TPanel* Panel3 = nullptr;
    TPanel* Panel5 = nullptr;
    QLineEdit* Edit2 = nullptr;
    TPanel* Panel7 = nullptr;
    GridControl* AdvStringGrid1 = nullptr;
    // "Start"
    TPanel* Panel4 = nullptr;
    TGradBtn* GradBtn1 = nullptr;
    QPushButton* ButtonReport = nullptr;       // the last run's report
    QPushButton* ButtonCommandLine = nullptr;  // "Start" as a command line, to the clipboard
    // "Preview": the first selected lines of a listed file through the current interval and template
    TPanel* Panel8 = nullptr;
    TPreviewPanel* Preview = nullptr;
    // "Destination file options"
    TPanel* Panel6 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    QCheckBox* CheckBox5 = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    // The window's own
    QStatusBar* StatusBar1 = nullptr;
    QTabBar* TabControl1 = nullptr;
    // The menus: "Job" (open, save, the command line, quit), "Template" (the editor, the examples),
    // "Help".
    QMenuBar* MenuBar1 = nullptr;
    QAction* ActionOpenJob = nullptr;
    QAction* ActionSaveJob = nullptr;
    QAction* ActionEditTemplate = nullptr;
    QMenu* MenuExamples = nullptr;

    // ---- Handlers
    void InitStart();
    void SetChecks();
    void GetFiles();
    void DoIt();
    void Outit();
    void SetSizes();
    void GoHomepage();
    void Button2Click();
    void Button3Click();
    void SetTab(int index);
    void CheckSetsAfterNewPath();

    // ---- The program-wide objects
    tables::ArrayOfFiles& FileList() { return file_list_; }
    tables::ArrayOfFiles& LineBuffer() { return line_buffer_; }
    tables::ArrayOfFiles& CommandLine() { return command_line_; }
    PathEditBinding& Paths() { return paths_; }
    TeasyPanel& WindowLayout() { return window_layout_; }
    TeasyPanel& ListLayout() { return list_layout_; }
    TEasyGrid& Grid() { return grid_; }
    tmpl::TemplateRecordT& Template() { return template_; }

    // The settings "Start" would run with now.
    run::RunSettings CurrentRunSettings() const;
    // The rowsmith-cli command that does what "Start" would do now (Ctrl+Shift+C copies it).
    std::string CommandLineText() const;
    // The program the command line names: by default the rowsmith-cli installed beside this program
    // or found in the build tree, else just its name.
    void SetCommandLineProgram(std::string program) { command_program_ = std::move(program); }
    void CopyCommandLine();
    // The last run's rows with their outcomes, in a window of their own (opened by itself after a run
    // that skipped files).
    void ShowRunReport();
    QWidget* RunReportWindow() const { return report_window_; }
    // Esc or "Cancel" in a progress window during a run: the run stops, the file being written is
    // discarded and its destination keeps what it had.
    void CancelRun();
    // What the preview shows now: the file selected in the grid (else the first listed file) with the
    // settings "Start" would run with.
    PreviewRequestT CurrentPreviewRequest() const;
    // The last run: its counts and every row's outcome.
    const run::RunSummary& LastSummary() const { return last_summary_; }
    const std::vector<run::RowReport>& LastReport() const { return last_report_; }
    bool Running() const { return running_; }
    // Why the "Encoding" text cannot run (`unknown encoding "xyz"`), shown on the combo and in the
    // status bar as soon as it is typed; "Start" refuses with it. Empty when the run can read files.
    const std::string& EncodingProblemText() const { return encoding_problem_; }

    // Status bar panels: 0 the last run's outcome, 1 the window caption.
    QLabel* StatusPanel(int index) const;

    // Where the help pages and the homepage open (the default browser unless replaced; tests do).
    // Anything but Opened is said in the status bar: a desktop without a registered program
    // otherwise shows nothing at all.
    using PageOpener = std::function<OpenOutcome(const QString& url)>;
    void SetPageOpener(PageOpener opener) { open_page_ = std::move(opener); }
    // Where a double-clicked listed file opens (the desktop's default program unless replaced);
    // `what` gets the kind of file for the status bar ("text/plain files").
    using DocumentOpener = std::function<OpenOutcome(const QString& path, QString& what)>;
    void SetDocumentOpener(DocumentOpener opener) { open_document_ = std::move(opener); }
    // How closing the window during a run asks whether to stop it (a message box unless replaced;
    // tests answer it). True stops the run, and the window closes once it has stopped.
    using Question = std::function<bool(const QString& question)>;
    void SetQuestion(Question ask) { ask_ = std::move(ask); }
    // The file list was made from another source folder than the one now given.
    bool ListOutdated() const { return list_outdated_; }

    // "Edit template..." (Ctrl+E): the template in a window of its own, with completion, the examples
    // and a preview of its own; it and the "Process each line" edit show the same template.
    void ShowTemplateEditor();
    TTemplateWindow* TemplateWindow() const { return template_window_; }
    TPreviewPanel* EditorPreview() const { return editor_preview_; }
    // A worked example of the "Template" menu or the editor: its template (and its interval, if any).
    void UseExample(const TemplateExample& example);

    // ---- Job files: every setting of the window in a small text file (see run/job_file.h).
    // What "Start" would do, paths resolved.
    CommandInputsT CurrentCommandInputs() const;
    run::Job CurrentJob() const;
    // Writes the current settings to `path`; false with the message in `error`.
    bool SaveJob(const QString& path, QString* error = nullptr);
    // Reads `path` and sets every control from it, then lists the files of its source when the pair
    // of paths is usable; false (nothing changed) with the message in `error`.
    bool OpenJob(const QString& path, QString* error = nullptr);
    void ApplyJob(const run::Job& job);
    // "Save job..." and "Open job...": a file dialog, the job, and a message box on failure.
    void SaveJobWithDialog();
    void OpenJobWithDialog();
    // Where the job dialogs get their file name (a file dialog unless replaced; tests answer it).
    // Empty: the user cancelled.
    using FileChooser = std::function<QString(bool save, const QString& suggested)>;
    void SetFileChooser(FileChooser choose) { choose_file_ = std::move(choose); }
    // How failures of the job dialogs are told (a message box unless replaced).
    using Warning = std::function<void(const QString& message)>;
    void SetWarning(Warning warn) { warn_ = std::move(warn); }
    // Where the progress windows come from (the window's own factory unless replaced).
    void SetGaugeViews(text::GaugeViewFactory* views);

  signals:
    // After every run, once the panels are enabled again.
    void RunFinished();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateControls();
    // The parts CreateControls makes, panel by panel, then the window's events.
    void CreatePathsPanel();
    void CreateOptionsPanel();
    void CreateDestinationPanel();
    void CreateStartPanel();
    void CreateListPanels();
    void CreateStatusBar();
    void CreateMenuBar();
    void SchedulePreviews();
    // Where the tab control starts, and the menu bar beside its tabs.
    int TabTop() const;
    void PlaceMenuBar();
    void ConnectEvents();
    void OpenPage(const char* path);
    void FillRunReport();
    // Sizes the report so that every column, the reasons last, shows on its screen.
    void FitRunReport();
    // Status bar panel 0 from the message, the encoding problem and the list's state.
    void ShowStatus();
    void SetMessage(const std::string& message);
    bool OpenDocument(std::string_view path);
    // Marks the "Encoding" combo and the status bar while its text names no encoding the run knows.
    void CheckEncoding();

    std::vector<std::string> arguments_;

    // The program-wide objects. The widgets are deleted before these go (see the destructor).
    tables::ArrayOfFiles file_list_;
    tables::ArrayOfFiles line_buffer_;
    tables::ArrayOfFiles command_line_;
    tmpl::TemplateRecordT template_;
    tmpl::ContextTemplateEvaluator evaluator_{template_.Context};
    run::ContextLineExpander expander_{template_.Context};
    PathEditBinding paths_;
    TeasyPanel list_layout_;
    TeasyPanel window_layout_;
    TEasyGrid grid_;
    GaugeWindowFactory gauge_factory_;  // the run's progress windows get a "Cancel" button
    text::GaugeViewFactory* views_ = &gauge_factory_;

    QLabel* status_panels_[2] = {};
    PageOpener open_page_;
    run::RunSummary last_summary_;
    std::vector<run::RowReport> last_report_;
    bool running_ = false;
    bool cancel_requested_ = false;
    QWidget* report_window_ = nullptr;
    std::string command_program_;
    std::string encoding_problem_;
    std::string message_;       // status bar panel 0 when no problem covers it
    // The source folder the list was populated from; a source edit naming another marks it outdated.
    bool listed_ = false;
    std::string listed_source_;
    bool list_outdated_ = false;
    DocumentOpener open_document_;
    std::unique_ptr<tables::CellServices> cell_services_;  // the list's, opening files through the window
    Question ask_;
    bool asking_to_close_ = false;
    bool close_after_run_ = false;
    QString encoding_tooltip_;  // the combo's own tooltip, under a problem's
    // Settings a job may carry that have no control of their own; "Start" runs with them.
    std::string legacy_encoding_ = run::RunSettings{}.LegacyEncoding;
    std::string output_encoding_ = run::RunSettings{}.OutputEncoding;
    TTemplateWindow* template_window_ = nullptr;
    TPreviewPanel* editor_preview_ = nullptr;
    FileChooser choose_file_;
    Warning warn_;
    QString last_job_path_;
};

}  // namespace rowsmith::gui
