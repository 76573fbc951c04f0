#include "files/path_input.h"

#include <gtest/gtest.h>

#include <string>

#include "files/platform_fs.h"
#include "support/temp_dir.h"

namespace rowsmith::files {
namespace {

using testing::TempDir;
using testing::WriteFile;

class FakeEdit : public PathEditControl {
  public:
    explicit FakeEdit(std::string t) : text(std::move(t)) {}
    std::string Text() const override { return text; }
    int32_t Colour() const override { return colour; }
    void SetColour(int32_t c) override { colour = c; }
    void SetHint(const std::string& h) override { hint = h; }
    void SetTextQuietly(const std::string& t) override { text = t; }

    std::string text;
    int32_t colour = 0xFFFFFF;
    std::string hint;
};

TEST(PathInput, KindsFromEditNames) {
    EXPECT_EQ(PathKindFromEditName("EditFolderSource"), kPathKindFolder);
    EXPECT_EQ(PathKindFromEditName("editfile1"), kPathKindFile);
    EXPECT_EQ(PathKindFromEditName("Edit1"), 0);
    EXPECT_EQ(PathKindFromEditName("myEditFolder"), 0);
}

TEST(PathInput, RegisteringColoursByExistence) {
    TempDir dir;
    WriteFile(dir / "f.txt", "x");
    PathInputT reg;
    InitPathInput(reg);
    FakeEdit folder(dir.path()), file(dir / "f.txt"), missing(dir / "nope"), file_as_folder(dir / "f.txt");
    int changes = 0;
    EXPECT_EQ(RegisterPathEdit(reg, &folder, kPathKindFolder, [&] { ++changes; }), 1);
    EXPECT_EQ(RegisterPathEdit(reg, &file, kPathKindFile), 2);
    EXPECT_EQ(RegisterPathEdit(reg, &missing, kPathKindFolder), 3);
    EXPECT_EQ(RegisterPathEdit(reg, &file_as_folder, kPathKindFolder), 4);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(folder.colour, 0xFFFFFF);
    EXPECT_EQ(file.colour, 0xFFFFFF);
    EXPECT_EQ(missing.colour, reg.InvalidColour);
    EXPECT_EQ(file_as_folder.colour, reg.InvalidColour);
    EXPECT_EQ(folder.hint, dir.path());

    // Registering again updates the kind and keeps the entry.
    EXPECT_EQ(RegisterPathEdit(reg, &file_as_folder, kPathKindFile), 4);
    EXPECT_EQ(file_as_folder.colour, 0xFFFFFF);
    EXPECT_EQ(reg.Count, 4);

    missing.text = dir.path();
    PathTextChanged(reg, &missing);
    EXPECT_EQ(missing.colour, 0xFFFFFF);
    EXPECT_EQ(RegisterPathEdit(reg, nullptr, kPathKindFolder), -1);
}

TEST(PathInput, RelativeEditsFollowTheirBase) {
    TempDir dir;
    WriteFile(dir / "a/b/x", "x");
    PathInputT reg;
    InitPathInput(reg);
    FakeEdit base(dir / "a"), rel("b"), up("../a/b");
    RegisterPathEdit(reg, &base, kPathKindFolder);
    RegisterPathEdit(reg, &rel, kPathKindFolder);
    RegisterPathEdit(reg, &up, kPathKindFolder);
    EXPECT_TRUE(SetRelative(reg, &base, &rel));
    EXPECT_TRUE(SetRelative(reg, &rel, &up));
    EXPECT_FALSE(SetRelative(reg, &rel, &rel));
    EXPECT_EQ(ResolvedPath(reg, &rel), dir / "a/b");
    EXPECT_EQ(ResolvedPath(reg, &up), dir / "a/a/b");
    EXPECT_EQ(rel.colour, 0xFFFFFF);
    EXPECT_EQ(up.colour, reg.InvalidColour);

    // A change of the base revalidates the edits that depend on it.
    base.text = dir.path();
    PathTextChanged(reg, &base);
    EXPECT_EQ(rel.colour, reg.InvalidColour);
    EXPECT_EQ(ResolvedPath(reg, &up), dir / "a/b");
    EXPECT_EQ(up.colour, 0xFFFFFF);

    // A cycle of relative edits ends.
    EXPECT_TRUE(SetRelative(reg, &up, &rel));
    EXPECT_FALSE(ResolvedPath(reg, &rel).empty());
}

TEST(PathInput, ValidatePairRefusesBadDestinations) {
    TempDir dir;
    WriteFile(dir / "src/x.txt", "x");
    struct Case {
        std::string source, destination;
        bool valid;
        std::string destination_out;
    };
    const std::string src = dir / "src";
    const std::vector<Case> cases = {
        {src, dir / "out", true, dir / "out"},
        {src, "../out", true, dir / "out"},
        {src, "sub", true, dir / "src/sub"},
        {src, src, false, ""},
        {src, src + "/", false, ""},
        {src, src + "/./", false, ""},
        {src, dir / "SRC", true, dir / "SRC"},  // Linux paths keep their case
        {src, dir / "out*", false, ""},
        {src, dir / "o?t", false, ""},
        {src, dir / "a\"b", false, ""},
        {dir / "missing", dir / "out", false, ""},
        {src, "", false, ""},
    };
    for (const Case& c : cases) {
        PathInputT reg;
        InitPathInput(reg);
        FakeEdit s(c.source), d(c.destination);
        RegisterPathEdit(reg, &s, kPathKindFolder);
        RegisterPathEdit(reg, &d, kPathKindFolder);
        std::string dest_out, src_out;
        EXPECT_EQ(ValidatePair(reg, &s, &d, kPairWindowOptions, dest_out, src_out), c.valid) << c.destination;
        if (c.valid) {
            EXPECT_EQ(dest_out, c.destination_out) << c.destination;
            EXPECT_EQ(src_out, c.source);
        }
    }
}

TEST(PathInput, PathCheckAndDeepestExistingFolder) {
    TempDir dir;
    WriteFile(dir / "a/b/f", "x");
    EXPECT_TRUE(PassesPathCheck(dir / "a/none/deeper"));
    EXPECT_FALSE(PassesPathCheck("relative/path"));
    EXPECT_FALSE(PassesPathCheck(dir / "a|b"));
    EXPECT_FALSE(PassesPathCheck(dir / "a\tb"));

    EXPECT_EQ(DeepestExistingFolder(dir / "a/b/c/d"), dir / "a/b/");
    EXPECT_EQ(DeepestExistingFolder(dir / "a/b/f"), dir / "a/b/");
    EXPECT_EQ(DeepestExistingFolder(dir / "a/../a/b"), dir / "a/b/");
    EXPECT_EQ(DeepestExistingFolder("/"), "/");
    std::string cwd = fs::CurrentFolder();
    if (cwd.back() != '/') cwd += '/';
    EXPECT_EQ(DeepestExistingFolder("relative"), cwd);
}

TEST(PathInput, DialogChoiceSetsQuietlyAndRevalidates) {
    TempDir dir;
    WriteFile(dir / "a/x", "x");
    PathInputT reg;
    InitPathInput(reg);
    FakeEdit e(dir / "a/none");
    int double_clicks = 0, changes = 0;
    RegisterPathEdit(
        reg, &e, kPathKindFolder, [&] { ++changes; }, [&] { ++double_clicks; });
    EXPECT_EQ(DialogStartFolder(reg, &e), dir / "a/");
    changes = 0;
    PathChosenInDialog(reg, &e, "");
    EXPECT_EQ(double_clicks, 1);
    EXPECT_EQ(changes, 0);
    PathChosenInDialog(reg, &e, dir / "a");
    EXPECT_EQ(e.text, dir / "a");
    EXPECT_EQ(double_clicks, 2);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(e.colour, 0xFFFFFF);
}

}  // namespace
}  // namespace rowsmith::files
