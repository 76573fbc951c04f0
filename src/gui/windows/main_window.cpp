#include "gui/windows/main_window.h"
#include "gui/widgets/qt_text.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "files/file_list.h"
#include "files/scan.h"
#include "gui/widgets/control_helpers.h"
#include "gui/windows/progress_window.h"
#include "gui/widgets/gradient_panel.h"
#include "gui/widgets/gradient_button.h"
#include "gui/windows/preview_panel.h"
#include "gui/windows/template_window.h"
#include "gui/platform/url_launcher.h"

namespace rowsmith::gui {

namespace {

// Design-time sizes of the panels (their content; the layout adds the title bars).
constexpr int kPanelWidth = 320;
constexpr int kEditWidth = kPanelWidth - 16;
constexpr int kPreviewHeight = 220;
constexpr char kPreviewSizeSpec[] = "1|60|2000";
// The side panels with the preview after "Start".
constexpr char kWindowOrderWithPreview[] = ",panel8";

template <typename W>
W* Named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

template <typename W>
W* Place(W* widget, int left, int top, int width, int height) {
    widget->setGeometry(left, top, width, height);
    return widget;
}

TPanel* MakePanel(QWidget* parent, const char* name, const char* caption, int width, int height) {
    auto* panel = Named(new TPanel(parent), name);
    panel->SetCaption(QString::fromLatin1(caption));
    panel->resize(width, height);
    return panel;
}

// A label in the design's 16 pixel row, as high as its font needs: a larger font grows it upwards, so
// that its text keeps clear of the edit below it.
QLabel* MakeLabel(QWidget* parent, const char* text, int left, int top, int width) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    const int height = std::max(16, label->fontMetrics().height());
    Place(label, left, std::max(0, top + 16 - height), width, height);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

ControlStateT StateOf(const QAbstractButton* box) {
    return {box->isChecked(), OwnEnabled(box)};
}

// Lets the toolkit paint and deliver what is pending, so the run starts on a repainted window.
void ProcessPending() {
    QApplication::processEvents();
}

// The list's services, opening a double-clicked file through the window so that it can say when
// nothing opens it.
class WindowCellServices final : public tables::CellServices {
  public:
    explicit WindowCellServices(std::function<bool(std::string_view)> open) : open_(std::move(open)) {}
    std::string FinalDestinationPath(std::string_view source_root, std::string_view full_path,
                                     std::string_view destination, uint8_t mode) const override {
        return native_.FinalDestinationPath(source_root, full_path, destination, mode);
    }
    std::string ResolvePath(std::string_view relative, std::string_view base) const override {
        return native_.ResolvePath(relative, base);
    }
    std::string FolderPart(std::string_view path) const override { return native_.FolderPart(path); }
    std::string NamePart(std::string_view path) const override { return native_.NamePart(path); }
    std::string JoinPath(std::string_view left, std::string_view right) const override {
        return native_.JoinPath(left, right);
    }
    std::string PathRoot(std::string_view path) const override { return native_.PathRoot(path); }
    bool FolderExists(std::string_view path) const override { return native_.FolderExists(path); }
    std::string ReadColumnFile(std::string_view path, int64_t offset, int64_t length) const override {
        return native_.ReadColumnFile(path, offset, length);
    }
    bool OpenDocument(std::string_view path) const override { return open_(path); }

  private:
    const tables::CellServices& native_ = files::NativeCellServices();
    std::function<bool(std::string_view)> open_;
};

}  // namespace

TForm1::TForm1(std::vector<std::string> arguments, QWidget* parent)
    : QWidget(parent), arguments_(std::move(arguments)) {
    setObjectName(QStringLiteral("Form1"));
    RegisterFirstForm(this);
    CreateControls();
    InitStart();
}

TForm1::~TForm1() {
    Outit();
    // The layouts, the grid binding and the path registry refer to the widgets; the widgets go first.
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) delete child;
}

void TForm1::CreateControls() {
    QFont form_font = font();
    form_font.setFamily(QStringLiteral("MS Sans Serif"));
    setFont(form_font);

    CreateMenuBar();
    TabControl1 = Named(new QTabBar(this), "TabControl1");
    TabControl1->addTab(QStringLiteral("Rowsmith"));
    TabControl1->setDrawBase(true);
    TabControl1->setExpanding(false);

    CreatePathsPanel();
    CreateOptionsPanel();
    CreateDestinationPanel();
    CreateStartPanel();
    CreateListPanels();
    CreateStatusBar();
    ConnectEvents();
}

void TForm1::CreatePathsPanel() {
    // "Paths"
    Panel1 = MakePanel(this, "Panel1", "Paths", kPanelWidth, 150);
    MakeLabel(Panel1, "Source folder:", 8, 6, kEditWidth);
    EditfolderSource = Place(Named(new QLineEdit(Panel1), "EditfolderSource"), 8, 22, kEditWidth, 22);
    EditfolderSource->setToolTip(QStringLiteral("Doubleclick to edit"));
    MakeLabel(Panel1, "Destination folder (relative to the source):", 8, 48, kEditWidth);
    EditFolderDest = Place(Named(new QLineEdit(Panel1), "EditFolderDest"), 8, 64, kEditWidth - 62, 22);
    Button3 = Place(Named(new QPushButton(QStringLiteral("Help"), Panel1), "Button3"), kPanelWidth - 64, 63,
                    56, 24);
    MakeLabel(Panel1, "File masks:", 8, 95, 70);
    Edit1 = Place(Named(new QLineEdit(QString::fromLatin1(kDefaultMasks), Panel1), "Edit1"), 80, 92,
                  kPanelWidth - 88, 22);
    MakeLabel(Panel1, "Subfolder levels:", 8, 123, 100);
    SpinEdit1 = Place(Named(new QSpinBox(Panel1), "SpinEdit1"), 108, 120, 56, 22);
    SpinEdit1->setRange(0, files::kMaxSubfolderLevels);
    SpinEdit1->setValue(0);
    Button1 = Place(Named(new QPushButton(QStringLiteral("Populate file list"), Panel1), "Button1"), 172, 119,
                    kPanelWidth - 180, 24);
}

