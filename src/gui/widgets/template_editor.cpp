#include "gui/widgets/template_editor.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QFontDatabase>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QToolTip>
#include <QTreeView>
#include <array>

namespace rowsmith::gui {

namespace {

constexpr int kInsertableRole = Qt::UserRole + 1;
constexpr int kPopupWidth = 680;
constexpr int kPopupWordColumn = 200;

QTextCharFormat Coloured(const char* colour, bool bold = false, bool italic = false) {
    QTextCharFormat f;
    f.setForeground(QColor(colour));
    if (bold) f.setFontWeight(QFont::Bold);
    if (italic) f.setFontItalic(true);
    return f;
}

// One format per SyntaxKind, readable on white; plain text keeps the editor's own.
std::array<QTextCharFormat, 10> KindFormats() {
    std::array<QTextCharFormat, 10> f{};
    f[static_cast<int>(SyntaxKind::TagBrace)] = Coloured("#7b1fa2", true);
    f[static_cast<int>(SyntaxKind::Name)] = Coloured("#0d47a1", true);
    f[static_cast<int>(SyntaxKind::ModifierWord)] = Coloured("#00695c");
    f[static_cast<int>(SyntaxKind::Separator)] = Coloured("#757575", true);
    f[static_cast<int>(SyntaxKind::Argument)] = Coloured("#8d4a00");
    f[static_cast<int>(SyntaxKind::RawLiteral)] = Coloured("#2e7d32");
    QTextCharFormat cut = Coloured("#ad1457", true);
    cut.setBackground(QColor("#fce4ec"));
    f[static_cast<int>(SyntaxKind::CutMarker)] = cut;
    f[static_cast<int>(SyntaxKind::Comment)] = Coloured("#8c8c8c", false, true);
    f[static_cast<int>(SyntaxKind::Error)] = Coloured("#c62828");
    return f;
}

}  // namespace

// Colours the document from ranges the editor computes over the whole template: a tag may span
// lines, so a block's colours depend on text outside it.
class TTemplateHighlighter : public QSyntaxHighlighter {
  public:
    struct Styled {
        int first = 0;
        int last = 0;
        SyntaxKind kind = SyntaxKind::Text;
    };

    explicit TTemplateHighlighter(QTextDocument* document)
        : QSyntaxHighlighter(document), formats_(KindFormats()) {}

    void SetRanges(std::vector<Styled> spans, std::vector<TTemplateEditor::Range> problems) {
        spans_ = std::move(spans);
        problems_ = std::move(problems);
        rehighlight();
    }

  protected:
    void highlightBlock(const QString& text) override {
        const int start = currentBlock().position();
        const int end = start + static_cast<int>(text.size());
        for (const Styled& s : spans_) {
            if (s.last <= start || s.first >= end || s.kind == SyntaxKind::Text) continue;
            const int a = std::max(s.first, start), b = std::min(s.last, end);
            setFormat(a - start, b - a, formats_[static_cast<int>(s.kind)]);
        }
        for (const TTemplateEditor::Range& p : problems_) {
            if (p.last <= start || p.first >= end) continue;
            const int a = std::max(p.first, start), b = std::min(p.last, end);
            for (int i = a; i < b; ++i) {
                QTextCharFormat f = format(i - start);
                f.setUnderlineStyle(QTextCharFormat::WaveUnderline);
                f.setUnderlineColor(QColor("#e00000"));
                setFormat(i - start, 1, f);
            }
        }
    }

  private:
    std::array<QTextCharFormat, 10> formats_;
    std::vector<Styled> spans_;
    std::vector<TTemplateEditor::Range> problems_;
};

TTemplateEditor::TTemplateEditor(QWidget* parent) : QPlainTextEdit(parent) {
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTabChangesFocus(false);
    setPlaceholderText("{{line}}{{eol}}  (Ctrl+Space lists names and modifiers)");
    highlighter_ = new TTemplateHighlighter(document());

    model_ = new QStandardItemModel(0, 2, this);
    completer_ = new QCompleter(model_, this);
    completer_->setWidget(this);
    completer_->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    completer_->setCaseSensitivity(Qt::CaseInsensitive);
    completer_->setMaxVisibleItems(12);
    // Two columns: the word, and its description while choosing.
    auto* popup = new QTreeView;
    popup->setHeaderHidden(true);
    popup->setRootIsDecorated(false);
    popup->setUniformRowHeights(true);
    popup->setSelectionBehavior(QAbstractItemView::SelectRows);
    popup->setEditTriggers(QAbstractItemView::NoEditTriggers);
    popup->setFont(font());
    completer_->setPopup(popup);
    popup->header()->setStretchLastSection(true);
    connect(completer_, qOverload<const QModelIndex&>(&QCompleter::activated), this,
            &TTemplateEditor::AcceptCompletion);

    connect(this, &QPlainTextEdit::textChanged, this, &TTemplateEditor::Analyse);
    Analyse();
}

QString TTemplateEditor::Template() const {
    // The raw text keeps no-break spaces (toPlainText would turn them into spaces).
    QString t = document()->toRawText();
    for (QChar& c : t)
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) c = QLatin1Char('\n');
    return t;
}

