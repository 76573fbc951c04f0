#include "gui/windows/template_window.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QVBoxLayout>

#include "gui/logic/template_syntax.h"
#include "gui/widgets/template_editor.h"

namespace rowsmith::gui {

TTemplateWindow::TTemplateWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle("Template editor");
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    resize(kDefaultWidth, kDefaultHeight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    menu_bar_ = new QMenuBar(this);
    layout->setMenuBar(menu_bar_);

    QMenu* menu = menu_bar_->addMenu("&Template");
    QMenu* examples = menu->addMenu("&Examples");
    for (const TemplateExample& example : TemplateExamples()) {
        QAction* a = examples->addAction(QString::fromUtf8(example.caption));
        a->setToolTip(QString::fromUtf8(example.description));
        a->setStatusTip(a->toolTip());
        const TemplateExample* chosen = &example;
        connect(a, &QAction::triggered, this, [this, chosen] {
            // An example is an edit like typing: the owner hears of it through TemplateEdited.
            editor_->SetTemplate(QString::fromUtf8(chosen->templ));
            editor_->setFocus();
            emit ExampleChosen(*chosen);
        });
        example_actions_ << a;
    }
    examples->setToolTipsVisible(true);
    menu->addSeparator();
    close_action_ = menu->addAction("&Close");
    close_action_->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)});
    close_action_->setShortcutContext(Qt::WindowShortcut);
    connect(close_action_, &QAction::triggered, this, &QWidget::close);
    // Shortcuts of a menu bar's actions work only while the action belongs to a widget of the window.
    addAction(close_action_);

    splitter_ = new QSplitter(Qt::Vertical, this);
    splitter_->setChildrenCollapsible(false);
    auto* top = new QWidget(splitter_);
    auto* top_layout = new QVBoxLayout(top);
    top_layout->setContentsMargins(0, 0, 0, 0);
    top_layout->setSpacing(2);
    editor_ = new TTemplateEditor(top);
    editor_->setMinimumHeight(80);
    problems_ = new QLabel(top);
    problems_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long message must not widen the window; the whole list is the tooltip.
    problems_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    top_layout->addWidget(editor_, 1);
    top_layout->addWidget(problems_);
    splitter_->addWidget(top);
    placeholder_ = new QLabel("No preview", splitter_);
    static_cast<QLabel*>(placeholder_)->setAlignment(Qt::AlignCenter);
    placeholder_->setMinimumHeight(60);
    splitter_->addWidget(placeholder_);
    splitter_->setStretchFactor(0, 3);
    splitter_->setStretchFactor(1, 2);
    splitter_->setSizes({kDefaultHeight * 3 / 5, kDefaultHeight * 2 / 5});
    layout->addWidget(splitter_, 1);

    connect(editor_, &TTemplateEditor::TemplateChanged, this, [this] {
        ShowProblems();
        if (!setting_) emit TemplateEdited(editor_->Template());
    });
    ShowProblems();
}

void TTemplateWindow::SetTemplate(const QString& text) {
    setting_ = true;
    editor_->SetTemplate(text);
    setting_ = false;
}

QString TTemplateWindow::Template() const {
    return editor_->Template();
}

void TTemplateWindow::SetPreview(QWidget* preview) {
    if (preview == preview_) return;
    QWidget* old = preview_ ? preview_ : placeholder_;
    QWidget* now = preview ? preview : placeholder_;
    const QList<int> sizes = splitter_->sizes();
    if (now == placeholder_) {
        splitter_->replaceWidget(1, placeholder_);
    } else {
        now->setMinimumHeight(std::max(now->minimumHeight(), 60));
        splitter_->replaceWidget(1, now);
    }
    now->show();
    if (old == placeholder_) {
        placeholder_->hide();
        placeholder_->setParent(this);
    } else {
        old->deleteLater();
    }
    preview_ = preview;
    // Before the window is shown the splitter has no sizes of its own yet: the initial split again.
    if (isVisible())
        splitter_->setSizes(sizes);
    else
        splitter_->setSizes({kDefaultHeight * 3 / 5, kDefaultHeight * 2 / 5});
}

void TTemplateWindow::ShowProblems() {
    const std::vector<SyntaxProblem>& p = editor_->Problems();
    problems_->setText(QString::fromStdString(ProblemSummary(editor_->TemplateUtf8(), p)));
    problems_->setStyleSheet(p.empty() ? "color: #2e7d32;" : "color: #c62828;");
    QStringList all;
    for (const SyntaxProblem& one : p) {
        const LineColumn lc = LineColumnOf(editor_->TemplateUtf8(), one.offset);
        all << QString("%1:%2 %3").arg(lc.line).arg(lc.column).arg(QString::fromStdString(one.message));
    }
    problems_->setToolTip(all.join('\n'));
}

}  // namespace rowsmith::gui