void TForm1::CreateOptionsPanel() {
    // "Options"
    Panel2 = MakePanel(this, "Panel2", "Options", kPanelWidth, 152);
    CheckBox1 = Place(Named(new QCheckBox(QStringLiteral("Include only these lines"), Panel2), "CheckBox1"),
                      8, 6, 240, 20);
    Button2 =
        Place(Named(new QPushButton(QStringLiteral("Help"), Panel2), "Button2"), kPanelWidth - 64, 4, 56, 24);
    Edit4 = Place(Named(new QLineEdit(QString::fromLatin1(kDefaultInterval), Panel2), "Edit4"), 8, 30,
                  kEditWidth, 22);
    Edit4->setToolTip(QStringLiteral("Please see homepage for examples"));
    CheckBox2 =
        Place(Named(new QCheckBox(QStringLiteral("Process each line"), Panel2), "CheckBox2"), 8, 58, 240, 20);
    // The one-line edit shows the template; "…" beside it (Ctrl+E) opens the editor for longer ones.
    Edit3 = Place(Named(new QLineEdit(QString::fromLatin1(kDefaultTemplate), Panel2), "Edit3"), 8, 80,
                  kEditWidth - 30, 22);
    Edit3->setToolTip(QStringLiteral("The template each line is written through; Ctrl+E opens the template editor"));
    ButtonEditTemplate = Place(Named(new QPushButton(QStringLiteral("…"), Panel2), "ButtonEditTemplate"),
                               8 + kEditWidth - 26, 79, 26, 24);
    ButtonEditTemplate->setToolTip(QStringLiteral("Open the template editor (Ctrl+E)"));
    // "Line ends" and "Encoding" side by side under their labels: "Line ends" as wide as its longest
    // caption, "Encoding" the rest; its list opens wide enough for every caption.
    ComboLineEnds = Named(new QComboBox(Panel2), "ComboLineEnds");
    for (const LineEndsChoiceT& c : kLineEndsChoices) ComboLineEnds->addItem(QString::fromLatin1(c.caption));
    ComboLineEnds->setToolTip(
        QStringLiteral("Auto: each file keeps its own line ends; its first line end decides whether a lone LF "
                       "ends a line.\nWindows CR LF: only CR LF ends a line; every written line ends with CR LF."
                       "\nUnix LF: every LF ends a line; every written line ends with LF."));
    ComboEncoding = Named(new QComboBox(Panel2), "ComboEncoding");
    ComboEncoding->setEditable(true);
    ComboEncoding->setInsertPolicy(QComboBox::NoInsert);  // a typed name is used, not added to the list
    for (const EncodingChoiceT& c : kEncodingChoices) ComboEncoding->addItem(QString::fromLatin1(c.caption));
    ComboEncoding->setToolTip(
        QStringLiteral("How the files' bytes are read as text. Auto decides per file: a byte order mark, else "
                       "UTF-8 when the text is valid UTF-8, else windows-1252.\nBytes: one byte one character, "
                       "never decoded. Another code page name may be typed.\nEach file is written back in its "
                       "own encoding."));
    constexpr int kChoiceTop = 108;
    const int line_ends_width = std::clamp(ComboLineEnds->sizeHint().width(), 96, kEditWidth / 2 - 4);
    const int encoding_left = 8 + line_ends_width + 8;
    MakeLabel(Panel2, "Line ends:", 8, kChoiceTop, line_ends_width);
    MakeLabel(Panel2, "Encoding:", encoding_left, kChoiceTop, kPanelWidth - 8 - encoding_left);
    Place(ComboLineEnds, 8, kChoiceTop + 16, line_ends_width, 22);
    Place(ComboEncoding, encoding_left, kChoiceTop + 16, kPanelWidth - 8 - encoding_left, 22);
    ComboEncoding->view()->setMinimumWidth(ComboEncoding->view()->sizeHintForColumn(0) + 24);
    encoding_tooltip_ = ComboEncoding->toolTip();
}

void TForm1::CreateDestinationPanel() {
    // "Destination file options"
    Panel6 = MakePanel(this, "Panel6", "Destination file options", kPanelWidth, 98);
    CheckBox3 = Place(
        Named(new QCheckBox(QStringLiteral("Keep subfolder structure as source files"), Panel6), "CheckBox3"),
        8, 6, kEditWidth, 20);
    CheckBox3->setChecked(true);
    CheckBox5 = Place(
        Named(new QCheckBox(QStringLiteral("Create subfolders if they don't exist"), Panel6), "CheckBox5"), 8,
        28, kEditWidth, 20);
    CheckBox5->setChecked(true);
    RadioButton1 =
        Place(Named(new QRadioButton(QStringLiteral("Overwrite if file exists"), Panel6), "RadioButton1"), 8,
              50, kEditWidth, 20);
    RadioButton1->setChecked(true);
    RadioButton2 =
        Place(Named(new QRadioButton(QStringLiteral("Rename if file exists"), Panel6), "RadioButton2"), 8, 72,
              kEditWidth, 20);
}

