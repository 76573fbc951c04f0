// Whole blocks of lines that go through in one piece must come out as the lines expanded one by one:
// the same bytes, line counts, line ends, encodings and skips, whatever the lines hold.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "run/expand_lines.h"
#include "run/processing_run.h"
#include "run/run_plan.h"
#include "support/file_lists.h"
#include "support/run_settings.h"
#include "support/temp_dir.h"
#include "template/context.h"

namespace rowsmith::run {
namespace {

using testing::ReadFile;
using testing::IntervalSettings;
using testing::TempDir;
using testing::TemplateSettings;
using testing::WriteFile;

std::string RunAll(const std::string& src, const std::string& dst, const std::vector<std::string>& names,
                   const RunSettings& s, bool line_by_line) {
    tables::ArrayOfFiles list;
    testing::PopulateList(list, src, dst);
    tables::ArrayOfFiles buffer;
    StandaloneLineExpander expander;
    RunHooks hooks;
    hooks.LineByLine = line_by_line;
    std::string seen;
    hooks.OnRow = [&](const RowReport& r) {
        seen += r.Source.substr(src.size()) + " " + std::to_string(static_cast<int>(r.Outcome)) + " " +
                std::to_string(r.Lines) + " " + r.Encoding + " " + r.LineEnds + " " + r.Reason + "\n";
    };
    RunFiles(list, buffer, &expander, s, hooks);
    for (const std::string& name : names)
        seen += name + ": " + (testing::Exists(dst + "/" + name) ? ReadFile(dst + "/" + name) : "<none>") + "\n";
    return seen;
}

struct TestFile {
    const char* name;
    std::string bytes;
};

std::vector<TestFile> TestFiles() {
    std::string many_crlf, many_lf;
    for (int i = 1; i <= 60000; ++i) {
        many_crlf += "Row " + std::to_string(i) + " Mixed Case\r\n";
        many_lf += "row " + std::to_string(i) + "\n";
    }
    const std::string long_line(int64_t{1} << 21 | 77, 'q');
    return {
        {"empty.txt", ""},
        {"one.txt", "only One"},
        {"one_ended.txt", "only One\r\n"},
        {"crlf.txt", many_crlf},
        {"lf.txt", many_lf + "no end"},
        // After a CR LF only CR LF ends a line: the lone LFs stay inside lines.
        {"lone_lf.txt", "First\r\n" + many_lf + "Last\r\n"},
        {"lf_then_crlf.txt", "a\nB\r\nc\n"},
        {"tags_inside.txt", many_crlf + "x {{|toggle:Y:Z}} w\r\n" + many_crlf + "cut<CUT>here\r\n" + many_crlf},
        {"long.txt", "x\r\n" + long_line + "\r\ny\r\n" + long_line},
        {"greek.txt", "ΟΔΟΣ\r\nΣ\r\nΑΣ ΣΑ\r\nστρας\r\n" + many_crlf + "ΤΕΛΟΣ"},
        {"bom.txt", "\xEF\xBB\xBFHello W\xC3\xB6rld\r\nZwei\r\n"},
        {"late_latin1.txt", many_crlf + "caf\xE9 Cr\xE8me\r\nlast"},
        {"nul.txt", std::string("a\0B\r\nc\0d\r\n", 10)},
        {"stray.txt", "ok\r\n\xC3\r\n\xFF\xFEz\r\n"},
    };
}

TEST(BlockChain, BlocksWriteWhatLinesOneByOneWrite) {
    const std::vector<TestFile> files = TestFiles();
    TempDir dir;
    std::vector<std::string> names;
    for (const auto& f : files) {
        WriteFile(dir / ("src/" + std::string(f.name)), f.bytes);
        names.push_back(f.name);
    }
    RunSettings bytes = TemplateSettings("{{line|caseupper}}{{eol}}");
    bytes.Encoding = "bytes";
    RunSettings utf8_out = TemplateSettings("{{line|caselower}}{{eol}}");
    utf8_out.OutputEncoding = "utf-8";
    const struct {
        const char* what;
        RunSettings settings;
    } cases[] = {
        {"default template", TemplateSettings("{{originalline}}{{eol}}")},
        {"line with its tags", TemplateSettings("{{line}}{{eol}}")},
        {"upper case", TemplateSettings("{{line|caseupper}}{{eol}}")},
        {"upper case, CR LF after each line", TemplateSettings("{{line|caseupper}}{{crlf}}")},
        {"CR LF after each line", TemplateSettings("{{originalline}}{{crlf}}")},
        {"lower case", TemplateSettings("{{line|caselower}}{{eol}}")},
        {"interval alone", IntervalSettings("1-")},
        {"bytes", bytes},
        {"legacy files written as UTF-8", utf8_out},
    };
    for (const auto& c : cases) {
        const std::string blocks = RunAll(dir / "src", dir / (std::string("b_") + c.what), names, c.settings, false);
        const std::string lines = RunAll(dir / "src", dir / (std::string("l_") + c.what), names, c.settings, true);
        EXPECT_TRUE(blocks == lines) << c.what;  // the texts are megabytes: no diff printed
    }
}

// The expand command takes the same blocks; a line hook (as --trace sets) makes it go line by line.
TEST(BlockChain, ExpandWritesWhatLinesOneByOneWrite) {
    TempDir dir;
    for (const TestFile& f : TestFiles()) {
        const std::string path = dir / f.name;
        WriteFile(path, f.bytes);
        for (const char* templ : {"{{originalline}}{{eol}}", "{{line}}{{eol}}", "{{line|caseupper}}{{crlf}}",
                                  "{{line|caselower}}{{eol}}"}) {
            std::string out[2];
            ExpandLinesResult r[2];
            for (int pass = 0; pass < 2; ++pass) {
                ExpandLinesOptions o;
                o.TemplateText = templ;
                if (pass == 1) o.BeforeLine = [](int64_t, std::string_view) {};
                StandaloneLineExpander expander;
                std::ostringstream stream;
                r[pass] = ExpandLinesOfFile(path, stream, o, expander);
                out[pass] = stream.str();
            }
            EXPECT_TRUE(out[0] == out[1]) << f.name << " " << templ;
            EXPECT_EQ(r[0].LinesRead, r[1].LinesRead) << f.name << " " << templ;
            EXPECT_EQ(r[0].LinesExpanded, r[1].LinesExpanded) << f.name << " " << templ;
            EXPECT_EQ(r[0].BoundHits, r[1].BoundHits) << f.name << " " << templ;
            EXPECT_EQ(r[0].Ok, r[1].Ok) << f.name << " " << templ;
        }
    }
}

TEST(BlockChain, OnlyChainsThatChangeEachLineAloneGoByBlocks) {
    tmpl::TemplateRecordT record;
    const struct {
        const char* text;
        BlockChain chain;
        bool line_tags;
    } cases[] = {
        {"{{originalline}}{{eol}}", BlockChain::Identity, false},
        {"{{line}}{{eol}}", BlockChain::Identity, true},
        {"{{line|caseupper}}{{eol}}", BlockChain::Upper, true},
        {"{{originalline|caselower}}{{eol}}", BlockChain::Lower, false},
        {"{{LINE|CaseUpper}}{{EOL}}", BlockChain::Upper, true},
        {"{{line}}{{crlf}}", BlockChain::Identity, true},  // CR LF: blocks only for CR LF files
        {"{{line}}{{lf}}", BlockChain::None, false},
        {"{{line}}", BlockChain::None, false},
        {"{{line}}{{eol}}{{eol}}", BlockChain::None, false},
        {"[{{line}}]{{eol}}", BlockChain::None, false},
        {"{{line}}{{eol}} ", BlockChain::None, false},
        {"{{line|trim}}{{eol}}", BlockChain::None, false},
        {"{{line|caseupper:x}}{{eol}}", BlockChain::None, false},
        {"{{line|caseupper|caselower}}{{eol}}", BlockChain::None, false},
        {"{{uncutline}}{{eol}}", BlockChain::None, false},
        {"{{eol}}{{line}}", BlockChain::None, false},
        {"{{x}}{{eol}}", BlockChain::None, false},
    };
    for (const auto& c : cases) {
        RunPlan plan;
        plan.UseTemplate = true;
        plan.Pieces.assign(1, StreamPiece{1, 0, true});
        DecideBlockChain(plan, TemplateSettings(c.text), &record.Context);
        EXPECT_EQ(plan.Blocks, c.chain) << c.text;
        if (plan.Blocks != BlockChain::None) {
            EXPECT_EQ(plan.BlockLineTags, c.line_tags) << c.text;
        }
    }
    // Only a stream over every line, with each line's own end.
    RunPlan plan;
    plan.UseTemplate = true;
    plan.Pieces.assign(1, StreamPiece{2, 0, true});
    DecideBlockChain(plan, TemplateSettings("{{originalline}}{{eol}}"), &record.Context);
    EXPECT_EQ(plan.Blocks, BlockChain::None);
    plan.Pieces.assign(1, StreamPiece{1, 0, true});
    plan.LineEnds = files::LineEnds::Lf;
    DecideBlockChain(plan, TemplateSettings("{{originalline}}{{eol}}"), &record.Context);
    EXPECT_EQ(plan.Blocks, BlockChain::None);
}

}  // namespace
}  // namespace rowsmith::run
