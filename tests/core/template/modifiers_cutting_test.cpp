#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/template_cases.h"
#include "template/context.h"
#include "template/evaluator.h"
#include "template/registry.h"
#include "text/chars.h"
#include "text/replace.h"
#include "text/utf8.h"

namespace rowsmith::tmpl {
namespace {

using Case = testing::TemplateCase;

// Every row runs against a fresh context with the standard modifiers.
class CuttingModifiers : public testing::FreshTemplateTest {};

TEST_F(CuttingModifiers, AroundTheValue) {
    Check({
        {"{{line|append:x,y}}", "ab", "abx,y"},
        {"{{line|a:{{line}}}}", "ab", "abab"},
        {"{{|append:q,r|caseupper}}", "", "Q,R"},
        {"{{line|prepend:x,y}}", "ab", "x,yab"},
        {"{{line|prepend:{{line|caseupper}}-}}", "ab", "AB-ab"},
        {"{{line|surround:[,]}}", "ab", "[ab]"},
        {"{{line|surround:<b>}}", "ab", "<b>ab"},
    });
}

TEST_F(CuttingModifiers, Insert) {
    Check({
        {"{{line|insert:X,3}}", "abcd", "abXcd"},
        {"{{line|insert:X,3}}", "a", "a X"},
        {"{{line|insert:X}}", "abcd", "Xabcd"},
        {"{{line|insert:X,0}}", "abcd", "abcdX"},
        {"{{line|insert:X,5}}", "abcd", "abcdX"},
        {"{{line|insert:XY,2,{{[overlay]}}}}", "abcd", "aXYd"},
        {"{{line|insert:xy,2,{{[overlay]}},{{[keepcase]}}}}", "aBcd", "aXyd"},
        {"{{line|insert:xy,2,{{[keepcase]}}}}", "aBcd", "axyBcd"},  // keepcase acts only with overlay
        {"{{line|insert:XYZ,3,{{[overlay]}}}}", "ab", "abXYZ"},
        {"{{line|insert:XYZ,2,{{[overlay]}}}}", "ab", "aXYZ"},
        {"{{line|insert:X,5,{{[overlay]}}}}", "ab", "ab  X"},
        // A negative position makes a block of that many characters in front.
        {"{{line|insert:XY,-4}}", "abc", "XY  abc"},
        {"{{line|insert:XYZ,-2}}", "ab", "XYZab"},
        {"{{line|insert:XYZ,-2,{{[overlay]}}}}", "abcd", "XYZbcd"},
        {"{{line|insert:XYZ,-2,{{[overlay]}},{{[keepcase]}}}}", "abcd", "XYzbcd"},
        {"{{line|insert:XYZ,-3,{{[overlay]}}}}", "a", "XYZa"},
        {"{{line|insert:X,2000000000}}", "ab", ""},
        {"{{line|insert:X,-2000000000}}", "ab", ""},
    });
}

TEST_F(CuttingModifiers, ReplaceAndDelete) {
    Check({
        {"{{line|replace:new}}", "old", "new"},
        {"{{line|replace}}", "old", ""},
        {"{{line|replace:A,b}}", "aAa", "bbb"},
        {"{{line|replace:x,\"\"}}", "axbX", "ab"},
        {"{{line|replace:x,}}", "axb", "x"},  // an empty second argument is absent
        {"{{line|replace:a,ab}}", "aa", "abab"},
        {"{{line|replace:aa,a}}", "aaaa", "a"},                    // repeated until no match is left
        {"{{line|replace:a,b,{{[casesensitive]}}}}", "aA", "bb"},  // always ignores case
        {"{{line|delete}}", "abc", ""},
        {"{{line|delete:2,2}}", "abcdef", "adef"},
        {"{{line|del:0,1}}", "abcdef", "abcde"},
        {"{{line|delete:0,5}}", "abcdef", "abcde"},
        {"{{line|delete:5,10}}", "abcdef", "abcd"},
        {"{{line|delete:9,2}}", "abcdef", "abcdef"},
        {"{{line|delete:2}}", "abcdef", "abcdef"},
        {"{{line|delete:-1,3}}", "abcdef", "bcdef"},
        {"{{line|delete:2,-3}}", "abcdef", "abcdef"},
    });
}

// A replacement that grows the text past the replace engine's own result bound is still done
// whole, in pieces, exactly as one pass over the whole text would do it (a long replacement makes
// the pieces short, so that short stretches of the value show where the cuts fall).
TEST_F(CuttingModifiers, ReplaceBeyondTheEngineBoundMatchesOnePass) {
    const std::string filler(1u << 20, '-');
    struct LongCase {
        std::string search, replacement, value;
    };
    const std::vector<LongCase> cases = {
        {"a", filler, "xaxAxa" + std::string(200, 'y') + "a"},
        // The replacement holds the search: one pass; matches sit across every likely cut.
        {"ab", "ab" + filler, std::string(61, 'x') + "aBab" + std::string(57, 'x') + "abab" + std::string(90, 'a') + "b"},
        {"abc", "[abc" + filler + "]", std::string(30, 'x') + "abcabcab" + std::string(50, 'c') + "abcx"},
    };
    for (LongCase k : cases) {
        SCOPED_TRACE(k.search);
        for (int i = 0; i < 70; ++i) k.value += k.search;  // enough to pass 64 MiB
        std::string expected;
        for (std::size_t i = 0; i < k.value.size();) {
            if (text::EqualsIgnoreCase(std::string_view(k.value).substr(i, k.search.size()), k.search)) {
                expected += k.replacement;
                i += k.search.size();
            } else {
                expected += k.value[i++];
            }
        }
        ASSERT_GT(expected.size(), text::kMaxReplaceResult);
        tmpl::TemplateRecordT record;
        record.Context.MaxTextSize = 512u << 20;
        tmpl::SetVariable(record.Context, "line", k.value);
        tmpl::SetVariable(record.Context, "s", k.search);
        tmpl::SetVariable(record.Context, "r", k.replacement);
        const std::string got = tmpl::ExpandTemplate("{{line|replace:{{s}},{{r}}}}", record.Context, 1);
        EXPECT_TRUE(got == expected) << got.size() << " bytes, expected " << expected.size();
        EXPECT_EQ(tmpl::TakeBoundReason(record.Context), "");
    }
}

TEST_F(CuttingModifiers, CutPartsAndCharacterIntervals) {
    Check({
        {"{{uncutline|cut}}", "a<cut>b<cut/>c", "a"},
        {"{{uncutline|cut:2}}", "a<cut>b<cut/>c", "b"},
        {"{{uncutline|cut:2-3}}", "a<cut>b<cut/>c", "b<cut/>c"},
        {"{{uncutline|cut:3-1}}", "a<cut>b<CUT>c", "c<cut/>b<cut/>a"},
        {"{{uncutline|cut:-1}}", "a<cut>b<cut/>c", "c"},
        {"{{uncutline|cut:9}}", "a<cut>b", ""},
        {"{{originalline|cut:2}}", "x{{|:a<cut>b}}<cut>y", "y"},  // markers inside tags do not cut
        {"{{line|2-3}}", "hello", "el"},
        {"{{line|9}}", "hello", ""},
        {"{{line|-1}}", "hello", "o"},
        {"{{line|4-2}}", "hello", "lle"},
    });
}

// Positions, counts, lengths and widths of UTF-8 values: characters in the Utf8 model, bytes in the
// bytes model (the last column).
TEST_F(CuttingModifiers, PositionsAndLengthsCountCharactersOfTheModel) {
    struct ModelCase {
        std::string tmpl, line, utf8, bytes;
    };
    const std::vector<ModelCase> cases = {
        {"{{line|1-3}}", "Grüße aus Köln", "Grü", "Gr\xC3"},
        {"{{line|-1}}", "Grüße aus Köln", "n", "n"},
        {"{{line|4-2}}", "Grüße aus Köln", "ßür", "\xBC\xC3r"},
        {"{{line|insert:X,3}}", "äöü", "äöXü", "äXöü"},
        {"{{line|insert:X,5}}", "äö", "äö  X", "äöX"},
        {"{{line|insert:€,2,{{[overlay]}}}}", "äöü", "ä€ü", "\xC3€ü"},
        {"{{line|insert:xy,2,{{[overlay]}},{{[keepcase]}}}}", "äBcd", "äXyd", "\xC3xYcd"},
        {"{{line|insert:é,-3}}", "ab", "é  ab", "é ab"},
        {"{{line|insert:éé,-1,{{[overlay]}}}}", "abc", "éébc", "éé"},
        {"{{line|delete:2,2}}", "äöüß", "äß", "öüß"},
        {"{{line|del:0,1}}", "añ", "a", "a\xC3"},
        {"{{line|notlongerthan:5}}", "Grüße aus Köln", "Grü..", "Gr\xC3.."},
        {"{{line|notlongerthan:4,…}}", "abcdef", "abc…", "a…"},
        {"{{line|getnumber:2}}", "é12€34x", "34", "34"},
        {"{{line|leading:6}}", "é", "     é", "    é"},
        {"{{line|leading:5,·,both}}", "ab", "·ab··", "\xC2" "ab·"},
        {"{{line|pos:L}}", "Grüße aus Köln", "13", "16"},
        {"{{line|pos:öln}}", "Grüße aus Köln", "12", "14"},
    };
    for (const ModelCase& k : cases) {
        EXPECT_EQ(Run(k.tmpl, k.line), k.utf8) << k.tmpl << "  line: " << k.line;
        text::CharModelScope bytes(text::CharModel::Bytes);
        EXPECT_EQ(Run(k.tmpl, k.line), k.bytes) << "bytes: " << k.tmpl << "  line: " << k.line;
    }
}

TEST_F(CuttingModifiers, CopyingFromUntilAndBetween) {
    Check({
        {"{{line|copyfrom:cd}}", "abcdef", "cdef"},
        {"{{line|copyfrom:cd,{{[exclude]}}}}", "abcdef", "ef"},
        {"{{line|copyfrom:zz}}", "abcdef", ""},
        {"{{line|copyfrom:zz,{{[leave]}}}}", "abcdef", "abcdef"},
        {"{{line|copyfrom:-,2}}", "a-b-c", "-c"},
        {"{{line|copyfrom:-,0}}", "a-b-c", "-c"},
        {"{{line|copyfrom:cd}}", "abCD", "CD"},
        {"{{line|copyfrom:cd,{{[casesensitive]}}}}", "abCD", ""},
        {"{{line|copyuntil:cd}}", "abcdef", "abcd"},
        {"{{line|copyuntil:cd,{{[exclude]}}}}", "abcdef", "ab"},
        {"{{line|copyuntil:-,2}}", "a-b-c", "a-b-"},
        {"{{line|copyuntil:-,-1,{{[exclude]}}}}", "a-b-c", "a-b"},
        {"{{line|copyuntil:zz,{{[leave]}}}}", "abc", "abc"},
        {"{{line|copyuntil:,}}", "a,b", ""},  // an empty search is never found
        {"{{line|deletefrom:cd}}", "abcdef", "ab"},
        {"{{line|deletefrom:zz}}", "abcdef", "abcdef"},
        {"{{line|deletefrom:-,2}}", "a-b-c", "a-b"},
        {"{{line|deletefrom:CD,{{[casesensitive]}}}}", "abcdef", "abcdef"},
        {"{{line|copybetween:<a>,</a>}}", "x<a>y</a>z", "<a>y</a>"},
        {"{{line|copybetween:<a>,</a>,{{[exclude]}}}}", "x<A>y</a>z", "y"},
        {"{{line|copybetween:<a>,</a>}}", "x<a>y", ""},
    });
}

TEST_F(CuttingModifiers, DeletingBetweenAtTheStartAndAtTheEnd) {
    Check({
        {"{{line|deletebetween}}", "file (copy).txt", "file.txt"},
        {"{{line|deletebetween}}", "a (b (c)) d", "a d"},
        {"{{line|deletebetween}}", "a(b)c", "a(b)c"},
        {"{{line|deletebetween:[,]}}", "x[1]y[2]", "xy"},
        {"{{line|delbetween:(,)}}", "a(b(c)d)e(f", "ae(f"},
        {"{{line|deletebetween:[,],{{[exclude]}}}}", "x[1]y[22]", "x[]y[]"},
        {"{{line|deletebetween:(,),{{[exclude]}}}}", "a(b(c)d)e", "a()e"},
        {"{{line|deletebetween:#,-zq-}}", "a#b#c#d", "ac#d"},
        {"{{line|deletebeginning:x}}", "xxab", "xab"},
        {"{{line|deletebeginning:x,{{[repeat]}}}}", "xxab", "ab"},
        {"{{line|deletestarting:x}}", "Xab", "ab"},
        {"{{line|deletebeginning:x,{{[casesensitive]}}}}", "Xab", "Xab"},
        {"{{line|deleteending:x,{{[repeat]}}}}", "abxxx", "ab"},
        {"{{line|deleteending:x}}", "abxxx", "abxx"},
        {"{{line|deletetrailing:X,{{[casesensitive]}},{{[repeat]}}}}", "abxX", "abx"},
        {"{{line|deleteending}}", "ab", "ab"},
    });
}

TEST_F(CuttingModifiers, LengthsNumbersAndPadding) {
    Check({
        {"{{line|notlongerthan:5}}", "abcdefgh", "abc.."},
        {"{{line|notlongerthan:5,~}}", "abcdefgh", "abcd~"},
        {"{{line|notlongerthan:5}}", "abc", "abc"},
        {"{{line|notlongerthan:1}}", "abc", "."},
        {"{{line|notlongerthan:0}}", "abc", ""},
        {"{{line|getnumber}}", "a12b345c6", "12"},
        {"{{line|getnumber:2}}", "a12b345c6", "345"},
        {"{{line|getnumber:4}}", "a12b345c6", ""},
        {"{{line|getnumber:0}}", "a12b345c6", "6"},
        {"{{line|getnumber}}", "none", ""},
        {"{{line|leading:5}}", "ab", "   ab"},
        {"{{line|leading:5,0}}", "ab", "000ab"},
        {"{{line|leading:5,xy,right}}", "ab", "abxyx"},
        {"{{line|leading:5,*,RIGHT}}", "ab", "ab***"},
        {"{{line|leading:6,*,both}}", "ab", "**ab**"},
        {"{{line|leading:5,*,leftandright}}", "ab", "*ab**"},
        {"{{line|leading:5,*,middle}}", "ab", "***ab"},
        {"{{line|leading:1}}", "ab", "ab"},
        {"{{line|leading:-5}}", "ab", "ab"},
        {"{{line|leading:5,{{cr}}}}", "ab", "ab"},
        {"{{line|leading:2000000000}}", "ab", ""},
        {"{{line|pos:C}}", "abcABC", "3"},
        {"{{line|pos:C,{{[casesensitive]}}}}", "abcABC", "6"},
        {"{{line|pos:zz}}", "abc", "0"},
        {"{{line|position:b}}", "abc", "2"},
        {"[{{line|posexist:B}}]", "abc", "[ ]"},
        {"[{{line|posexist:B,{{[casesensitive]}}}}]", "abc", "[]"},
        {"[{{line|positionexist:zz}}]", "abc", "[]"},
        {"[{{line|posexists:c}}]", "abc", "[ ]"},
    });
}

TEST_F(CuttingModifiers, ListItems) {
    Check({
        {"{{line|item}}", "a|b|c|d", "a"},
        {"{{line|item:2-3}}", "a|b|c|d", "b|c"},
        {"{{line|item:3-2}}", "a|b|c|d", "c|b"},
        {"{{line|item:-1}}", "a|b|c|d", "d"},
        {"{{line|item:9}}", "a|b|c|d", ""},
        {"{{line|item:2,;}}", "a;b;c", "b"},
        {"{{line|item:1-3,;,,-}}", "a;b;c", "a-b-c"},
        {"{{line|item:2-3,;+/,+}}", "a;b/c", "b|c"},
        {"{{line|item:1-3}}", "a||c", "a|c"},  // empty items are left out of the join
        {"{{line|item:2,;}}",
         "a\x05"
         "b\x05"
         "c",
         "b"},  // byte 5 separates whatever argument 2 says
        {"{{line|item:2,x}}", "aXbxc", "b"},
        {"{{line|item:2,x,{{[casesensitive]}}}}", "aXbxc", "c"},
        {"{{line|numberofitems}}", "a|b|c", "3"},
        {"{{line|numberofitems}}", "", "0"},
        {"{{line|countitems:;}}", "a;b", "2"},
        {"{{line|numberofitems:;}}",
         "a\x05"
         "b\x05"
         "c;d",
         "3"},
        {"[{{line|itemexist:b}}]", "a|B|c", "[ ]"},
        {"[{{line|itemexist:b,{{[casesensitive]}}}}]", "a|B|c", "[]"},
        {"[{{line|itemexist:d}}]", "a|B|c", "[]"},
        {"[{{line|itemexist:}}]", "", "[]"},
        {"[{{line|itemexists:b,;}}]", "a;b", "[ ]"},
        {"[{{line|itemexist:a}}]", "ab|c", "[]"},
        {"{{line|deleteitem:a}}", "a|b|A|c", "b|c"},
        {"{{line|deleteitem:a,{{[casesensitive]}}}}", "a|b|A|c", "b|A|c"},
        {"{{line|deleteitems:a;c,;}}", "a;b;c;a", "b"},
        {"{{line|deleteitem}}", "a|b", "a|b"},
        {"{{line|deleteitem:a}}", "a", ""},
        {"{{line|nextsgn}}", "a|b|c", "a"},
        {"{{line|nextsgn:;,2}}", "a;b;c", "b"},
        {"{{line|nextsgn:;,0}}", "a;b;c", "c"},
        {"{{line|nextsgn:;,-1}}", "a;b;c", "c"},
        {"{{line|nextsgn:;,-3}}", "a;b;c", "a"},
        {"{{line|nextsgn:;,-4}}", "a;b;c", "a;b;c"},
        {"{{line|nextsgn:;,4}}", "a;b;c", ""},
        {"{{line|sort}}", "pear|apple|fig10|fig9", "apple|fig9|fig10|pear"},
        {"{{line|sort:+,/}}", "b/a/C", "a+b+C"},
        {"{{line|sorted:+,/;-,;}}", "b/a-c", "a+b+c"},
        {"{{line|sort:+,\"\"}}", "b a,c", "a+b+c"},  // no separators: every non-word character cuts
        {"{{line|sort}}",
         "b\x05"
         "a",
         "a\x05"
         "b"},
    });
}

// The plain names of one row and the words of other families that begin with them: each word must
// reach the row its family gives it.
TEST(CuttingAndCaseWords, OverlappingWordsReachTheirOwnRows) {
    const ModifierRegistry& r = StandardModifiers();
    struct Want {
        const char* word;
        const char* row;
    };
    for (const Want& w : std::initializer_list<Want>{
             {"pos", "pos"},
             {"position", "position"},
             {"posexist", "posexist"},
             {"posexists", "posexist"},
             {"positionexist", "positionexist"},
             {"item", "item"},
             {"items", "items"},
             {"itemexist", "itemexist"},
             {"itemexists", "itemexist"},
             {"delete", "delete"},
             {"deleteitem", "deleteitem"},
             {"deleteitems", "deleteitem"},
             {"deletebetween", "deletebetween"},
             {"replace", "replace"},
             {"replacespace", "replacespace"},
             {"replacespaces", "replacespace"},
             {"multiply", "multipl"},
             {"multiple", "multipl"},
             {"reversed", "reverse"},
             {"sorted", "sort"},
             {"leading", "leading"},
             {"insert", "insert"},
             {"surround", "surround"},
             {"prepend", "prepend"},
             {"a", "a"},
             {"2-4", "<digits and ->"},
         }) {
        const int32_t i = r.Find(w.word);
        ASSERT_GE(i, 0) << w.word;
        EXPECT_EQ(r.Row(i).Word, w.row) << w.word;
    }
    // Words of the condition and number families that begin with words of these two families.
    for (const char* word : {"replaceifnil", "replaceif", "insertifnil", "insertbeforeextension",
                             "surroundifnotnil", "prependifnil", "leadingzero", "leadingzeros", "lz", "-"}) {
        const int32_t i = r.Find(word);
        if (i < 0) continue;  // that family is not registered
        EXPECT_NE(r.Row(i).Word, "replace") << word;
        EXPECT_NE(r.Row(i).Word, "insert") << word;
        EXPECT_NE(r.Row(i).Word, "surround") << word;
        EXPECT_NE(r.Row(i).Word, "prepend") << word;
        EXPECT_NE(r.Row(i).Word, "leading") << word;
        EXPECT_NE(r.Row(i).Handler, r.Row(r.Find("leading")).Handler) << word;
    }
}

TEST_F(CuttingModifiers, OverlappingWordsBehaveAsTheirFamilies) {
    const ModifierRegistry& r = StandardModifiers();
    if (r.Find("replaceifnil") >= 0)
        Check({
            {"{{line|replaceifnil:x}}", "", "x"},
            {"{{line|replaceifnil:x}}", "a", "a"},
            {"{{line|replace:x}}", "a", "x"},
        });
    if (r.Find("leadingzero") >= 0)
        Check({
            {"{{line|leadingzero:4}}", "42", "0042"},
            {"{{line|lz:4}}", "-42", "-042"},
            {"{{line|leading:4}}", "42", "  42"},
            {"{{line|leading:4}}", "-42", " -42"},
        });
    if (r.Find("-") >= 0) Check({{"{{line|-:1}}", "5", "4"}, {"{{line|-1}}", "543", "3"}});
}

}  // namespace
}  // namespace rowsmith::tmpl