void TForm1::CreateStartPanel() {
    // "Start"
    Panel4 = MakePanel(this, "Panel4", "Start", kPanelWidth, 79);
    const int start_left = (kPanelWidth - 281) / 2;
    GradBtn1 = Place(Named(new TGradBtn(Panel4), "GradBtn1"), start_left, 8, 281, 33);
    ButtonReport = Place(Named(new QPushButton(QStringLiteral("Run report..."), Panel4), "ButtonReport"),
                         start_left, 47, 112, 24);
    ButtonReport->setEnabled(false);
    ButtonCommandLine =
        Place(Named(new QPushButton(QStringLiteral("Copy as command line"), Panel4), "ButtonCommandLine"),
              start_left + 117, 47, 281 - 117, 24);
    ButtonCommandLine->setToolTip(
        QStringLiteral("Puts the rowsmith-cli command that does what Start does on the "
                       "clipboard (Ctrl+Shift+C)"));
    GradBtn1->SetCaption(QStringLiteral("Start"));
    GradBtn1->SetGradientStyle(TGradientStyle::gsElliptic);
    // The style's dotted focus frame is lost in the gradient; this one is seen on any colour.
    GradBtn1->SetShowFocus(false);
    InstallFocusFrame(GradBtn1);
}

// The preview, and the list: "Sort options" above the grid's panel.
void TForm1::CreateListPanels() {
    // "Preview"
    Panel8 = MakePanel(this, "Panel8", "Preview", kPanelWidth, kPreviewHeight);
    Preview = new TPreviewPanel(Panel8);
    Preview->SetRequestSource([this] { return CurrentPreviewRequest(); });

    // The list: "Sort options" above the grid's panel.
    Panel3 = MakePanel(this, "Panel3", " ", 400, 400);
    Panel3->SetBevelOuter(TPanelBevel::bvNone);
    Panel3->setMinimumSize(200, 160);
    Panel5 = MakePanel(Panel3, "Panel5", "Sort options", kPanelWidth, 34);
    MakeLabel(Panel5, "Sort", 8, 9, 32);
    Edit2 = Place(Named(new QLineEdit(Panel5), "Edit2"), 44, 6, kPanelWidth - 52, 22);
    Edit2->setToolTip(QStringLiteral("Sort keys, for example: filename^-size"));
    Panel7 = MakePanel(Panel3, "Panel7", " ", 400, 300);
    Panel7->SetBevelOuter(TPanelBevel::bvNone);
    AdvStringGrid1 = Named(new GridControl(Panel7), "AdvStringGrid1");

    // Check boxes take their panel's plain colour; as wide as their caption they leave the gradient be.
    for (QCheckBox* box : {CheckBox1, CheckBox2, CheckBox3, CheckBox5})
        box->resize(box->sizeHint().width(), box->height());
}

void TForm1::CreateMenuBar() {
    MenuBar1 = Named(new QMenuBar(this), "MenuBar1");
    // The window's shortcuts work wherever the focus is in it.
    auto add = [this](QMenu* menu, const char* caption, const char* keys, auto handler) {
        QAction* action = menu->addAction(QString::fromUtf8(caption));
        if (keys != nullptr) action->setShortcut(QKeySequence(QString::fromLatin1(keys)));
        action->setShortcutContext(Qt::WindowShortcut);
        QObject::connect(action, &QAction::triggered, this, handler);
        addAction(action);
        return action;
    };
    QMenu* job = MenuBar1->addMenu(QStringLiteral("&Job"));
    ActionOpenJob = add(job, "&Open job…", "Ctrl+O", [this] { OpenJobWithDialog(); });
    ActionSaveJob = add(job, "&Save job…", "Ctrl+S", [this] { SaveJobWithDialog(); });
    job->addSeparator();
    add(job, "Copy as &command line", "Ctrl+Shift+C", [this] { CopyCommandLine(); });
    job->addSeparator();
    add(job, "&Quit", "Ctrl+Q", [this] { close(); });
    QMenu* templ = MenuBar1->addMenu(QStringLiteral("&Template"));
    templ->setObjectName(QStringLiteral("MenuTemplate"));
    ActionEditTemplate = add(templ, "&Edit template…", "Ctrl+E", [this] { ShowTemplateEditor(); });
    MenuExamples = templ->addMenu(QStringLiteral("E&xamples"));
    MenuExamples->setObjectName(QStringLiteral("MenuExamples"));
    for (const TemplateExample& example : TemplateExamples()) {
        QAction* action = MenuExamples->addAction(QString::fromUtf8(example.caption));
        action->setToolTip(QString::fromUtf8(example.description));
        QObject::connect(action, &QAction::triggered, this, [this, &example] { UseExample(example); });
    }
    MenuExamples->setToolTipsVisible(true);
    QMenu* help = MenuBar1->addMenu(QStringLiteral("&Help"));
    add(help, "&Line intervals", nullptr, [this] { Button2Click(); });
    add(help, "&Destination paths", nullptr, [this] { Button3Click(); });
    add(help, "&Homepage", nullptr, [this] { GoHomepage(); });
}

int TForm1::TabTop() const {
    return kTabTop;
}

void TForm1::PlaceMenuBar() {
    if (MenuBar1 == nullptr || TabControl1 == nullptr) return;
    // On the tab row, right of the tabs: the menus cost the panels no height.
    const QRect tab = TabControl1->tabRect(TabControl1->count() - 1);
    const QSize hint = MenuBar1->sizeHint();
    const int left = tab.right() + 12;
    MenuBar1->setGeometry(left, TabControl1->y() + std::max(0, (tab.height() - hint.height()) / 2),
                          std::min(hint.width(), std::max(0, width() - left)), hint.height());
    MenuBar1->raise();
}

void TForm1::SchedulePreviews() {
    Preview->Schedule();
    if (editor_preview_ != nullptr) editor_preview_->Schedule();
}

