#include "files/path_list.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace rowsmith::files {
namespace {

using testing::TempDir;
using testing::WriteFile;

TEST(SplitPathList, LinesDropOneCrAndEmptyEntriesNulKeepsEveryByte) {
    using V = std::vector<std::string>;
    struct Case {
        std::string text;
        bool nul;
        V paths;
    };
    const std::vector<Case> cases = {
        {"a\nb c\n", false, V{"a", "b c"}},
        {"a\r\nb", false, V{"a", "b"}},
        {"a\r", false, V{"a"}},
        {"a\r\r\n", false, V{"a\r"}},  // only one CR belongs to the line end
        {"\n\r\n\n", false, V{}},
        {" a \n", false, V{" a "}},  // blanks are a name's own
        {std::string("a\r\0b\nc\0\0", 9), true, V{"a\r", "b\nc"}},
        {std::string("a", 1), true, V{"a"}},
        {"", true, V{}},
    };
    for (const Case& c : cases) {
        V paths;
        std::string error;
        EXPECT_TRUE(SplitPathList(c.text, c.nul, paths, error)) << c.text;
        EXPECT_EQ(paths, c.paths) << c.text;
    }
    V paths;
    std::string error;
    EXPECT_FALSE(SplitPathList(std::string("a\nb\0c\n", 6), false, paths, error));
    EXPECT_EQ(error, "line 2 holds a NUL byte (a NUL-separated list needs --null)");
}

TEST(ListedPathPlacer, PlacesPathsBelowTheSourceAsTheScanSpellsThem) {
    TempDir dir;
    const std::string src = dir / "src";
    WriteFile(src + "/a.txt", "a");
    WriteFile(src + "/sub/b.txt", "b");
    WriteFile(dir / "src2/c.txt", "c");
    ASSERT_EQ(symlink((dir / "src2").c_str(), (src + "/sub/link").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (src + "/dangling.txt").c_str()), 0);
    struct Case {
        std::string path;
        ListedPathKind kind;
        std::string folder, name;  // Inside
    };
    // Refusals, missing files and paths from the folder above are in the command line's tests.
    const std::vector<Case> cases = {
        {"a.txt", ListedPathKind::Inside, src + "/", "a.txt"},
        {src + "/sub/../a.txt", ListedPathKind::Inside, src + "/", "a.txt"},
        {"sub", ListedPathKind::Inside, src + "/", "sub"},  // a folder row, as the scan makes
        {"dangling.txt", ListedPathKind::Inside, src + "/", "dangling.txt"},  // listed, as the scan lists it
        {"sub/link", ListedPathKind::Inside, src + "/sub/", "link"},          // the link itself is an item
        {"sub/link/c.txt", ListedPathKind::BehindLink, "", ""},
        {"sub/link/../b.txt", ListedPathKind::Inside, src + "/sub/", "b.txt"},  // lexical: sub/b.txt
        {"a.txt/b.txt", ListedPathKind::Missing, "", ""},
        {"", ListedPathKind::Outside, "", ""},
        {"sub/..", ListedPathKind::Outside, "", ""},
    };
    // Relative paths from the source (the current folder in "cd src && find .").
    ListedPathPlacer placer(src, src);
    for (const Case& c : cases) {
        const ListedPath p = placer.Place(c.path);
        EXPECT_EQ(p.Kind, c.kind) << c.path;
        if (c.kind == ListedPathKind::Inside) {
            EXPECT_EQ(p.Folder, c.folder) << c.path;
            EXPECT_EQ(p.Name, c.name) << c.path;
            EXPECT_EQ(p.Full, p.Folder + p.Name) << c.path;
        }
        if (c.kind == ListedPathKind::BehindLink) {
            EXPECT_EQ(p.Link, src + "/sub/link");
        }
    }
    // The root as source: every absolute path is below it.
    ListedPathPlacer root("/", "/");
    const ListedPath p = root.Place(src + "/../src/a.txt");
    EXPECT_EQ(p.Kind, ListedPathKind::Inside);
    EXPECT_EQ(p.Folder + p.Name, src + "/a.txt");
}

}  // namespace
}  // namespace rowsmith::files
