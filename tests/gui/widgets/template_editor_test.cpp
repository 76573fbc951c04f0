#include "gui/widgets/template_editor.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QHelpEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolTip>

namespace rowsmith::gui {
namespace {

struct Editor {
    TTemplateEditor editor;
    Editor() {
        editor.resize(600, 200);
        editor.show();
        editor.activateWindow();
        editor.setFocus();
        QApplication::processEvents();
    }
    ~Editor() { editor.Completer()->popup()->hide(); }
};

// The format the highlighter gave the character at a document position.
QTextCharFormat FormatAt(const TTemplateEditor& editor, int position) {
    const QTextBlock block = editor.document()->findBlock(position);
    const int local = position - block.position();
    for (const QTextLayout::FormatRange& r : block.layout()->formats())
        if (local >= r.start && local < r.start + r.length) return r.format;
    return {};
}

TEST(TemplateEditor, TypingAfterABarOpensTheListAndEnterTakesTheWord) {
    Editor e;
    QTest::keyClicks(&e.editor, "{{line|case");
    ASSERT_TRUE(e.editor.CompletionVisible());
    EXPECT_TRUE(e.editor.CompletionWords().contains("caseupper"));
    // Choose caseupper and take it with Enter: it replaces what was typed.
    const int row = static_cast<int>(e.editor.CompletionWords().indexOf("caseupper"));
    QAbstractItemView* view = e.editor.Completer()->popup();
    view->setCurrentIndex(view->model()->index(row, 0));
    QTest::keyClick(&e.editor, Qt::Key_Return);
    EXPECT_FALSE(e.editor.CompletionVisible());
    EXPECT_EQ(e.editor.Template(), "{{line|caseupper");
    // With the list closed Enter is a line break of the template.
    QTest::keyClick(&e.editor, Qt::Key_Return);
    EXPECT_EQ(e.editor.Template(), "{{line|caseupper\n");
}

TEST(TemplateEditor, ListOpensOnlyWhereAWordBelongs) {
    struct Case {
        const char* typed;
        bool open;
    } cases[] = {
        {"{{l", true},          // a name
        {"{{line|t", true},     // a modifier
        {"{{|i", true},         // a modifier of an empty name
        {"a|ca", false},        // outside tags
        {"{{line}} x", false},  // after the tag
        {"{{1", false},         // a raw literal's mark
    };
    for (const Case& c : cases) {
        Editor e;
        QTest::keyClicks(&e.editor, c.typed);
        EXPECT_EQ(e.editor.CompletionVisible(), c.open) << c.typed;
    }
}

TEST(TemplateEditor, CtrlSpaceEscAndTabWithTheList) {
    Editor e;
    QTest::keyClicks(&e.editor, "{{line|");
    EXPECT_FALSE(e.editor.CompletionVisible());  // a bar alone does not open it
    QTest::keyClick(&e.editor, Qt::Key_Space, Qt::ControlModifier);
    ASSERT_TRUE(e.editor.CompletionVisible());
    EXPECT_GT(e.editor.CompletionWords().size(), 200);
    QTest::keyClick(&e.editor, Qt::Key_Escape);
    EXPECT_FALSE(e.editor.CompletionVisible());
    EXPECT_EQ(e.editor.Template(), "{{line|");
    // The list narrows while typing, and Tab takes the first word.
    QTest::keyClicks(&e.editor, "tri");
    ASSERT_TRUE(e.editor.CompletionVisible());
    EXPECT_EQ(e.editor.CompletionWords().front(), "trim");
    QTest::keyClick(&e.editor, Qt::Key_Tab);
    EXPECT_EQ(e.editor.Template(), "{{line|trim");
    // A word nothing matches closes it.
    QTest::keyClicks(&e.editor, "|zzz");
    EXPECT_FALSE(e.editor.CompletionVisible())
        << e.editor.Template().toStdString() << " " << e.editor.CompletionWords().join(",").toStdString();
}

TEST(TemplateEditor, ProblemsAreUnderlinedAndExplained) {
    Editor e;
    QSignalSpy changed(&e.editor, &TTemplateEditor::TemplateChanged);
    e.editor.SetTemplate("äx {{line|nosuchword}}\n{{eol}}");
    EXPECT_EQ(changed.count(), 1);
    // "nosuchword" starts at position 10 (ä is one UTF-16 unit, two bytes).
    const QTextCharFormat bad = FormatAt(e.editor, 12);
    EXPECT_EQ(bad.underlineStyle(), QTextCharFormat::WaveUnderline);
    EXPECT_NE(FormatAt(e.editor, 5).underlineStyle(), QTextCharFormat::WaveUnderline);  // "line"
    // Colours reach the second line: the tag there is a name, not plain text.
    EXPECT_TRUE(FormatAt(e.editor, 25).foreground().color().isValid());
    EXPECT_NE(FormatAt(e.editor, 25).foreground().color(), FormatAt(e.editor, 12).foreground().color());
    EXPECT_EQ(e.editor.ProblemTextAt(12), "unknown modifier \"nosuchword\"");
    EXPECT_EQ(e.editor.ProblemTextAt(5), "");

    // The tooltip shows the message over the word.
    const QRect r = e.editor.cursorRect([&] {
        QTextCursor c(e.editor.document());
        c.setPosition(12);
        return c;
    }());
    const QPoint at = r.center();
    QHelpEvent help(QEvent::ToolTip, at, e.editor.viewport()->mapToGlobal(at));
    QApplication::sendEvent(e.editor.viewport(), &help);
    EXPECT_EQ(QToolTip::text(), "unknown modifier \"nosuchword\"");
    QToolTip::hideText();
}

TEST(TemplateEditor, TemplateKeepsLineBreaksAndNoBreakSpaces) {
    Editor e;
    const QString t = QString("{{line|replace:%1, }}\n{{eol}}").arg(QChar(0x00A0));
    e.editor.SetTemplate(t);
    EXPECT_EQ(e.editor.Template(), t);
    EXPECT_TRUE(e.editor.Problems().empty());
}

TEST(TemplateEditor, Utf16AndUtf8PositionsConvert) {
    // a (1 byte), ü (2), € (3), 😀 (4 bytes, a surrogate pair), b.
    const QString t = QString::fromUtf8("aü€😀b");
    struct Case {
        std::size_t byte;
        int position;
    } cases[] = {{0, 0}, {1, 1}, {3, 2}, {6, 3}, {10, 5}, {11, 6}};
    for (const Case& c : cases) {
        EXPECT_EQ(TTemplateEditor::Utf16PositionOf(t, c.byte), c.position) << c.byte;
        EXPECT_EQ(TTemplateEditor::Utf8OffsetOf(t, c.position), c.byte) << c.position;
    }
    EXPECT_EQ(TTemplateEditor::Utf16PositionOf(t, 2), 1);  // inside ü: its start
    EXPECT_EQ(TTemplateEditor::Utf8OffsetOf(t, 4), 6u);    // between the halves of 😀
    EXPECT_EQ(TTemplateEditor::Utf16PositionOf(t, 99), 6);
}

}  // namespace
}  // namespace rowsmith::gui