void TForm1::UseExample(const TemplateExample& example) {
    CheckBox2->setChecked(true);
    Edit3->setText(QString::fromUtf8(example.templ));
    // An example shows what it promises on every line unless it names its lines.
    CheckBox1->setChecked(example.interval != nullptr);
    if (example.interval != nullptr) Edit4->setText(QString::fromUtf8(example.interval));
    SetMessage(std::string("Example: ") + example.caption);
}

void TForm1::ShowTemplateEditor() {
    if (template_window_ == nullptr) {
        template_window_ = new TTemplateWindow(this);
        template_window_->setObjectName(QStringLiteral("TemplateWindow"));
        template_window_->setWindowTitle(QStringLiteral("Template editor - ") + windowTitle());
        editor_preview_ = new TPreviewPanel;
        editor_preview_->setObjectName(QStringLiteral("EditorPreview"));
        editor_preview_->SetRequestSource([this] { return CurrentPreviewRequest(); });
        template_window_->SetPreview(editor_preview_);
        // The edit keeps the template; the editor mirrors it both ways. Writing a template means
        // using it, so "Process each line" is checked by an edit in the editor.
        QObject::connect(template_window_, &TTemplateWindow::TemplateEdited, this, [this](const QString& text) {
            CheckBox2->setChecked(true);
            if (Edit3->text() != text) Edit3->setText(text);
        });
        QObject::connect(template_window_, &TTemplateWindow::ExampleChosen, this,
                         [this](const TemplateExample& example) { UseExample(example); });
        QObject::connect(Edit3, &QLineEdit::textChanged, template_window_, [this](const QString& text) {
            if (template_window_->Template() != text) template_window_->SetTemplate(text);
        });
    }
    template_window_->SetTemplate(Edit3->text());
    template_window_->show();
    template_window_->raise();
    template_window_->activateWindow();
    editor_preview_->RefreshNow();
}

