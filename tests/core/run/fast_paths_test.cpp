// The shortcuts taken for speed must give what the general routines give: counters and padding read
// without floating point, trimming in place (case conversion beside it, under both tables), and destinations
// that did not exist written in place instead of through a temporary file.

#include <gtest/gtest.h>

#include "text/utf8.h"
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "files/text_file.h"
#include "template/context.h"
#include "template/evaluator.h"
#include "text/chars.h"
#include "text/numbers.h"
#include "text/strings.h"

namespace rowsmith {
namespace {

namespace fsys = std::filesystem;

std::string Expand(tmpl::TemplateRecordT& r, std::string_view templ, std::string_view line) {
    tmpl::SetVariable(r.Context, "line", line);
    return tmpl::ExpandTemplate(templ, r.Context, 1);
}

const std::vector<std::string> kNumberTexts = {
    "", "0", "7", "-7", "007", "-0", "42x", "1.9", "-1.9", "2147483647", "2147483648", "-2147483648",
    "-2147483649", "123456789012345", "1234567890123456", "-", "--5", "5-", " 12", "abc", "9.9.9"};

TEST(FastPaths, CountersAndPaddingReadNumbersAsTheGeneralReading) {
    for (const std::string& v : kNumberTexts) {
        for (int width : {0, 1, 4, 12}) {
            tmpl::TemplateRecordT r;
            const std::string want = text::LeadingZeros(text::ReadInt(v), width, "0");
            EXPECT_EQ(Expand(r, "{{line|lz:" + std::to_string(width) + "}}", v), want) << v << " width " << width;
        }
        for (const std::string& step : {std::string("1"), std::string("-3"), std::string("2.7"), v}) {
            if (step.empty()) continue;  // an empty step means the default step
            tmpl::TemplateRecordT r;
            tmpl::SetVariable(r.Context, "n", v);
            const int64_t want = int64_t{text::ReadInt(v)} + text::ReadInt(step);
            EXPECT_EQ(Expand(r, "{{|inc:n," + step + "}}{{n}}", ""), text::IntText(want)) << v << " step " << step;
        }
    }
}

TEST(FastPaths, CaseAndTrimAgreeWithTheTables) {
    // The byte tables are what is compared: one byte one character.
    text::CharModelScope bytes(text::CharModel::Bytes);
    const std::vector<std::string> texts = {"", "abc XYZ 09 [`{@", "  Lorem ipsum  ", "\x01\t mixed\r\x20",
                                            "caf\xc3\xa9 \xe9t\xe9", std::string("a\0b", 3), "zZaA"};
    for (const char* codepage : {"", "cp1252"}) {
        ASSERT_TRUE(text::BuildCharacterTables(codepage));
        for (const std::string& t : texts) {
            tmpl::TemplateRecordT r;
            EXPECT_EQ(Expand(r, "{{line|caseupper}}", t), text::UpperCase(t)) << codepage << ": " << t;
            EXPECT_EQ(Expand(r, "{{line|caselower}}", t), text::LowerCase(t)) << codepage << ": " << t;
            std::size_t b = 0, e = t.size();
            while (e > 0 && static_cast<unsigned char>(t[e - 1]) <= 32) --e;
            while (b < e && static_cast<unsigned char>(t[b]) <= 32) ++b;
            EXPECT_EQ(Expand(r, "{{line|trim}}", t), t.substr(b, e - b)) << codepage << ": " << t;
        }
    }
    ASSERT_TRUE(text::BuildCharacterTables(""));
}

class InPlaceWrites : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fsys::temp_directory_path() / ("rowsmith-fast-" + std::to_string(getpid()));
        fsys::remove_all(dir_);
        fsys::create_directories(dir_);
    }
    void TearDown() override { fsys::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::string Read(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // Nothing but these names in the folder (no temporary file left behind).
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : fsys::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fsys::path dir_;
};

TEST_F(InPlaceWrites, NewDestinationsAreCompleteOrAbsent) {
    files::TWriteTextFile w;
    ASSERT_TRUE(w.OpenForWriting(Path("sub/new.txt"), files::kOverwrite));
    EXPECT_TRUE(w.WriteText("one\r\n"));
    EXPECT_TRUE(w.Close());
    EXPECT_EQ(Read("sub/new.txt"), "one\r\n");

    // A discarded write of a file that did not exist leaves nothing behind.
    ASSERT_TRUE(w.OpenForWriting(Path("gone.txt"), files::kOverwrite));
    EXPECT_TRUE(w.WriteText("partial"));
    w.Discard();
    EXPECT_FALSE(fsys::exists(Path("gone.txt")));

    // Rename mode writes the free name in place; overwrite still replaces through a temporary file.
    ASSERT_TRUE(w.OpenForWriting(Path("sub/new.txt"), files::kRename));
    EXPECT_EQ(w.FileName, Path("sub/new_1.txt"));
    EXPECT_TRUE(w.WriteText("two"));
    EXPECT_TRUE(w.Close());
    ASSERT_TRUE(w.OpenForWriting(Path("sub/new.txt"), files::kOverwrite));
    EXPECT_TRUE(w.WriteText("three"));
    EXPECT_TRUE(w.Close());
    EXPECT_EQ(Read("sub/new.txt"), "three");
    EXPECT_EQ(Read("sub/new_1.txt"), "two");
    EXPECT_EQ(Names(), (std::vector<std::string>{"sub"}));
    std::vector<std::string> sub;
    for (const auto& e : fsys::directory_iterator(dir_ / "sub")) sub.push_back(e.path().filename().string());
    std::sort(sub.begin(), sub.end());
    EXPECT_EQ(sub, (std::vector<std::string>{"new.txt", "new_1.txt"}));
}

TEST_F(InPlaceWrites, CopiesToNewAndExistingDestinations) {
    {
        std::ofstream(Path("src.txt"), std::ios::binary) << "abc\r\n";
    }
    EXPECT_TRUE(files::CopyFile(Path("src.txt"), Path("out/a.txt"), files::kOverwrite) & files::kStatusCopied);
    EXPECT_TRUE(files::CopyFile(Path("src.txt"), Path("out/a.txt"), files::kRename) & files::kStatusCopied);
    EXPECT_EQ(Read("out/a.txt"), "abc\r\n");
    EXPECT_EQ(Read("out/a_1.txt"), "abc\r\n");
    EXPECT_EQ(fsys::last_write_time(Path("out/a.txt")), fsys::last_write_time(Path("src.txt")));
    // Without overwrite or rename an existing destination stops the copy and stays as it was.
    EXPECT_TRUE(files::CopyFile(Path("src.txt"), Path("out/a.txt"), 0) & files::kStatusStop);
    std::vector<std::string> out;
    for (const auto& e : fsys::directory_iterator(dir_ / "out")) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    EXPECT_EQ(out, (std::vector<std::string>{"a.txt", "a_1.txt"}));
}

}  // namespace
}  // namespace rowsmith
