#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "support/temp_dir.h"
#include "support/template_cases.h"
#include "template/context.h"
#include "template/evaluator.h"
#include "template/registry.h"

namespace rowsmith::tmpl {
namespace {

using Case = testing::TemplateCase;

// Every row runs against the same context, whose root and template folders are a temporary folder.
class PathModifiers : public ::testing::Test {
  protected:
    PathModifiers() {
        root_ = dir_.path() + "/";
        c().RootFolder = root_;
        c().TemplateFolder = root_;
    }
    TemplateContext& c() { return record_.Context; }
    std::string Run(std::string_view tmpl, std::string_view line = "") {
        SetVariable(c(), "line", line);
        return ExpandTemplate(tmpl, c(), 1);
    }
    void Check(const std::vector<Case>& cases) {
        testing::CheckTemplateCases([&](const std::string& t, const std::string& l) { return Run(t, l); }, cases);
    }
    void Write(std::string_view name, std::string_view bytes = "x") {
        testing::WriteFile(dir_ / name, bytes);
    }

    testing::TempDir dir_;
    std::string root_;
    TemplateRecordT record_;
};

TEST_F(PathModifiers, NameAndFolderPartsReadBothSeparators) {
    Check({
        {"{{line|onlyfilename}}", "/a/b.tar.gz", "b.tar.gz"},
        {"{{line|onlyfilename}}", "c:\\a\\b.txt", "b.txt"},
        {"{{line|onlyfilename}}", "/a/b/", "b"},  // a trailing separator is ignored
        {"{{line|onlyfilename}}", "plain", "plain"},
        {"{{line|filenamewithoutext}}", "c:\\a\\b.tar.gz", "b"},
        {"{{line|onlyfilenamename}}", "/a/archive.tar.gz", "archive"},
        {"{{line|filenamewithoutext}}", "/a/.profile", ""},
        {"{{line|onlypath}}", "/a/b.tar.gz", "/a"},
        {"{{line|onlypath}}", "c:\\a\\b.txt", "c:\\a"},
        {"{{line|onlypath}}", "/a/b/", "/a"},
        {"{{line|onlypath}}", "/b.txt", "/"},  // the root keeps its separator
        {"{{line|onlypath}}", "c:\\b.txt", "c:\\"},
        {"{{line|onlypath}}", "b.txt", ""},
        {"{{|onlyfilename}}{{|onlypath}}", "", ""},
    });
}

TEST_F(PathModifiers, SlashesAndTrailingSeparators) {
    Check({
        {"{{line|backslash2slash}}", "c:\\a\\b", "c:/a/b"},
        {"{{line|slash}}|{{line|slashes}}|{{line|backslashtoslashes}}", "a\\b/c", "a/b/c|a/b/c|a/b/c"},
        {"{{line|backslash}}|{{line|backslashes}}|{{line|slash2backslashes}}|{{line|slashtobackslash}}",
         "a\\b/c", "a\\b\\c|a\\b\\c|a\\b\\c|a\\b\\c"},
        {"{{line|notrailingslash}}|{{line|noendingslash}}", "/a/b/", "/a/b|/a/b"},
        {"{{line|notrailingslash}}", "c:\\a\\\\", "c:\\a\\"},  // only one
        {"{{line|withendingslash}}", "c:/a/", "c:/a\\"},
        {"{{line|withtrailingslash}}", "c:\\a", "c:\\a\\"},
        {"{{line|withendingslash}}", "/a/b", "/a/b/"},  // POSIX paths end with their own separator
        {"{{line|withtrailingslash}}", "/a/b/", "/a/b/"},
        {"{{|withendingslash}}", "", ""},
        {"{{line|legal}}", "a:b/c\\d*e", "a;b(c)d_e"},
        {"{{|legal}}", "", "_.dat"},
    });
}

TEST_F(PathModifiers, PathLevelAndShortening) {
    Check({
        {"{{line|pathlevel}}", "/a/b/c.txt", "3"},
        {"{{line|pathlevel}}", "c:\\a\\b\\c.txt", "3"},
        {"{{line|pathlevels}}", "http://host/a/b", "2"},
        {"{{line|pathlevel}}", "/a//b/", "2"},
        {"{{|pathlevel}}", "", "0"},
        {"{{line|pathnotlongerthan:20}}", "/home/user/projects/rowsmith/src/core/file.cpp",
         "/../core/file.cpp"},
        {"{{line|pathnotlongerthan:30}}", "/home/user/projects/rowsmith/src/core/file.cpp",
         "/home/../src/core/file.cpp"},
        {"{{line|pathnotlongerthan:25,...}}", "c:\\home\\user\\projects\\rowsmith\\src\\core\\file.cpp",
         "c:\\home\\...\\core\\file.cpp"},
        // Root and file name stay even when the result is still too long.
        {"{{line|pathnotlongerthan:5}}", "/home/user/projects/file.cpp", "/../file.cpp"},
        {"{{line|pathnotlongerthan:100}}", "/home/user/file.cpp", "/home/user/file.cpp"},
        {"{{line|pathnotlongerthan:x}}|{{line|pathnotlongerthan:-3}}|{{line|pathnotlongerthan}}",
         "/a/b/c/d.txt", "/a/b/c/d.txt|/a/b/c/d.txt|/a/b/c/d.txt"},
    });
}

TEST_F(PathModifiers, WebAddresses) {
    Check({
        {"{{line|addhttp}}", "example.org/x", "http://example.org/x"},
        {"{{line|addhttp}}", "ftp://h.example/y", "ftp://h.example/y"},
        {"{{line|addhttp}}", "ftp:\\\\h\\y", "ftp:\\\\h\\y"},  // "\" reads as "/"
        {"{{|addhttp}}", "", ""},
        {"{{line|nohttp}}", "ftp://h.example/y", "h.example/y"},
        {"{{line|nohttp}}", "c:\\\\share", "share"},
        {"{{line|nohttp}}", "example.org", "example.org"},
        {"{{line|addwww}}", "example.org/x", "www.example.org/x"},
        {"{{line|addwww}}", "WWW.example.org", "WWW.example.org"},
        {"{{line|addwww}}", "192.168.0.1/x", "192.168.0.1/x"},
        {"{{line|addwww}}", "a.b.c.d", "a.b.c.d"},
        {"{{line|addwww}}", "a.b.c", "www.a.b.c"},
        {"{{line|addwww}}", "http://example.org", "http://example.org"},
        {"{{line|addhttpwww}}", "example.org", "http://www.example.org"},
        {"{{line|nohttpwww}}", "http://www.example.org/a", "example.org/a"},
        {"{{line|onlydomain}}", "https://www.example.org:8080/a?b", "example.org"},
        {"{{line|onlydomain}}", "example.org/x", "example.org"},
        {"{{line|onlyroot}}", "http://h/a/b.htm", "http://h/a/"},
        {"{{line|onlyroot}}", "http://h/a/b/", "http://h/a/"},
        {"{{line|onlyroot}}", "http://h", "http://h"},
        {"{{line|addmailto}}", "me@example.org", "<a href=\"mailto:me@example.org\">me@example.org</a>"},
        {"{{line|addmailto:Mail me}}", "me@example.org", "<a href=\"mailto:me@example.org\">Mail me</a>"},
        {"{{line|addmailto}}|{{|:me@org.|addmailto}}|{{|:me@org|addmailto}}", "@example.org",
         "@example.org|me@org.|me@org"},
        {"{{line|shorturl}}", "www.Example.org/long/path",
         "<a href=\"http://www.Example.org/long/path\">example.org</a>"},
        {"{{line|shorl:HTTP://Other.Example/}}", "x.org", "<a href=\"http://x.org\">other.example</a>"},
    });
}

TEST_F(PathModifiers, RelativePathsAndAddresses) {
    c().DefaultWebAddress = "https://example.org/";
    Check({
        {"{{line|relroot}}", "docs/guide/page.htm", "../../"},
        {"{{line|relativeroot}}", root_ + "page.htm", ""},
        {"{{line|relroot}}", "https://example.org/a/b/c.htm", "../../"},
        {"{{|relroot}}", "", ""},
        {"{{line|absoluteurl}}", "docs/page.htm", "https://example.org/docs/page.htm"},
        {"{{line|absoluteurl}}", "http://other.org/x", "http://other.org/x"},
        {"{{line|absoluteurl}}", "/elsewhere/x.htm", "file:///elsewhere/x.htm"},
        {"{{line|relativetoroot}}", "https://example.org/a/b.htm", "https://example.org/a/b.htm"},
    });
    c().RootAddress = "https://site.example/base/";
    Check({
        {"{{line|absoluteurl}}", "docs/page.htm", "https://site.example/base/docs/page.htm"},
        {"{{line|relativetoroot}}", "https://site.example/base/a/b.htm", "a/b.htm"},
        {"{{line|relroot}}", "https://site.example/base/a/c.htm", "../"},
    });
    // An empty value takes the current file from the variables the run may define.
    SetVariable(c(), "ActualFileFullpath", root_ + "x/y/z.htm");
    Check({{"{{|relroot}}", "", "../../"}});
}

TEST_F(PathModifiers, FindsFilesInTheRootFolder) {
    Write("docs/index.htm");
    Write("docs/index.txt");
    Write("docs/readme");
    testing::WriteFile(dir_ / "sub/keep", "");
    Check({
        {"{{line|getext}}", "docs/index", "docs/index.htm"},
        {"{{line|getext:.txt}}", "docs/index", "docs/index.txt"},
        {"{{line|getext:{{\".gif|.txt\"}}}}", "docs/index", "docs/index.txt"},  // alternatives in turn
        {"{{line|getext:.gif}}", "docs/index", ""},
        {"{{line|getextension}}", "docs\\index", "docs/index.htm"},
        // "getextorname" begins with "getext" but has its own default pattern.
        {"{{line|getextorname}}", "docs/", "docs/index.htm"},
        {"{{line|getext}}", "docs/", ""},
        {"{{line|getextorname:read*}}", "docs/", "docs/readme"},
        {"{{line|getext}}", root_ + "docs/index", "docs/index.htm"},
    });
}

TEST_F(PathModifiers, GoodFileName) {
    Write("myfile.txt");
    Write("page.htm");
    Write("page_0002.htm");
    Check({
        {"{{line|goodfilename:.txt}}", "My File!", root_ + "myfile_0002.txt"},
        {"{{lastgoodfilename}}", "", root_ + "myfile_0002.txt"},
        {"{{line|goodfilename:.txt,{{[overwrite]}}}}", "My File!", root_ + "myfile.txt"},
        {"{{line|goodfilename}}", "Page", root_ + "page_0003.htm"},
        {"{{|goodfilename}}", "", root_ + "file.htm"},
        {"{{line|goodfilename:.txt,3}}", "Long Name", root_ + "lon.txt"},
        {"{{line|goodfilename:.TXT}}", "sub/Tab\tName", root_ + "sub/tabname.txt"},
        {"{{line|goodfilename:\"\"}}", "noext", root_ + "noext.htm"},
        {"{{line|goodfilename:.htm}}", "!!!", root_ + "file.htm"},
    });
}

TEST_F(PathModifiers, CheckExistAndTemplate) {
    Write("pic.gif");
    Write("part.txt", "[{{line|caseupper}}]");
    Check({
        {"{{line|checkexist}}", "pic.gif", "pic.gif"},
        {"{{lastexistingfile}}", "", root_ + "pic.gif"},
        {"{{line|checkexist}}", "nothere.gif", ""},
        {"{{line|checkexists}}", "<img src=\"pic.gif\" alt=\"\">", "<img src=\"pic.gif\" alt=\"\">"},
        {"{{line|checkexist}}", "<IMG SRC=\"other.gif\">", ""},
        {"{{line|template:part.txt}}", "ab", "ab[AB]"},
        {"{{line|template:none.txt}}|{{line|template}}", "ab", "ab|ab"},
    });
    c().TemplateFolder = root_ + "elsewhere/";
    Check({{"{{line|template:part.txt}}", "ab", "ab"}});
}

TEST_F(PathModifiers, ListFolderBuildsNestedLists) {
    Write("a_b.htm");
    Write("docs/x.htm");
    Write("docs/guide/index.htm");
    Write("_private/y.htm");
    const std::string folders = Run("{{|listfolder:2}}");
    EXPECT_EQ(
        folders,
        "\r\n<ul>\r\n<li><a href=\"docs\">docs</a></li>\r\n<ul>\r\n<li><a href=\"docs/guide\">guide</a></li>"
        "\r\n</ul>\r\n</ul>");
    // Files of a folder come before those of its subfolders; names beginning with "_" are hidden.
    EXPECT_EQ(Run("{{line|readfolderfiles:1}}", "docs"),
              "\r\n<ul>\r\n<li><a href=\"docs/x.htm\">x.htm</a></li>\r\n<ul>\r\n"
              "<li><a href=\"docs/guide/index.htm\">index.htm</a></li>\r\n</ul>\r\n</ul>");
    EXPECT_EQ(Run("{{|scanfolderfiles}}"), "\r\n<ul>\r\n<li><a href=\"a_b.htm\">a b.htm</a></li>\r\n</ul>");
    EXPECT_EQ(Run("{{|listfiles}}"), "");  // no word of this family: unchanged
    EXPECT_EQ(Run("{{|listfolderfiles:1,[{{PathLevel}}:{{PathItem}}],<,>}}"),
              "<[1:a_b.htm]<[2:_private/y.htm][2:docs/x.htm]>");
    EXPECT_EQ(Run("{{line|listfolder}}", "missing"), "");
}

TEST_F(PathModifiers, DirectoryUrl) {
    Check({
        {"{{line|directoryurl}}", "docs/guide/page.htm",
         "<a href=\"../../\">Home</a> > <a href=\"../\">Docs</a> > <b>Guide</b> > <i>Page</i>"},
        {"{{line|directoryurl}}", "docs/index.htm", "<a href=\"../\">Home</a> > <b>Docs</b> "},
        {"{{line|directoryurl}}", "page.htm", "<a href=\"./\">Home</a> > <i>Page</i>"},
        {"{{line|directoryurl:H,[{{directorylinktext}}],({{directorylinktext}}),\"\",/}}", "a/b/c.htm",
         "H /[a] /(b)"},
        {"{{|directoryurl}}", "", ""},
    });
}

// Words of this family that begin with another word of it, or with a word of an earlier family.
TEST(PathModifierRegistry, OverlappingWordsFindTheirOwnRows) {
    const ModifierRegistry& r = StandardModifiers();
    const struct {
        const char* word;
        const char* row;
    } overlaps[] = {
        {"getextorname", "getextorname"},
        {"getextornames", "getextorname"},
        {"getextension", "getext"},
        {"backslash", "backslash"},
        {"backslash2slashes", "backslash2slash"},
        {"slash", "slash"},
        {"slash2backslashes", "slash2backslash"},
        {"listfolderfiles", "listfolder"},
        {"withendingslashes", "withendingslash"},
        {"pathlevels", "pathlevel"},
        {"checkexists", "checkexist"},
        {"onlyfilenamename", "onlyfilenamename"},
        {"relativetoroot", "relativetoroot"},
        {"relativeroot", "relativeroot"},
        {"addhttpwww", "addhttpwww"},
        {"nohttpwww", "nohttpwww"},
    };
    for (const auto& o : overlaps) {
        const int32_t i = r.Find(o.word);
        ASSERT_GE(i, 0) << o.word;
        EXPECT_EQ(r.Row(i).Word, o.row) << o.word;
    }
}

TEST(PathModifierRegistry, EveryWordOfTheFamilyIsRegistered) {
    const char* words[] = {
        "onlyfilename",
        "onlyfilenamename",
        "filenamewithoutext",
        "onlypath",
        "getext",
        "getextorname",
        "goodfilename",
        "legal",
        "slash",
        "slashes",
        "backslash2slash",
        "backslashtoslash",
        "backslash",
        "backslashes",
        "slash2backslash",
        "slashtobackslash",
        "notrailingslash",
        "noendingslash",
        "withendingslash",
        "withtrailingslash",
        "pathnotlongerthan",
        "pathlevel",
        "relroot",
        "relativeroot",
        "relativetoroot",
        "absoluteurl",
        "checkexist",
        "template",
        "listfolder",
        "scanfolder",
        "readfolder",
        "directoryurl",
        "addhttp",
        "addwww",
        "addhttpwww",
        "nohttp",
        "nohttpwww",
        "onlyroot",
        "onlydomain",
        "addmailto",
        "shorturl",
        "shorl",
        "linktext",
        "addhrefandlinktext",
        "addhttpandlinktext",
        "addhrefandlink",
        "addhttpandlink",
        "tagoption",
        "settagoption",
        "gettagoption",
        "htmllegal",
        "htmlegal",
        "deletetag",
        "deletehtmltag",
        "nbsp",
        "nbspbetweenwords",
        "nobr",
        "nobreak",
        "nbspnumber",
        "htmlreturn",
        "htmreturn",
        "prehtmlreturn",
        "prehtmreturn",
        "nb",
        "box",
        "colorbox",
        "asbutton",
        "percentbox",
        "splitaspercent",
        "split",
        "splitaslinktable",
        "dividetextequally",
        "tableborder",
        "darker",
        "lighter",
        "brighter",
        "saturation",
        "hue",
        "togglerowcolor",
        "togglecolor",
        "toggletagbackgroundcolor",
        "ttbc",
        "overlib",
        "magicbox",
        "floatingbox",
        "hidelink",
        "hideurl",
        "cloaklink",
        "cloakurl",
        "cloak",
        "onmouseovertext",
        "omotext",
        "piconmouseover",
        "omo",
        "fade",
        "omofade",
        "next",
    };
    const ModifierRegistry& r = StandardModifiers();
    for (const char* w : words) {
        const int32_t i = r.Find(w);
        ASSERT_GE(i, 0) << w;
        EXPECT_EQ(r.Row(i).Word, w) << w;
        EXPECT_FALSE(r.Row(i).Description.empty()) << w;
    }
}

}  // namespace
}  // namespace rowsmith::tmpl