void TForm1::CreateStatusBar() {
    StatusBar1 = Named(new QStatusBar(this), "StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setCursor(Qt::PointingHandCursor);
    for (int i = 0; i < 2; ++i) {
        status_panels_[i] = new QLabel(StatusBar1);
        status_panels_[i]->setFrameShape(QFrame::StyledPanel);
        status_panels_[i]->setFrameShadow(QFrame::Sunken);
        status_panels_[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        StatusBar1->addWidget(status_panels_[i]);
    }
    StatusBar1->installEventFilter(this);
    StatusBar1->setToolTip(QStringLiteral("Click to open the homepage"));
}

void TForm1::ConnectEvents() {
    // The window's events.
    QObject::connect(Button1, &QPushButton::clicked, this, [this] { GetFiles(); });
    QObject::connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    QObject::connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    QObject::connect(GradBtn1, &TGradBtn::clicked, this, [this] { DoIt(); });
    QObject::connect(ButtonReport, &QPushButton::clicked, this, [this] { ShowRunReport(); });
    QObject::connect(ButtonCommandLine, &QPushButton::clicked, this, [this] { CopyCommandLine(); });
    QObject::connect(ButtonEditTemplate, &QPushButton::clicked, this, [this] { ShowTemplateEditor(); });
    QObject::connect(SpinEdit1, &QSpinBox::valueChanged, this, [this] { SetChecks(); });
    for (QCheckBox* box : {CheckBox1, CheckBox2, CheckBox3})
        QObject::connect(box, &QCheckBox::toggled, this, [this] { SetChecks(); });
    // The preview follows every setting it depends on, once typing pauses.
    for (QLineEdit* edit : {Edit3, Edit4, Edit2})
        QObject::connect(edit, &QLineEdit::textChanged, this, [this] { SchedulePreviews(); });
    for (QCheckBox* box : {CheckBox1, CheckBox2})
        QObject::connect(box, &QCheckBox::toggled, this, [this] { SchedulePreviews(); });
    QObject::connect(ComboLineEnds, &QComboBox::currentIndexChanged, this, [this] { SchedulePreviews(); });
    QObject::connect(ComboEncoding, &QComboBox::currentTextChanged, this, [this] {
        CheckEncoding();
        SchedulePreviews();
    });
    QObject::connect(TabControl1, &QTabBar::currentChanged, this, [this](int index) { SetTab(index); });
    // The form's resize handler, which the window layout calls after each arrangement.
    SetResizeHook(this, ResizeHook{[this](QWidget*) { SetSizes(); }});
}

void TForm1::InitStart() {
    // 1. Panel colours.
    Panel1->SetColor(kPathsPanelColour);
    Panel6->SetColor(kDestinationPanelColour);

    // 2. The file list and its grid, the two layouts, keys, the window, the command line, the path
    //    edits and the template record.
    files::InitFileList(file_list_);
    cell_services_ = std::make_unique<WindowCellServices>([this](std::string_view p) { return OpenDocument(p); });
    file_list_.Services = cell_services_.get();
    file_list_.TemplateContext = &evaluator_;
    file_list_.SortProgress.views = views_;
    grid_.InitEasyGrid(AdvStringGrid1, &file_list_, true);
    QObject::connect(AdvStringGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                     [this] { SchedulePreviews(); });
    SetResizeHook(Panel7, ResizeHook{[this](QWidget*) { grid_.FitToParent(); }});

    SetupLayout(list_layout_, Panel3, false);
    list_layout_.Animate = 0;
    SetMinColumns(list_layout_, 1, false);
    SetLayoutKind(list_layout_, 0, true, false);
    SetTopMargin(list_layout_, 0, false);
    SetLeftMargin(list_layout_, 0, false);
    SetRightMargin(list_layout_, 0, false);
    SetBottomMargin(list_layout_, 0, false);
    HideAllTitleBars(list_layout_, false);
    Activate(list_layout_);
    SetupWindowLayout(window_layout_, this, list_layout_, true);
    // The preview takes what the left column leaves, but asks for no more than a line or two when
    // the column is full, so that it does not push the settings out of their column.
    RegisterPanel(window_layout_, Panel8, kPreviewSizeSpec, true);
    InstallListKeyHook(this, window_layout_, list_layout_);

    FitFormToScreen(this);
    RecolourControlsOf(this);

    command_line_.Init();
    for (const std::string& argument : arguments_) command_line_.AddKeyValueLine(argument);

    paths_.Init();
    paths_.RegisterPathEdits(this,
                             [this](QLineEdit*) { return std::function<void()>([this] { SetChecks(); }); });

    tmpl::InitTemplateRecord(template_);
    DoubleBufferAll();
    for (QWidget* w : findChildren<QWidget*>()) w->setToolTipDuration(1000000);

    // 3. The side panels in their order.
    SetOrder(window_layout_, std::string(kWindowOrder) + kWindowOrderWithPreview, false);
    // 4. The line buffer.
    line_buffer_.Init();
    // 5. Caption.
    setWindowTitle(QString::fromLatin1(kWindowCaption));
    // 6. The destination is relative to the source.
    paths_.SetRelative(EditfolderSource, EditFolderDest);
    // 7. The file columns.
    grid_.AddFileColumns();
    // 8. The tab control at the top, the panels below it.
    TabControl1->setGeometry(0, TabTop(), width(), TabControl1->sizeHint().height());
    PlaceMenuBar();
    SetTopMargin(window_layout_, PanelsTopMargin(TabTop(), TabControl1->height()), false);
    // 9.
    SetChecks();
    // 10. "Start" has no title bar; the sort edit drives the list's order.
    HideTitleBar(window_layout_, SlotOfPanel(window_layout_, Panel4), true);
    grid_.BindSortEdit(Edit2);
    // 11. The command line presets the two paths. Linux paths keep their letter case, so the texts are
    //     the arguments as given (the table's lower-cased keys would name other folders).
    const PresetPathsT preset = PresetPaths(arguments_);
    EditfolderSource->setText(Q(preset.source));
    EditFolderDest->setText(Q(preset.destination));
    // 12.
    line_buffer_.Formatting(0).DisplayTemplate.clear();
    status_panels_[1]->setText(windowTitle());
    grid_.ShowColumn(tables::kCodeNumber, true);
    Preview->RefreshNow();
}

void TForm1::SetChecks() {
    std::string destination, source;
    const bool pair_valid =
        paths_.ValidatePair(EditfolderSource, EditFolderDest, files::kPairWindowOptions, destination, source);
    GradBtn1->setEnabled(StartEnabled(pair_valid, file_list_.RowCount) && !running_);

    file_list_.SourceRoot = paths_.ResolvedPath(EditfolderSource);
    file_list_.DestinationRoot = paths_.ResolvedPath(EditFolderDest);
    file_list_.DestinationMode = DestinationModeFor(StateOf(CheckBox3));

    if (PathColumnShown(SpinEdit1->value()))
        grid_.ShowColumn(tables::kCodePath, true);
    else
        grid_.HideColumn(tables::kCodePath, true);

    EnableByCheck(Edit4, CheckBox1);
    EnableByCheck(Edit3, CheckBox2);

    RecolourControlsOf(this);
    ColourStartButton(GradBtn1, kStartColour);

    // Rows of another folder stay listed, but the status bar says so until the next Populate.
    const bool outdated = listed_ && paths_.ResolvedPath(EditfolderSource) != listed_source_;
    if (outdated != list_outdated_) {
        list_outdated_ = outdated;
        if (outdated) message_.clear();  // the last outcome or count was of the old folder
        ShowStatus();
    }
}

void TForm1::GetFiles() {
    file_list_.Clear();
    file_list_.SubfolderLevels = SpinEdit1->value();
    file_list_.ScanFilter = files::MakeMaskFilter(S(Edit1->text()));
    // An empty source edit would resolve to the current folder; it names no folder to list.
    if (!EditfolderSource->text().isEmpty())
        files::Populate(file_list_, paths_.ResolvedPath(EditfolderSource), views_);
    // The list follows the "Sort options" text from the start (an empty text keeps the scan order), so
    // that it shows the order a run takes and the command line reproduces.
    file_list_.Sort();
    grid_.Refresh();
    listed_ = true;
    listed_source_ = paths_.ResolvedPath(EditfolderSource);
    message_ = ListedText(file_list_.RowCount);
    SetChecks();
    ShowStatus();
    SchedulePreviews();
}

run::RunSettings TForm1::CurrentRunSettings() const {
    RunInputsT in;
    in.interval_edit_enabled = EditHasValue(Edit4, false);
    in.interval_text = S(Edit4->text());
    in.template_edit_enabled = EditHasValue(Edit3, false);
    in.template_text = S(Edit3->text());
    in.create_folders = StateOf(CheckBox5);
    in.overwrite = StateOf(RadioButton1);
    in.line_ends_choice = ComboLineEnds->currentIndex();
    in.encoding_text = S(ComboEncoding->currentText());
    run::RunSettings settings = BuildRunSettings(in);
    settings.LegacyEncoding = legacy_encoding_;
    settings.OutputEncoding = output_encoding_;
    return settings;
}

void TForm1::DoIt() {
    // The progress windows let events through; a second click must not start a run inside this one.
    if (running_) return;
    // A name the run cannot read would skip every rewrite: nothing runs, and the window says why.
    CheckEncoding();
    if (!encoding_problem_.empty()) {
        ShowStatus();
        ComboEncoding->setFocus();
        return;
    }
    running_ = true;
    SetChecks();  // greys "Start"
    DisableAll(window_layout_);
    ProcessPending();

    const run::RunSettings settings = CurrentRunSettings();
    last_report_.clear();
    cancel_requested_ = false;
    run::RunHooks hooks;
    hooks.Views = views_;
    hooks.OnRow = [this](const run::RowReport& row) { last_report_.push_back(row); };
    hooks.ShouldCancel = [this] { return cancel_requested_; };
    // Esc and the progress windows' "Cancel" reach the run through the events those windows let through.
    qApp->installEventFilter(this);
    gauge_factory_.OnCancel = [this] { CancelRun(); };
    last_summary_ = run::RunFiles(file_list_, line_buffer_, &expander_, settings, hooks);
    gauge_factory_.OnCancel = nullptr;
    qApp->removeEventFilter(this);
    message_ = OutcomeText(last_summary_);

    running_ = false;
    EnableAll(window_layout_);
    // The run may have made the destination folder: the path edits show what exists now.
    paths_.Revalidate(EditfolderSource);
    paths_.Revalidate(EditFolderDest);
    SetChecks();
    ShowStatus();
    ButtonReport->setEnabled(true);
    const bool closing = close_after_run_;
    close_after_run_ = false;
    // A skipped file is never silent, unless the user is leaving.
    if (!closing && (last_summary_.Skipped > 0 || (report_window_ != nullptr && report_window_->isVisible())))
        ShowRunReport();
    emit RunFinished();
    if (closing) close();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!running_) {
        QWidget::closeEvent(event);
        return;
    }
    // Hidden, the window would leave the run writing every remaining file with nobody to see.
    event->ignore();
    if (asking_to_close_ || close_after_run_) return;
    asking_to_close_ = true;
    const QString question = QString::fromLatin1(kCloseDuringRunQuestion);
    const bool stop = ask_ ? ask_(question)
                           : QMessageBox::question(this, windowTitle(), question,
                                                   QMessageBox::Yes | QMessageBox::No,
                                                   QMessageBox::No) == QMessageBox::Yes;
    asking_to_close_ = false;
    if (!stop || !running_) return;
    close_after_run_ = true;
    // As the progress windows' "Cancel" does, so that they say the stop was heard.
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* gauge = qobject_cast<TGaugeWindow*>(top); gauge != nullptr && gauge->CancelButton()->isVisible())
            gauge->RequestCancel();
    CancelRun();
}

