#pragma once
// TTemplateWindow: a roomy window for writing a template: the template editor with a line that names
// its first problem, a preview its owner supplies, and a menu of worked examples. The owner keeps the
// template itself and mirrors it both ways (SetTemplate in, TemplateEdited out).

#include <QList>
#include <QString>
#include <QWidget>

#include "gui/logic/template_examples.h"

class QAction;
class QLabel;
class QMenuBar;
class QSplitter;

namespace rowsmith::gui {

class TTemplateEditor;

class TTemplateWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kMinimumWidth = 480;
    static constexpr int kMinimumHeight = 320;
    static constexpr int kDefaultWidth = 900;
    static constexpr int kDefaultHeight = 600;

    explicit TTemplateWindow(QWidget* parent = nullptr);

    TTemplateEditor* Editor() const { return editor_; }
    // Shows the template without reporting it back as an edit.
    void SetTemplate(const QString& text);
    QString Template() const;

    // Places the owner's preview under the editor; the window becomes its parent, and a preview
    // placed before is deleted. nullptr leaves the pane empty.
    void SetPreview(QWidget* preview);
    QWidget* Preview() const { return preview_; }

    // The parts, for the owner and tests.
    QSplitter* Splitter() const { return splitter_; }
    QLabel* ProblemLabel() const { return problems_; }
    QMenuBar* MenuBar() const { return menu_bar_; }
    const QList<QAction*>& ExampleActions() const { return example_actions_; }
    QAction* CloseAction() const { return close_action_; }

  signals:
    // The user changed the template (typing, completion, an example).
    void TemplateEdited(const QString& text);
    // An example was chosen (after it filled the editor); its interval, when it has one, is for the
    // owner's interval edit.
    void ExampleChosen(const TemplateExample& example);

  private:
    void ShowProblems();

    TTemplateEditor* editor_ = nullptr;
    QLabel* problems_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QWidget* preview_ = nullptr;
    QWidget* placeholder_ = nullptr;
    QMenuBar* menu_bar_ = nullptr;
    QList<QAction*> example_actions_;
    QAction* close_action_ = nullptr;
    bool setting_ = false;
};

}  // namespace rowsmith::gui
