#include "files/paths.h"

#include <gtest/gtest.h>

#include "files/platform_fs.h"
#include "support/temp_dir.h"

namespace rowsmith::files {
namespace {

constexpr PathStyle W = PathStyle::Windows;
constexpr PathStyle P = PathStyle::Posix;

TEST(Paths, AbsoluteAndRoots) {
    struct Case {
        const char* path;
        PathStyle style;
        bool absolute;
        const char* root;
    } cases[] = {
        {"c:\\test", W, true, "c:\\"},
        {"C:/test/x", W, true, "C:/"},
        {"\\\\server\\share\\x", W, true, "\\\\server\\"},
        {"//server/share", W, true, "//server/"},
        {"http://host.example/a/b", W, false, "http://host.example/"},
        {"relative\\x", W, false, "relative\\"},
        {"name", W, false, "name"},
        {"c:", W, false, "c:"},
        {"/usr/lib", P, true, "/"},
        {"/", P, true, "/"},
        {"usr/lib", P, false, "usr/"},
        {"ftp://h.example/y", P, false, "ftp://h.example/"},
        {"c:\\x", P, false, "c:\\x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsAbsolute(c.path, c.style), c.absolute) << c.path;
        EXPECT_EQ(Root(c.path, c.style), c.root) << c.path;
    }
}

TEST(Paths, JoinUnifiesSeparators) {
    struct Case {
        const char* left;
        const char* right;
        const char* mode;
        PathStyle style;
        const char* expected;
    } cases[] = {
        {"c:\\a", "b", "-zq-", W, "c:\\a\\b"},
        {"c:\\a\\", "\\b", "-zq-", W, "c:\\a\\b"},
        {"c:\\a\\", "b", "-zq-", W, "c:\\a\\b"},
        {"c:/a", "b", "-zq-", W, "c:/a/b"},            // "/" occurs first and wins
        {"c:/a", "b\\c", "\\", W, "c:\\a\\b\\c"},
        {"", "b", "-zq-", W, "b"},
        {"a", "", "-zq-", W, "a"},
        {"/a", "b", "-zq-", P, "/a/b"},
        {"/a/", "/b", "-zq-", P, "/a/b"},
        {"/a", "b\\c", "-zq-", P, "/a/b\\c"},          // a backslash is an ordinary character on Linux
    };
    for (const auto& c : cases) EXPECT_EQ(Join(c.left, c.right, c.mode, c.style), c.expected) << c.left << " + " << c.right;
}

TEST(Paths, NormaliseDots) {
    struct Case {
        const char* path;
        PathStyle style;
        const char* expected;
    } cases[] = {
        {"c:\\a\\.\\b", W, "c:\\a\\b"},
        {"c:\\a\\b\\..\\c", W, "c:\\a\\c"},
        {"c:\\a\\b\\c\\...\\d", W, "c:\\a\\d"},
        {"c:\\..", W, "c:\\"},
        {"c:\\..\\..\\x", W, "c:\\x"},
        {"c:/a/b/", W, "c:\\a\\b"},
        {"c:\\", W, "c:\\"},
        {"\\\\srv\\share\\..\\x", W, "\\\\srv\\x"},
        {"/a/./b", P, "/a/b"},
        {"/a/b/../c", P, "/a/c"},
        {"/..", P, "/"},
        {"/a//b/", P, "/a/b"},
        {"/", P, "/"},
        // Paths that are already normal come back as they are; near misses do not.
        {"/a/b.txt", P, "/a/b.txt"},
        {"/.hidden/x..y/.z.", P, "/.hidden/x..y/.z."},
        // On Linux only "." and ".." are special: "..." and "...." are names like any other.
        {"/a/...", P, "/a/..."},
        {"/a/b/c/.../x.txt", P, "/a/b/c/.../x.txt"},
        {"/a/..../b/../c", P, "/a/..../c"},
        {"/a/b/.", P, "/a/b"},
        {"/a/", P, "/a"},
        {"//a", P, "/a"},
        {"/a/b//", P, "/a/b"},
        {"/x/y:/z", P, "/x/y:/z"},
    };
    for (const auto& c : cases) EXPECT_EQ(Normalise(c.path, c.style), c.expected) << c.path;
}

TEST(Paths, ResolveAgainstBase) {
    EXPECT_EQ(Resolve("..\\test2", "c:\\test", W), "c:\\test2");
    EXPECT_EQ(Resolve("\\other", "c:\\test\\sub", W), "c:\\other");  // below the root of the base
    EXPECT_EQ(Resolve("", "c:\\test", W), "c:\\test");
    EXPECT_EQ(Resolve("d:\\x\\.\\y", "c:\\test", W), "d:\\x\\y");
    EXPECT_EQ(Resolve("../test2", "/srv/test", P), "/srv/test2");
    EXPECT_EQ(Resolve("sub/x", "/srv", P), "/srv/sub/x");
    EXPECT_EQ(Resolve("/abs", "/srv", P), "/abs");
}

TEST(Paths, RelativePath) {
    EXPECT_EQ(RelativePath("c:\\test\\a\\b.txt", "c:\\test", W), "a\\b.txt");
    EXPECT_EQ(RelativePath("C:\\Test\\a\\b.txt", "c:/test/", W), "a\\b.txt");
    EXPECT_EQ(RelativePath("c:\\x\\y", "c:\\test\\deep", W), "..\\..\\x\\y");
    EXPECT_EQ(RelativePath("d:\\x", "c:\\test", W), "d:\\x");
    EXPECT_EQ(RelativePath("/srv/a/b.txt", "/srv", P), "a/b.txt");
    EXPECT_EQ(RelativePath("/srv/A/b.txt", "/srv/a", P), "../A/b.txt");  // case matters on Linux
}

TEST(Paths, FinalDestinationPath) {
    EXPECT_EQ(FinalDestinationPath("c:\\test", "c:\\test\\a\\b.txt", "..\\test2", 0, W), "c:\\test2\\a\\b.txt");
    EXPECT_EQ(FinalDestinationPath("c:\\test", "c:\\test\\a\\b.txt", "..\\test2", kDestinationFlat, W),
              "c:\\test2\\b.txt");
    EXPECT_EQ(FinalDestinationPath("c:\\test", "c:\\test\\a\\b.txt", "c:\\one.txt",
                                   kDestinationFlat | kDestinationNamesFile, W),
              "c:\\one.txt");
    // Case is ignored in Windows style.
    EXPECT_EQ(FinalDestinationPath("C:\\TEST", "c:\\test\\a.txt", "d:\\out", 0, W), "d:\\out\\a.txt");
    // A sibling folder that only shares a prefix is not inside the source: its tail keeps the full path.
    EXPECT_EQ(FinalDestinationPath("c:\\test", "c:\\testing\\x.txt", "d:\\out", 0, W), "d:\\out\\testing\\x.txt");
    EXPECT_EQ(FinalDestinationPath("/srv/in", "/srv/in/a/b.txt", "../out", 0, P), "/srv/out/a/b.txt");
    EXPECT_EQ(FinalDestinationPath("/srv/in", "/srv/in/a/b.txt", "/tmp/o", kDestinationFlat, P), "/tmp/o/b.txt");
    EXPECT_EQ(FinalDestinationPath("/srv/in", "/srv/In/b.txt", "/tmp/o", 0, P), "/tmp/o/srv/In/b.txt");
}

TEST(Paths, SamePathAndInside) {
    EXPECT_TRUE(SamePath("c:\\test", "C:\\Test\\", W));
    EXPECT_TRUE(SamePath("c:\\test", "c:/test", W));
    EXPECT_FALSE(SamePath("/srv/test", "/srv/Test", P));
    EXPECT_TRUE(SamePath("/srv/test/", "/srv/./test", P));
    EXPECT_TRUE(IsInside("/srv/a/b", "/srv/a", P));
    EXPECT_TRUE(IsInside("/srv/a", "/srv/a/", P));
    EXPECT_FALSE(IsInside("/srv/ab", "/srv/a", P));
    EXPECT_TRUE(IsInside("/x", "/", P));
}

TEST(Paths, FolderAndNameParts) {
    EXPECT_EQ(FolderPart("c:\\a\\b.txt", W), "c:\\a\\");
    EXPECT_EQ(NamePart("c:\\a\\b.txt", W), "b.txt");
    EXPECT_EQ(FolderPart("/a/b.txt", P), "/a/");
    EXPECT_EQ(NamePart("/a/b\\c.txt", P), "b\\c.txt");
    EXPECT_EQ(NamePart("plain", P), "plain");
    EXPECT_EQ(FolderPart("plain", P), "");
}

TEST(Paths, BadCharacters) {
    EXPECT_TRUE(HasBadPathCharacters("c:\\out\\*", W));
    EXPECT_TRUE(HasBadPathCharacters("c:\\out?", W));
    EXPECT_TRUE(HasBadPathCharacters("c:\\a:b", W));
    EXPECT_FALSE(HasBadPathCharacters("c:\\out\\x", W));
    EXPECT_TRUE(HasBadPathCharacters("/tmp/o*", P));
    EXPECT_TRUE(HasBadPathCharacters("/tmp/a\x01", P));
    EXPECT_FALSE(HasBadPathCharacters("/tmp/a:b\\c", P));
}

TEST(Paths, RelativeTextsResolveAgainstTheCurrentFolder) {
    const std::string cwd = fs::CurrentFolder();
    EXPECT_EQ(Normalise("x/y", P), Join(cwd, "x/y", "-zq-", P));
}

}  // namespace
}  // namespace rowsmith::files
