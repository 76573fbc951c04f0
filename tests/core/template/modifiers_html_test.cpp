#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "support/temp_dir.h"
#include "support/template_cases.h"
#include "template/context.h"
#include "template/evaluator.h"
#include "template/registry.h"
#include "text/utf8.h"

namespace rowsmith::tmpl {
namespace {

using Case = testing::TemplateCase;

class HtmlModifiers : public ::testing::Test {
  protected:
    HtmlModifiers() {
        c().RootFolder = dir_.path() + "/";
        c().PictureNumber = 42;
    }
    TemplateContext& c() { return record_.Context; }
    std::string Run(std::string_view tmpl, std::string_view line = "") {
        SetVariable(c(), "line", line);
        return ExpandTemplate(tmpl, c(), 1);
    }
    void Check(const std::vector<Case>& cases) {
        testing::CheckTemplateCases([&](const std::string& t, const std::string& l) { return Run(t, l); }, cases);
    }
    void Write(std::string_view name) { testing::WriteFile(dir_ / name, "x"); }

    testing::TempDir dir_;
    TemplateRecordT record_;
};

TEST_F(HtmlModifiers, LinkTexts) {
    Check({
        {"{{line|linktext:new}}", "<a href=\"x\">old</a> tail", "<a href=\"x\">new</a> tail"},
        {"{{line|linktext:new}}", "<A HREF=\"x\">old</A>", "<A HREF=\"x\">new</A>"},
        {"{{line|linktext:new}}", "<a href=\"x\">old", "<a href=\"x\">oldnew"},
        {"{{line|linktext:new}}", "<abbr>old</abbr>", "new"},  // not a link tag
        {"{{line|linktext:new}}", "plain", "new"},
        {"{{line|linktext:new,{{[donothing]}}}}|{{line|linktext:new,{{[skip]}}}}", "plain", "plain|plain"},
        {"{{line|linktext:new,{{[append]}}}}", "plain", "plainnew"},
        {"[{{line|linktext:new,{{[delete]}}}}]", "plain", "[]"},
        {"{{line|linktext:new,{{[makelink]}}}}", "x.htm", "<a href=\"x.htm\">new</a>"},
        {"{{line|linktext:new,{{[makelink2]}}}}", "x.htm", "<a href=\"new\">new</a>"},
        {"[{{|linktext:new,{{[makelinkifnotnil]}}}}]{{line|linktext:t,{{[makelinkifnotnil]}}}}", "v",
         "[]<a href=\"v\">t</a>"},
        {"[{{|linktext:new,{{[makelink2ifnotnil]}}}}]{{line|linktext:t,{{[makelink2ifnotnil]}}}}", "v",
         "[]<a href=\"t\">t</a>"},
        {"{{line|addhrefandlinktext:text}}|{{line|addhttpandlinktext}}|[{{|addhrefandlinktext:t}}]", "v",
         "<a href=\"v\">text</a>|<a href=\"v\">v</a>|[]"},
        {"{{line|addhrefandlink:http://x}}|{{|addhttpandlink:http://x}}|{{line|addhrefandlink}}", "v",
         "<a href=\"http://x\">v</a>|<a href=\"http://x\">Click here</a>|v"},
    });
}

TEST_F(HtmlModifiers, TagAttributes) {
    Check({
        {"{{line|tagoption:big}}", "<a href=\"x\">y</a>", "<a href=\"x\" class=\"big\">y</a>"},
        {"{{line|settagoption:big,class,a,{{[append]}}}}", "<a class=\"s\">y</a>",
         "<a class=\"big;s\">y</a>"},
        {"{{line|tagoption:big,class,a,{{[leave]}}}}", "<a class=\"s\">y</a>", "<a class=\"s\">y</a>"},
        {"{{line|tagoption:r,id,td,{{[onlyfirst]}}}}", "<td>1</td><td>2</td>",
         "<td id=\"r\">1</td><td>2</td>"},
        {"{{line|tagoption:r,id,td,{{[createtag]}}}}", "x", "<td id=\"r\">x"},
        {"{{line|gettagoption:,href}}", "<a class=\"s\" href=\"x\">y</a>", "x"},
        {"{{line|gettagoption}}|{{line|gettagoption:,src,img}}", "<a class=\"s\"><img src=\"p.gif\"></a>",
         "s|p.gif"},
        {"{{line|htmllegal}}", "_Hello World-1!", "-hello_world-1!"},
        {"{{line|htmlegal}}", "Ab.c", "ab_c"},
        {"{{|htmllegal}}", "", "_"},
        {"{{line|htmllegal}}", "\xe4x", "-x"},
        {"{{line|deletetag}}|{{line|deletehtmltags}}", "a<b>c</b>", "ac</b>|ac</b>"},
        {"{{line|deletetag}}", "<a title=\"<x>\">t", "t"},  // the matching ">"
        {"{{line|deletetag}}", "no tag", "no tag"},
    });
}

TEST_F(HtmlModifiers, SpacesAndLineBreaks) {
    Check({
        {"{{line|nbsp}}", "a b\tc", "a&nbsp;b&nbsp;c"},
        {"{{line|nbspbetweenwords}}", "ab cd", "ab&nbsp;cd"},
        {"{{line|nobr}}|{{line|nobreak}}|[{{|nobr}}]", "a b", "<nobr>a b</nobr>|<nobr>a b</nobr>|[]"},
        {"{{line|nbspnumber}}|{{line|nbspnumbers}}", "tel 12 34", "tel&nbsp;12&nbsp;34|tel&nbsp;12&nbsp;34"},
        {"{{line|htmlreturn:2}}|[{{|htmlreturn:2}}]", "x", "x<br><br>|[]"},
        {"{{line|htmreturn}}|{{line|prehtmlreturn:2}}|{{line|prehtmreturn}}", "x", "x<br>|<br><br>x|<br>x"},
        {"{{line|htmlreturn:-3}}|{{line|htmlreturn:x}}", "x", "x|x"},
        {"[{{line|htmlreturn:2000000000}}]", "x", "[]"},  // beyond the size bound
        {"{{|nb}}|{{line|nb}}", "v", "<font size=\"1px\">&nbsp;</font>|v"},
    });
}

TEST_F(HtmlModifiers, BoxesAndButtons) {
    Check({
        {"{{line|box}}", "v",
         "<table border=\"0\" cellpadding=\"5\" cellspacing=\"0\" "
         "width=\"100%\"><tr><td>v</td></tr></table>"},
        {"{{line|box:0}}", "v",
         "<table border=\"0\" cellpadding=\"0\" cellspacing=\"0\" "
         "width=\"100%\"><tr><td>v</td></tr></table>"},
        {"{{line|colorbox:#ff0000}}", "v",
         "<table border=\"0\" cellpadding=\"0\" cellspacing=\"0\" width=\"1\" "
         "bgcolor=\"#ff0000\"><tr><td>v</td>"
         "</tr></table>"},
        {"{{line|asbutton:http://x}}", "Go",
         "<input type=\"button\" value=\"Go\" onclick=\"document.location='http://x'; return false;\">"},
    });
}

TEST_F(HtmlModifiers, ListsAsTables) {
    const std::string bar_start =
        "<td width=\"100%\"><table border=\"0\" cellpadding=\"0\" cellspacing=\"0\" width=\"";
    const std::string bar_end = "%\"><tr><td bgcolor=\"#a0a0a0\">&nbsp;</td></tr></table></td>";
    Check({
        {"{{line|percentbox}}", "apples:50",
         "<tr><td>apples</td>" + bar_start + "50" + bar_end + "<td align=\"right\">50</td></tr>"},
        {"{{line|percentbox:200}}|{{percentname}}|{{percentvalue}}|{{percentwidth}}", "a:b:50",
         "<tr><td>a:b</td>" + bar_start + "25" + bar_end + "<td align=\"right\">50</td></tr>|a:b|50|25"},
        {"{{line|percentbox:0}}", "a:5", "a:5"},  // no divisor
        {"{{line|percentbox}}{{percentwidth}}", "a:500",
         "<tr><td>a</td>" + bar_start + "100" + bar_end + "<td align=\"right\">500</td></tr>100"},
        {"{{line|splitaspercent}}", "a:5, b:10",
         "<tablE width=\"100%\"><tr><td>a</td>" + bar_start + "50" + bar_end +
             "<td align=\"right\">5</td></tr>" + "<tr><td>b</td>" + bar_start + "100" + bar_end +
             "<td align=\"right\">10</td></tr></table>"},
        {"{{line|split:;}}", "a;b",
         "<table border=\"0\" cellpadding=\"2\" cellspacing=\"0\"><tr><td "
         "valign=\"top\">&bull;</td><td>a</td></tr>"
         "<tr><td valign=\"top\">&bull;</td><td>b</td></tr></table>"},
        {"{{line|split:;,1of1,{{Item}}}}", "a;b",
         "<table border=\"0\" cellpadding=\"2\" cellspacing=\"0\">ab</table>"},
        {"{{line|split:;,2of2,[{{ItemNumber}}/{{ItemCount}}/"
         "{{ItemBlock}}{{itisthelastoutput|replaceifyes:!}}]}}",
         "a;b;c;d;e", "<table border=\"0\" cellpadding=\"2\" cellspacing=\"0\">[4/5/2][5/5/2!]</table>"},
        {"{{line|split:;,1of2,[{{Item}}{{itisthefirstitem|replaceifyes:<}}{{itisthelastoutput|replaceifyes:>}"
         "}]}}"
         "{{LastItem}}{{LastItemCount}}",
         "a;b;c", "<table border=\"0\" cellpadding=\"2\" cellspacing=\"0\">[a<][b>]</table>c3"},
        {"{{line|split:;,1of1,,dot.gif}}", "a",
         "<table border=\"0\" cellpadding=\"2\" cellspacing=\"0\"><tr><td valign=\"top\"><img "
         "src=\"dot.gif\" "
         "border=\"0\"></td><td>a</td></tr></table>"},
        {"[{{|split}}]", "", "[]"},
        {"{{line|splitaslinktable:{{\";\"}},2}}", "http://a.org;b.org; c.org",
         "<table border=\"0\" cellpadding=\"2\" cellspacing=\"0\"><tr><td><a "
         "href=\"http://a.org\">a.org</a></td>"
         "<td><a href=\"http://c.org\">c.org</a></td></tr><tr><td><a "
         "href=\"http://b.org\">b.org</a></td><td></td>"
         "</tr></table>"},
        {"{{line|splitaslinktable:{{\";\"}},1,{{[nobr]}}}}", "a b",
         "<table border=\"0\" cellpadding=\"2\" cellspacing=\"0\"><tr><td><a href=\"http://a b\"><nobr>a "
         "b</nobr>"
         "</a></td></tr></table>"},
    });
    // Item variables changed inside a tag are reset after it.
    SetVariable(c(), "Item", "outer");
    EXPECT_EQ(Run("{{line|split:;,1of1,{{Item}}}}{{Item}}", "a;b"),
              "<table border=\"0\" cellpadding=\"2\" cellspacing=\"0\">ab</table>outer");
}

TEST_F(HtmlModifiers, DivideTextEqually) {
    const std::string open = "<table border=\"0\" cellpadding=\"0\" cellspacing=\"0\" width=\"100%\"><tr>";
    Check({
        {"{{line|dividetextequally}}", "one two three four five six",
         open +
             "<td valign=\"top\" width=\"50%\">one two three</td><td valign=\"top\" width=\"50%\">four five "
             "six</td></tr></table>"},
        {"{{line|dividetextequally:3}}", "aaa<br>bbb<br>ccc",
         open + "<td valign=\"top\" width=\"33%\">aaa<br></td><td valign=\"top\" width=\"33%\">bbb<br></td>"
                "<td valign=\"top\" width=\"33%\">ccc</td></tr></table>"},
        // Tags count for nothing and no cut falls inside a tag or a <nobr> span.
        {"{{line|dividetextequally}}", "<b class=\"x y\">aa</b> <nobr>b b b b</nobr> cc dd",
         open + "<td valign=\"top\" width=\"50%\"><b class=\"x y\">aa</b> <nobr>b b b b</nobr></td>"
                "<td valign=\"top\" width=\"50%\">cc dd</td></tr></table>"},
        {"{{line|dividetextequally:4}}", "word",
         open + "<td valign=\"top\" width=\"100%\">word</td></tr></table>"},
        {"{{line|dividetextequally:0}}", "a b", "a b"},
    });
}

// Widths and per-character rewrites of UTF-8 values: characters in the Utf8 model, bytes in the bytes
// model (the last column). Byte 160 is a blank; in UTF-8 it ends "à" and the no-break space U+00A0.
TEST_F(HtmlModifiers, CharactersOfTheModel) {
    struct ModelCase {
        std::string tmpl, line, utf8, bytes;
    };
    const std::string open = "<table border=\"0\" cellpadding=\"0\" cellspacing=\"0\" width=\"100%\"><tr>";
    const std::string cell = "<td valign=\"top\" width=\"50%\">";
    const std::vector<ModelCase> cases = {
        {"{{line|htmllegal}}", "Köln", "k_ln", "k__ln"},
        {"{{line|nbsp}}", "à\u00A0b", "à&nbsp;b", "\xC3&nbsp;\xC2&nbsp;b"},
        {"{{line|nbspbetweenwords}}", "à b", "à&nbsp;b", "\xC3&nbsp;&nbsp;b"},
        {"{{line|linktext:ä}}", "ü<a href=\"x\">ö</a> ü", "ü<a href=\"x\">ä</a> ü", "ü<a href=\"x\">ä</a> ü"},
        // Four characters but eight bytes before the first space: the halves fall differently.
        {"{{line|dividetextequally}}", "éééé a b c d",
         open + cell + "éééé a</td>" + cell + "b c d</td></tr></table>",
         open + cell + "éééé</td>" + cell + "a b c d</td></tr></table>"},
    };
    for (const ModelCase& k : cases) {
        EXPECT_EQ(Run(k.tmpl, k.line), k.utf8) << k.tmpl << "  line: " << k.line;
        text::CharModelScope bytes(text::CharModel::Bytes);
        EXPECT_EQ(Run(k.tmpl, k.line), k.bytes) << "bytes: " << k.tmpl << "  line: " << k.line;
    }
}

TEST_F(HtmlModifiers, TableBorderUsesExistingPictures) {
    Write("b_top_left.gif");
    Write("b_top.png");
    Write("b_bottom_right.jpg");
    const std::string open =
        "<table border=\"0\" cellpadding=\"0\" cellspacing=\"0\"><tr><td><img src=\"b_top_left.gif\" "
        "border=\"0\">"
        "</td><td background=\"b_top.png\"></td><td></td></tr><tr><td></td><td>";
    const std::string close =
        "</td><td></td></tr><tr><td></td><td></td><td><img src=\"b_bottom_right.jpg\" "
        "border=\"0\"></td></tr></table>";
    Check({
        {"{{line|tableborder:b}}", "X", open + "X" + close},
        {"{{line|tableborderstart:b}}", "X", open + "X"},
        {"{{line|tableborderend:b}}", "X", "X" + close},
        {"{{line|tableborder}}", "X", "X"},
    });
}

TEST_F(HtmlModifiers, Colours) {
    Check({
        {"{{line|lighter}}|{{line|brighter}}|{{line|darker}}", "#808080", "#8F8F8F|#8F8F8F|#707070"},
        {"{{line|darker:2}}|{{line|lighter:-2}}", "#808080", "#606060|#606060"},
        {"{{line|saturation:50}}|{{line|saturation}}", "#FF0000", "#BF4040|#FF0000"},
        {"{{line|hue:4}}|{{line|hue}}", "#FF0000", "#7EFF00|#FF0000"},
        {"[{{|lighter}}]", "", "[]"},
        // NumberInThisFile is 1: odd, so the row colour stays.
        {"{{line|togglerowcolor}}", "#808080", "#808080"},
    });
    c().NumberInThisFile = 2;
    Check({
        {"{{line|togglerowcolor}}|{{line|togglerowcolor:-2}}|{{line|togglerowcolor:red}}", "#808080",
         "#8F8F8F|#9F9F9F|red"},
    });
    // The toggle counter advances with every use; only even counts change the colour.
    Check({
        {"{{line|togglecolor}}|{{line|togglecolor}}|{{line|togglecolor:blue}}|{{line|togglecolor:blue}}",
         "#808080", "#8F8F8F|#808080|blue|#808080"},
    });
    EXPECT_EQ(c().ToggleCounter, 4);
}

TEST_F(HtmlModifiers, MouseOverAttributes) {
    Write("btn.gif");
    Write("btn_onmouseover.gif");
    Write("btn_onmouseup.png");
    Check({
        {"{{line|ttbc}}", "<td bgColor=\"#808080\">x</td>",
         "<td bgColor=\"#808080\" onmouseover=\"this.bgColor='#979797'\" "
         "onmouseout=\"this.bgColor='#808080'\">x</td>"},
        {"{{line|toggletagbackgroundcolor:bgcolor,tr}}", "<tr bgcolor=\"#ff0000\"><td>x</td></tr>",
         "<tr bgcolor=\"#ff0000\" onmouseover=\"this.bgcolor='#FF2F2F'\" "
         "onmouseout=\"this.bgcolor='#ff0000'\">"
         "<td>x</td></tr>"},
        {"{{line|ttbc}}", "<td>x</td>", "<td>x</td>"},
        {"{{line|overlib:It's \"so\"}}", "<a href=\"x\">y</a>",
         "<a href=\"x\" onmouseover=\"overlib('It\\'s &quot;so&quot;', FGCOLOR, '#FaFaFa', BGCOLOR, "
         "'#a0a0a0')\" "
         "onmouseout=\"nd()\">y</a>"},
        {"{{line|magicbox:t,{{\", WIDTH, 50\"}}}}", "<b>y</b>",
         "<b onmouseover=\"overlib('t', WIDTH, 50)\" onmouseout=\"nd()\">y</b>"},
        {"{{line|floatingbox:t}}", "plain",
         "<span onmouseover=\"overlib('t', FGCOLOR, '#FaFaFa', BGCOLOR, '#a0a0a0')\" "
         "onmouseout=\"nd()\">plain</span>"},
        {"[{{line|overlib}}]", "<a>y</a>", "[]"},
        {"{{line|omotext:it's}}", "<a href=\"x\">y</a>",
         "<a href=\"x\" onmouseover=\"window.status='it\\'s'; return true;\" onmouseout=\"window.status=''; "
         "return "
         "true;\">y</a>"},
        {"{{line|onmouseovertext:hi}}", "word",
         "<span onmouseover=\"window.status='hi'; return true;\" onmouseout=\"window.status=''; return "
         "true;\">"
         "word</span>"},
        {"{{line|omo:btn}}", "btn.gif",
         "<img src=\"btn.gif\" border=\"0\" name=\"pic00042_btn\" "
         "onmouseover=\"this.src='btn_onmouseover.gif'\" "
         "onmouseout=\"this.src='btn.gif'\" onmouseup=\"this.src='btn_onmouseup.png'\">"},
        {"{{line|piconmouseover:none}}", "<img src=\"n.gif\">", "<img src=\"n.gif\" name=\"pic00042_none\">"},
        {"{{line|fade}}", "p.gif",
         "<img src=\"p.gif\" border=\"0\" style=\"filter:alpha(opacity=40)\" "
         "onmouseover=\"pWidgets(this,100,60,15)\" "
         "onmouseout=\"pWidgets(this,40,60,15)\">"},
        {"{{line|omofade:20,5}}", "<img src=\"p.gif\">",
         "<img src=\"p.gif\" style=\"filter:alpha(opacity=20)\" onmouseover=\"pWidgets(this,100,60,5)\" "
         "onmouseout=\"pWidgets(this,20,60,5)\">"},
    });
}

TEST_F(HtmlModifiers, HiddenLinks) {
    const std::string handlers_for = "\" onmouseout=\"window.status=''; return true;\">y</a>";
    auto hidden = [&](std::string_view href, std::string_view status) {
        return "<a href=\"" + std::string(href) + "\" onmouseover=\"window.status='" + std::string(status) +
               "'; return true;" + handlers_for;
    };
    Check({
        {"{{line|hidelink}}", "<a href=\"http://www.other.com/a/b\">y</a>",
         hidden("http://www.other.com/a/b", "http://www.other.com")},
        {"{{line|hideurl:shown}}|{{line|cloaklink:{{line}},lit{{x}}}}", "<a href=\"p.htm\">y</a>",
         hidden("p.htm", "shown") + "|" + hidden("p.htm", "lit{{x}}")},
        {"{{line|cloakurl}}", "<a href=\"p.htm\">y</a>", hidden("p.htm", "http://example.org")},
        {"{{line|cloak}}", "no link", "no link"},
        {"{{line|cloak:{{[externalurlonly]}}}}", "<a href=\"p.htm\">y</a>", "<a href=\"p.htm\">y</a>"},
        {"{{line|cloak:{{[externalurlsonly]}}}}", "<a href=\"http://other.com/\">y</a>",
         hidden("http://other.com/", "http://other.com")},
    });
    SetVariable(c(), "localdomains", "example.org, other.com");
    Check({
        {"{{line|cloak:{{[externalurlonly]}}}}", "<a href=\"http://www.other.com/\">y</a>",
         "<a href=\"http://www.other.com/\">y</a>"},
        {"{{line|cloak:{{[externalurlonly]}}}}", "<a href=\"http://notother.com/\">y</a>",
         hidden("http://notother.com/", "http://notother.com")},
    });
}

TEST_F(HtmlModifiers, PageNavigation) {
    Check({
        {"{{line|next}}", "3 of 5",
         "<a href=\"page2.htm\">Previous</a> <a href=\"page1.htm\">1</a> <a href=\"page2.htm\">2</a> "
         "<b>3</b> "
         "<a href=\"page4.htm\">4</a> <a href=\"page5.htm\">5</a> <a href=\"page4.htm\">Next</a>"},
        {"{{line|next:fFN}}", "1/2", "<a href=\"page1.htm\">First</a> <a href=\"page2.htm\">Next</a>"},
        {"{{line|next:pn,p{{pagenumber}}.html,{{\" | \"}}}}", "12 of 30",
         "<a href=\"p10.html\">&laquo;</a> | <a href=\"p21.html\">&raquo;</a>"},
        {"[{{line|next:NP}}]", "1", "[]"},
        {"{{line|next}}", "not a page", "not a page"},
    });
}

TEST(HtmlModifierRegistry, OverlappingWordsFindTheirOwnRows) {
    const ModifierRegistry& r = StandardModifiers();
    const struct {
        const char* word;
        const char* row;
    } overlaps[] = {
        {"tagoption", "tagoption"},
        {"settagoption", "settagoption"},
        {"gettagoption", "gettagoption"},
        {"deletetag", "deletetag"},  // "delete" is an exact word of cutting
        {"deletetags", "deletetag"},
        {"deletehtmltag", "deletehtmltag"},
        {"nbsp", "nbsp"},
        {"nbspbetweenwords", "nbspbetweenwords"},
        {"nbspnumbers", "nbspnumber"},
        {"nb", "nb"},
        {"split", "split"},
        {"splitaspercent", "splitaspercent"},
        {"splitaslinktable", "splitaslinktable"},
        {"tableborderend", "tableborder"},
        {"togglecolor", "togglecolor"},
        {"togglerowcolor", "togglerowcolor"},  // "toggle" is a condition word
        {"htmlreturn", "htmlreturn"},
        {"prehtmlreturn", "prehtmlreturn"},
    };
    for (const auto& o : overlaps) {
        const int32_t i = r.Find(o.word);
        ASSERT_GE(i, 0) << o.word;
        EXPECT_EQ(r.Row(i).Word, o.row) << o.word;
    }
}

}  // namespace
}  // namespace rowsmith::tmpl