void TForm1::CheckEncoding() {
    std::string problem = EncodingProblem(CurrentRunSettings());
    if (problem == encoding_problem_) return;
    encoding_problem_ = std::move(problem);
    const bool bad = !encoding_problem_.empty();
    ComboEncoding->setProperty("encodingProblem", bad);
    ComboEncoding->setStyleSheet(bad ? QStringLiteral("QComboBox { border: 2px solid #d00000; }")
                                     : QString());
    ComboEncoding->setToolTip(bad ? Q(encoding_problem_) + QStringLiteral("\n\n") + encoding_tooltip_
                                  : encoding_tooltip_);
    // The message covers the last outcome only while it holds.
    ShowStatus();
}

void TForm1::ShowStatus() {
    status_panels_[0]->setText(Q(StatusLine(encoding_problem_, list_outdated_, message_)));
}

void TForm1::SetMessage(const std::string& message) {
    message_ = message;
    ShowStatus();
}

bool TForm1::OpenDocument(std::string_view path) {
    const QString file = Q(path);
    QString what;
    const OpenOutcome outcome = open_document_ ? open_document_(file, what) : OpenLocalFile(file, &what);
    if (outcome != OpenOutcome::Opened)
        SetMessage(OpenProblemText(outcome, S(what) + " files", path));
    return outcome != OpenOutcome::Failed;
}

void TForm1::CancelRun() {
    if (running_) cancel_requested_ = true;
}

PreviewRequestT TForm1::CurrentPreviewRequest() const {
    PreviewRequestT request;
    request.settings = CurrentRunSettings();
    const QModelIndex current = AdvStringGrid1->currentIndex();
    // Grid row r >= 1 shows file list row r; the title row is the header.
    const int32_t selected = current.isValid() ? current.row() + 1 : 0;
    const int32_t row = PreviewRowOf(file_list_, selected);
    if (row > 0) request.file = file_list_.GetCell(row, tables::kCodeFullPath);
    return request;
}

CommandInputsT TForm1::CurrentCommandInputs() const {
    CommandInputsT in;
    in.source = file_list_.SourceRoot.empty() ? paths_.ResolvedPath(EditfolderSource) : file_list_.SourceRoot;
    in.destination = paths_.ResolvedPath(EditFolderDest);
    in.levels = SpinEdit1->value();
    in.masks = S(Edit1->text());
    in.flat = DestinationModeFor(StateOf(CheckBox3)) != 0;
    in.sort = S(Edit2->text());
    in.settings = CurrentRunSettings();
    return in;
}

std::string TForm1::CommandLineText() const {
    CommandInputsT in;
    if (!command_program_.empty()) {
        in.program = command_program_;
    } else {
        // The command-line program beside this one (installed), or in the build tree, else by name.
        const QString here = QCoreApplication::applicationDirPath();
        for (const QString& candidate : {here + "/rowsmith-cli", here + "/../cli/rowsmith-cli"}) {
            if (QFileInfo(candidate).isExecutable()) {
                in.program = S(QFileInfo(candidate).canonicalFilePath());
                break;
            }
        }
    }
    CommandInputsT from = CurrentCommandInputs();
    from.program = in.program;
    return CommandLineFor(from);
}

