#pragma once
// TTemplateEditor: a plain-text editor for templates. It colours tags as the engine reads them,
// underlines what the engine would not do as written (hover for why), and offers names and modifier
// words with their descriptions while typing after "{{" or "|" (or on Ctrl+Space).

#include <QPlainTextEdit>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <string>
#include <vector>

#include "gui/logic/template_syntax.h"

class QCompleter;
class QModelIndex;
class QStandardItemModel;

namespace rowsmith::gui {

class TTemplateHighlighter;

class TTemplateEditor : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit TTemplateEditor(QWidget* parent = nullptr);

    // The template: the editor's text, a line break being "\n" (no-break spaces kept as they are).
    QString Template() const;
    void SetTemplate(const QString& text);

    // Problems of the current text (byte offsets into its UTF-8 form) and the text they refer to.
    const std::vector<SyntaxProblem>& Problems() const { return problems_; }
    const std::string& TemplateUtf8() const { return utf8_; }
    // The message of the problem under a document position (empty when none): what the tooltip shows.
    QString ProblemTextAt(int position) const;
    // The document range [first, last) a byte range of the template covers.
    struct Range {
        int first = 0;
        int last = 0;
    };
    Range DocumentRange(std::size_t offset, std::size_t length) const;

    // Completion: opened by typing or OpenCompletion, closed by Esc, accepting or leaving the word.
    bool CompletionVisible() const;
    void OpenCompletion();
    // The words listed now, in order.
    QStringList CompletionWords() const;
    QCompleter* Completer() const { return completer_; }

    // Offsets between a text's UTF-16 positions and the bytes of its UTF-8 form. A byte inside a
    // character maps to the character's start; a position between the halves of a surrogate pair to
    // the pair's start.
    static int Utf16PositionOf(const QString& text, std::size_t byte_offset);
    static std::size_t Utf8OffsetOf(const QString& text, int position);

  signals:
    // After every change of the text, typed or set.
    void TemplateChanged();

  protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Analyse();
    void UpdateCompletion(bool forced);
    void HideCompletion();
    void AcceptCompletion(const QModelIndex& index);

    TTemplateHighlighter* highlighter_ = nullptr;
    QCompleter* completer_ = nullptr;
    QStandardItemModel* model_ = nullptr;
    CompletionContext completion_;
    QString text_;
    std::string utf8_;
    std::vector<int> position_of_byte_;  // UTF-16 position of every byte offset of utf8_ (and its end)
    std::vector<SyntaxProblem> problems_;
    bool analysing_ = false;
};

}  // namespace rowsmith::gui