void TTemplateEditor::SetTemplate(const QString& text) {
    if (text == Template()) return;
    HideCompletion();
    setPlainText(text);
}

int TTemplateEditor::Utf16PositionOf(const QString& text, std::size_t byte_offset) {
    std::size_t bytes = 0;
    int i = 0;
    const int n = static_cast<int>(text.size());
    while (i < n) {
        const char32_t u = text[i].unicode();
        int units = 1;
        std::size_t width = u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
            units = 2;
            width = 4;
        }
        if (bytes + width > byte_offset) break;
        bytes += width;
        i += units;
    }
    return i;
}

std::size_t TTemplateEditor::Utf8OffsetOf(const QString& text, int position) {
    const int n = static_cast<int>(text.size());
    std::size_t bytes = 0;
    int i = 0;
    while (i < n && i < position) {
        const char32_t u = text[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
            if (i + 1 >= position) break;  // inside the pair: its start
            bytes += 4;
            i += 2;
            continue;
        }
        // A lone surrogate becomes one replacement character (3 bytes) in UTF-8 as well.
        bytes += u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
        ++i;
    }
    return bytes;
}

TTemplateEditor::Range TTemplateEditor::DocumentRange(std::size_t offset, std::size_t length) const {
    const auto at = [&](std::size_t b) {
        b = std::min(b, utf8_.size());
        return position_of_byte_.empty() ? 0 : position_of_byte_[b];
    };
    return {at(offset), at(offset + length)};
}

void TTemplateEditor::Analyse() {
    if (analysing_) return;
    const QString text = Template();
    // Formats set by the highlighter report a change too; only a new text needs the work.
    if (text == text_ && !position_of_byte_.empty()) return;
    analysing_ = true;
    text_ = text;
    const QByteArray bytes = text.toUtf8();
    utf8_.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    position_of_byte_.assign(utf8_.size() + 1, 0);
    {
        // One walk: every byte of a character maps to the character's start.
        std::size_t b = 0;
        int i = 0;
        const int n = static_cast<int>(text.size());
        while (i < n && b < utf8_.size()) {
            const auto lead = static_cast<unsigned char>(utf8_[b]);
            const std::size_t width = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            for (std::size_t k = 0; k < width && b + k < utf8_.size(); ++k) position_of_byte_[b + k] = i;
            b += width;
            i += width == 4 ? 2 : 1;
        }
        for (; b <= utf8_.size(); ++b) position_of_byte_[b] = i;
    }
    problems_ = CheckTemplate(utf8_);
    std::vector<TTemplateHighlighter::Styled> styled;
    for (const SyntaxSpan& s : HighlightTemplate(utf8_)) {
        const Range r = DocumentRange(s.offset, s.length);
        styled.push_back({r.first, r.last, s.kind});
    }
    std::vector<Range> marked;
    for (const SyntaxProblem& p : problems_) marked.push_back(DocumentRange(p.offset, p.length));
    highlighter_->SetRanges(std::move(styled), std::move(marked));
    analysing_ = false;
    emit TemplateChanged();
}

QString TTemplateEditor::ProblemTextAt(int position) const {
    QStringList messages;
    for (const SyntaxProblem& p : problems_) {
        const Range r = DocumentRange(p.offset, p.length);
        if (position >= r.first && position <= r.last) messages << QString::fromStdString(p.message);
    }
    return messages.join('\n');
}

bool TTemplateEditor::CompletionVisible() const {
    return completer_->popup()->isVisible();
}

QStringList TTemplateEditor::CompletionWords() const {
    QStringList words;
    for (int r = 0; r < model_->rowCount(); ++r) words << model_->item(r, 0)->text();
    return words;
}