void TForm1::CopyCommandLine() {
    const QString line = Q(CommandLineText());
    QGuiApplication::clipboard()->setText(line);
    StatusBar1->setToolTip(QStringLiteral("Copied: ") + line);
    SetMessage(kCommandCopiedText);
}

run::Job TForm1::CurrentJob() const {
    return JobFor(CurrentCommandInputs());
}

bool TForm1::SaveJob(const QString& path, QString* error) {
    std::string problem;
    if (!run::WriteJobFile(S(path), CurrentJob(), problem)) {
        if (error != nullptr) *error = Q(problem);
        return false;
    }
    last_job_path_ = path;
    SetMessage(JobSavedText(S(path)));
    return true;
}

void TForm1::ApplyJob(const run::Job& job) {
    EditfolderSource->setText(Q(job.Source));
    EditFolderDest->setText(Q(job.Destination));
    Edit1->setText(Q(job.Masks));
    SpinEdit1->setValue(job.Levels);
    Edit2->setText(Q(job.Sort));
    CheckBox3->setChecked(!job.Flat);
    CheckBox5->setChecked(job.CreateFolders);
    (job.Overwrite ? RadioButton1 : RadioButton2)->setChecked(true);
    CheckBox1->setChecked(job.IntervalOn);
    Edit4->setText(Q(job.Interval));
    CheckBox2->setChecked(job.TemplateOn);
    Edit3->setText(Q(job.Template));
    ComboLineEnds->setCurrentIndex(LineEndsChoiceOf(job.LineEnds));
    ComboEncoding->setCurrentText(Q(EncodingTextFor(job.Encoding)));
    legacy_encoding_ = job.LegacyEncoding;
    output_encoding_ = job.OutputEncoding;
    CheckEncoding();
    SetChecks();
}

bool TForm1::OpenJob(const QString& path, QString* error) {
    run::Job job;
    std::string problem;
    if (!run::ReadJobFile(S(path), job, problem)) {
        if (error != nullptr) *error = Q(problem);
        return false;
    }
    ApplyJob(job);
    last_job_path_ = path;
    // The job names its files: list them, as "Populate file list" would, when the paths allow a run.
    std::string destination, source;
    if (!EditfolderSource->text().isEmpty() &&
        paths_.ValidatePair(EditfolderSource, EditFolderDest, files::kPairWindowOptions, destination, source))
        GetFiles();
    SetMessage(JobOpenedText(S(path)));
    return true;
}

void TForm1::SaveJobWithDialog() {
    const QString suggested = last_job_path_.isEmpty() ? QDir::homePath() + QStringLiteral("/job.rowsmith") : last_job_path_;
    QString path = choose_file_ ? choose_file_(true, suggested)
                                : QFileDialog::getSaveFileName(this, QStringLiteral("Save job"), suggested,
                                                               QString::fromLatin1(kJobFileFilter));
    if (path.isEmpty()) return;
    // A name typed without the suffix gets it, as the file type filter promises.
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".") + QString::fromLatin1(kJobFileSuffix);
    QString error;
    if (SaveJob(path, &error)) return;
    if (warn_)
        warn_(error);
    else
        QMessageBox::warning(this, QStringLiteral("Save job"), error);
}

void TForm1::OpenJobWithDialog() {
    const QString suggested = last_job_path_.isEmpty() ? QDir::homePath() : last_job_path_;
    const QString path = choose_file_ ? choose_file_(false, suggested)
                                      : QFileDialog::getOpenFileName(this, QStringLiteral("Open job"), suggested,
                                                                     QString::fromLatin1(kJobFileFilter));
    if (path.isEmpty()) return;
    QString error;
    if (OpenJob(path, &error)) return;
    if (warn_)
        warn_(error);
    else
        QMessageBox::warning(this, QStringLiteral("Open job"), error);
}

void TForm1::ShowRunReport() {
    if (report_window_ == nullptr) {
        report_window_ = new QDialog(this);
        report_window_->setObjectName(QStringLiteral("RunReport"));
        report_window_->resize(820, 360);
        auto* layout = new QVBoxLayout(report_window_);
        auto* summary = new QLabel(report_window_);
        summary->setObjectName(QStringLiteral("RunReportSummary"));
        auto* table = new QTableWidget(0, 8, report_window_);
        table->setObjectName(QStringLiteral("RunReportTable"));
        table->setHorizontalHeaderLabels({QStringLiteral("Row"), QStringLiteral("Outcome"),
                                          QStringLiteral("Source"), QStringLiteral("Destination"),
                                          QStringLiteral("Lines"), QStringLiteral("Encoding"),
                                          QStringLiteral("Line ends"), QStringLiteral("Reason")});
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->verticalHeader()->hide();
        table->horizontalHeader()->setStretchLastSection(true);
        // One line a row: long paths keep both ends when cut; the whole text is in the cell's tooltip.
        table->setWordWrap(false);
        table->setTextElideMode(Qt::ElideMiddle);
        layout->addWidget(summary);
        layout->addWidget(table);
    }
    FillRunReport();
    report_window_->show();
    FitRunReport();
    report_window_->raise();
}

void TForm1::FillRunReport() {
    if (report_window_ == nullptr) return;
    report_window_->setWindowTitle(QStringLiteral("Run report - ") + windowTitle());
    auto* summary = report_window_->findChild<QLabel*>(QStringLiteral("RunReportSummary"));
    auto* table = report_window_->findChild<QTableWidget*>(QStringLiteral("RunReportTable"));
    summary->setText(last_report_.empty() && last_summary_.Copied + last_summary_.Rewritten == 0
                         ? QStringLiteral("No run yet, or a run over an empty list.")
                         : Q(OutcomeText(last_summary_)));
    table->setRowCount(static_cast<int>(last_report_.size()));
    for (int i = 0; i < static_cast<int>(last_report_.size()); ++i) {
        const run::RowReport& r = last_report_[static_cast<std::size_t>(i)];
        const bool lines = r.Outcome == run::RowOutcome::Rewritten;
        const QString cells[] = {QString::number(r.Row),
                                 Q(OutcomeWord(r.Outcome)),
                                 Q(r.Source),
                                 Q(r.Destination),
                                 lines ? QString::number(r.Lines) : QString(),
                                 // How a rewrite read its source; copies leave both empty.
                                 Q(r.Encoding),
                                 Q(r.LineEnds),
                                 Q(r.Reason)};
        for (int c = 0; c < 8; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == 2 || c == 3 || c == 7) item->setToolTip(cells[c]);
            table->setItem(i, c, item);
        }
    }
}

void TForm1::FitRunReport() {
    auto* table = report_window_->findChild<QTableWidget*>(QStringLiteral("RunReportTable"));
    const QScreen* screen = report_window_->screen() != nullptr ? report_window_->screen() : this->screen();
    const QRect room = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    // What the window adds around the columns: its layout margins, the table's frame and scroll bar.
    const QMargins margins = report_window_->layout()->contentsMargins();
    const int chrome = margins.left() + margins.right() + 2 * table->frameWidth() +
                       table->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4;
    // A window frame the toolkit does not count in the size.
    constexpr int kFrameAllowance = 40;
    const int max_width = std::max(320, room.width() - kFrameAllowance);
    std::vector<int> contents;
    // Read from the contents: a stretched last column's width says only what the window gave it.
    for (int c = 0; c < table->columnCount(); ++c)
        contents.push_back(std::max(static_cast<const QAbstractItemView*>(table)->sizeHintForColumn(c),
                                    table->horizontalHeader()->sectionSizeHint(c)));
    const std::vector<int> widths = FitColumnWidths(contents, max_width - chrome, 40, table->columnCount() - 1);
    int total = 0;
    for (int c = 0; c < table->columnCount(); ++c) {
        table->setColumnWidth(c, widths[static_cast<std::size_t>(c)]);
        total += widths[static_cast<std::size_t>(c)];
    }
    const int width = std::clamp(total + chrome, std::min(600, max_width), max_width);
    const int rows_height = table->horizontalHeader()->height() + 2 * table->frameWidth() +
                            table->verticalHeader()->length() +
                            table->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int summary_height = report_window_->findChild<QLabel*>(QStringLiteral("RunReportSummary"))
                                   ->sizeHint()
                                   .height();
    const int max_height = std::max(200, room.height() - 2 * kFrameAllowance);
    const int height = std::clamp(rows_height + summary_height + margins.top() + margins.bottom() + 12,
                                  std::min(360, max_height), max_height);
    report_window_->resize(width, height);
    // Kept on its screen, frame included.
    QRect frame = report_window_->frameGeometry();
    frame.moveLeft(std::clamp(frame.left(), room.left(), std::max(room.left(), room.right() - frame.width())));
    frame.moveTop(std::clamp(frame.top(), room.top(), std::max(room.top(), room.bottom() - frame.height())));
    if (report_window_->isVisible()) report_window_->move(frame.topLeft());
}

void TForm1::Outit() {
    file_list_.Clear();
    line_buffer_.Clear();
}

void TForm1::SetSizes() {
    if (TabControl1 != nullptr) TabControl1->setGeometry(0, TabTop(), width(), TabControl1->height());
    PlaceMenuBar();
    if (StatusBar1 == nullptr) return;
    const int bar_height = StatusBar1->sizeHint().height();
    StatusBar1->setGeometry(0, height() - bar_height, width(), bar_height);
    const StatusWidthsT widths = StatusPanelWidths(StatusBar1->width());
    status_panels_[0]->setFixedWidth(widths.outcome);
    status_panels_[1]->setFixedWidth(widths.caption);
}

void TForm1::OpenPage(const char* path) {
    const QString url = HelpPageUrl(path);
    const OpenOutcome outcome = open_page_ ? open_page_(url) : OpenWebAddress(url);
    if (outcome != OpenOutcome::Opened) SetMessage(OpenProblemText(outcome, "help pages", S(url)));
}

void TForm1::GoHomepage() {
    OpenPage(kHomePagePath);
}
void TForm1::Button2Click() {
    OpenPage(kIntervalsHelpPath);
}
void TForm1::Button3Click() {
    OpenPage(kDestinationHelpPath);
}
void TForm1::SetTab(int) {}

void TForm1::CheckSetsAfterNewPath() {
    file_list_.Clear();
    listed_ = false;  // nothing of the old folder is listed any more
    grid_.Refresh();
    SetChecks();
}

QLabel* TForm1::StatusPanel(int index) const {
    return index == 0 || index == 1 ? status_panels_[index] : nullptr;
}

void TForm1::SetGaugeViews(text::GaugeViewFactory* views) {
    views_ = views;
    file_list_.SortProgress.views = views;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // Esc in the question about closing answers it; it does not cancel the run behind it.
    if (running_ && !asking_to_close_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        CancelRun();
        return true;
    }
    if (watched == StatusBar1) {
        if (event->type() == QEvent::MouseButtonPress) return true;  // so that the release comes here
        if (event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton && StatusBar1->rect().contains(mouse->position().toPoint()))
                GoHomepage();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace rowsmith::gui