void TTemplateEditor::OpenCompletion() {
    UpdateCompletion(true);
}

void TTemplateEditor::HideCompletion() {
    if (completer_->popup()->isVisible()) completer_->popup()->hide();
}

void TTemplateEditor::UpdateCompletion(bool forced) {
    const QString text = Template();
    const std::string u8 = text.toUtf8().toStdString();
    const CompletionContext c = CompletionAt(u8, Utf8OffsetOf(text, textCursor().position()));
    // Typing opens and keeps the list only over a word begun with a letter: "{{line|" then shows
    // no list left over from the name.
    const bool typed_word = !c.prefix.empty() && QChar(QLatin1Char(c.prefix[0])).isLetter();
    if (c.place == CompletionPlace::None || (!forced && !typed_word)) {
        HideCompletion();
        return;
    }
    const std::vector<CompletionItem> items = CompletionsFor(c);
    if (items.empty()) {
        HideCompletion();
        return;
    }
    completion_ = c;
    model_->removeRows(0, model_->rowCount());
    int first_insertable = -1;
    for (const CompletionItem& item : items) {
        auto* word = new QStandardItem(QString::fromStdString(item.word));
        auto* description = new QStandardItem(QString::fromStdString(item.description));
        word->setData(item.insertable, kInsertableRole);
        word->setToolTip(description->text());
        description->setToolTip(description->text());
        if (!item.insertable) {
            word->setForeground(QColor("#8c8c8c"));
            QFont f = font();
            f.setItalic(true);
            word->setFont(f);
        } else if (first_insertable < 0) {
            first_insertable = model_->rowCount();
        }
        model_->appendRow({word, description});
    }
    completer_->setCompletionPrefix(QString());
    QRect rect = cursorRect();
    rect.setWidth(kPopupWidth);
    completer_->complete(rect);
    auto* view = static_cast<QTreeView*>(completer_->popup());
    view->setColumnWidth(0, kPopupWordColumn);
    view->setCurrentIndex(view->model()->index(std::max(first_insertable, 0), 0));
}

void TTemplateEditor::AcceptCompletion(const QModelIndex& index) {
    HideCompletion();
    if (!index.isValid()) return;
    const QModelIndex word = index.sibling(index.row(), 0);
    if (!word.data(kInsertableRole).toBool()) return;
    const QString text = Template();
    QTextCursor tc = textCursor();
    const int cursor = tc.position();
    const int start = Utf16PositionOf(text, completion_.start);
    if (start > cursor) return;
    tc.setPosition(start);
    tc.setPosition(cursor, QTextCursor::KeepAnchor);
    tc.insertText(word.data().toString());
    setTextCursor(tc);
}

bool TTemplateEditor::event(QEvent* event) {
    // While the list is open its keys must not reach the window's shortcuts (Esc closes the window).
    if (event->type() == QEvent::ShortcutOverride && CompletionVisible()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab) {
            event->accept();
            return true;
        }
    }
    return QPlainTextEdit::event(event);
}

bool TTemplateEditor::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = ProblemTextAt(cursorForPosition(help->pos()).position());
        if (tip.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), tip, viewport());
        }
        return true;
    }
    return QPlainTextEdit::viewportEvent(event);
}

void TTemplateEditor::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (CompletionVisible()) {
        switch (key) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Tab:
                AcceptCompletion(completer_->popup()->currentIndex());
                event->accept();
                return;
            case Qt::Key_Escape:
                HideCompletion();
                event->accept();
                return;
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_PageUp:
            case Qt::Key_PageDown: {
                // Keys sent to the editor itself (the list's own keys go to it directly).
                QAbstractItemView* view = completer_->popup();
                const int rows = view->model()->rowCount();
                const int step = key == Qt::Key_Up       ? -1
                                 : key == Qt::Key_Down   ? 1
                                 : key == Qt::Key_PageUp ? -10
                                                         : 10;
                const int row = std::clamp(view->currentIndex().row() + step, 0, std::max(rows - 1, 0));
                view->setCurrentIndex(view->model()->index(row, 0));
                event->accept();
                return;
            }
            default:
                break;
        }
    }
    if (key == Qt::Key_Space && (event->modifiers() & Qt::ControlModifier)) {
        OpenCompletion();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
    const QString typed = event->text();
    if (CompletionVisible() || (!typed.isEmpty() && (typed[0].isLetterOrNumber() || typed[0] == '_')))
        UpdateCompletion(false);
}

}  // namespace rowsmith::gui
