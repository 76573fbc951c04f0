// Job files: every byte string survives a write and a read, hand-written files mean what they say,
// every mistake is named with its line, and the file on disk is always a whole job.

#include "run/job_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "files/platform_fs.h"
#include "support/temp_dir.h"
#include "text/utf8.h"

namespace rowsmith::run {
namespace {

using testing::Exists;
using testing::ReadFile;
using testing::TempDir;
using testing::TreeSnapshot;
using testing::WriteFile;

std::string AllControlBytes() {
    std::string s;
    for (int c = 0; c < 0x20; ++c) s += static_cast<char>(c);
    return s + "\x7F";
}

TEST(JobFile, EveryByteStringRoundTripsInEveryTextSetting) {
    const std::vector<std::string> values = {
        "",
        "   ",
        "\t",
        "  lead",
        "trail \t",
        "\"",
        "a \"b\" c",
        "back\\slash\\",
        "\\n is not a line break",
        "line\r\nline",
        "lone\rcr",
        "ends\n",
        "\n\n",
        "a\n\nb",
        "one\nEND\ntwo",
        "END\nEND1\nEND2",
        "tab\tand\nline",
        " spaced \n lines ",
        "# not a comment\nkey = not a key",
        "x <<END",
        AllControlBytes(),
        std::string("nul\0inside", 10),
        "bad \xFF\xFE utf-8 \xC3",
        "cut \xE2\x82",
        "overlong \xC0\xAF",
        "ok \xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
        "\xEF\xBB\xBF"
        "bom first",
        std::string(200000, 'x'),
        std::string(5000, '\n'),
    };
    std::string Job::*const fields[] = {&Job::Source,   &Job::Destination,    &Job::Masks,
                                        &Job::Sort,     &Job::Interval,       &Job::Template,
                                        &Job::Encoding, &Job::LegacyEncoding, &Job::OutputEncoding};
    for (std::size_t v = 0; v < values.size(); ++v)
        for (std::size_t f = 0; f < std::size(fields); ++f) {
            Job job;
            job.*fields[f] = values[v];
            const std::string text = FormatJob(job);
            const JobParse back = ParseJob(text);
            ASSERT_TRUE(back.Ok) << "value " << v << " field " << f << ": " << back.Error << "\n" << text;
            EXPECT_TRUE(back.Value == job) << "value " << v << " field " << f << "\n" << text;
            // The file stays text an editor keeps: valid UTF-8, no CR, no control byte but LF (and
            // the tabs inside a multi-line text).
            EXPECT_TRUE(text::IsValidUtf8(text)) << "value " << v << " field " << f;
            for (const char c : text)
                ASSERT_TRUE(c == '\n' || c == '\t' || (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F))
                    << "value " << v << " field " << f;
        }
}

TEST(JobFile, WritesEveryKeyInOrderAndMultiLineTemplatesAsLines) {
    Job job;
    job.Source = "/home/ann/in";
    job.Destination = "/home/ann/out";
    job.Levels = 255;
    job.Masks = "*.txt|*.csv";
    job.Flat = true;
    job.CreateFolders = false;
    job.Overwrite = false;
    job.IntervalOn = true;
    job.Interval = "3-10;-1";
    job.TemplateOn = true;
    job.Template = "{{line|trim}}{{eol}}\nEND\n";
    job.LineEnds = files::LineEnds::Crlf;
    job.OutputEncoding = "utf-16le";
    EXPECT_EQ(FormatJob(job),
              "# Rowsmith job\n"
              "source = /home/ann/in\n"
              "destination = /home/ann/out\n"
              "levels = 255\n"
              "masks = *.txt|*.csv\n"
              "sort = \n"
              "structure = flat\n"
              "create-folders = no\n"
              "existing = rename\n"
              "interval-on = yes\n"
              "interval = 3-10;-1\n"
              "template-on = yes\n"
              "template <<END1\n"
              "{{line|trim}}{{eol}}\n"
              "END\n"
              "\n"
              "END1\n"
              "line-ends = crlf\n"
              "encoding = auto\n"
              "legacy-encoding = windows-1252\n"
              "output-encoding = utf-16le\n");
    EXPECT_NE(FormatJob(Job{}).find("\ntemplate = {{originalline}}{{eol}}\n"), std::string::npos);
}

TEST(JobFile, HandWrittenJobsKeepTheDefaultsOfWhatTheyLeaveOut) {
    struct Case {
        const char* what;
        std::string text;
        Job expected;
    };
    Job three;
    three.Source = "in";
    three.Destination = "out dir";
    three.Levels = 2;
    Job spaced = three;
    spaced.Masks = "*.txt";
    Job heredoc;
    heredoc.TemplateOn = true;
    heredoc.Template = "  # kept\n\tas = written ";
    Job quoted;
    quoted.Sort = " \"a\"\\\t\r\n\x01\xff";
    Job words;
    words.Flat = false;
    words.CreateFolders = false;
    words.Overwrite = true;
    words.LineEnds = files::LineEnds::Lf;
    const std::vector<Case> cases = {
        {"three lines", "source = in\ndestination = out dir\nlevels = 2\n", three},
        {"CR LF, comments, blanks, spaces around =, trailing blanks",
         "\xEF\xBB\xBF# made by hand\r\n\r\n   # indented comment\r\nsource=in\r\n  destination   =   out "
         "dir \t\r\n"
         "levels\t= 2\r\nmasks = *.txt\r\n",
         spaced},
        {"heredoc lines verbatim, mark after spaces",
         "template-on = yes\ntemplate   <<  EOT\n  # kept\n\tas = written \nEOT\n", heredoc},
        {"heredoc in a CR LF file",
         "template-on = yes\r\ntemplate <<EOT\r\n  # kept\r\n\tas = written \r\nEOT\r\n", heredoc},
        {"quoted escapes, blanks after the quote", "sort = \" \\\"a\\\"\\\\\\t\\r\\n\\x01\\xFf\"  \n",
         quoted},
        {"choice words", "structure = keep\ncreate-folders = no\nexisting = overwrite\nline-ends = lf\n",
         words},
        {"empty text", "", Job{}},
    };
    for (const Case& c : cases) {
        const JobParse r = ParseJob(c.text);
        ASSERT_TRUE(r.Ok) << c.what << ": " << r.Error;
        EXPECT_TRUE(r.Value == c.expected) << c.what;
    }
    EXPECT_EQ(ParseJob("template <<END\nEND\n").Value.Template, "");
    EXPECT_EQ(ParseJob("template <<END\n\nEND\n").Value.Template, "");
    EXPECT_EQ(ParseJob("template <<END\n\n\nEND\n").Value.Template, "\n");
    EXPECT_EQ(ParseJob("levels = 007").Value.Levels, 7);
}

TEST(JobFile, MistakesNameTheFileTheLineAndTheProblem) {
    struct Case {
        std::string text;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"# ok\n\nsource = a\n\n\n\nfooo = 1\n", "job.rowsmith line 7: unknown setting \"fooo\""},
        {"Source = a\n",
         "line 1: unknown setting \"Source\" (settings are written in lower case: \"source\")"},
        {"source = a\nlevels = 1\nsource = b\n", "line 3: \"source\" is set twice (first on line 1)"},
        {"= value\n", "line 1: expected a setting"},
        {"source\n", "line 1: expected \"=\" or \"<<MARK\" after \"source\""},
        {"levels = 256\n", "line 1: levels must be a whole number from 0 to 255, not \"256\""},
        {"levels = 99999999999999999999\n", "levels must be a whole number from 0 to 255"},
        {"levels = 2 levels\n", "levels must be a whole number from 0 to 255, not \"2 levels\""},
        {"structure = Flat\n", "line 1: structure must be keep or flat, not \"Flat\""},
        {"create-folders = true\n", "create-folders must be yes or no, not \"true\""},
        {"existing = skip\n", "existing must be overwrite or rename, not \"skip\""},
        {"line-ends = cr\n", "line-ends must be auto, crlf or lf, not \"cr\""},
        {"\n\ntemplate <<END\n{{line}}\nEND \n",
         "line 3: template: the text that starts here has no line \"END\""},
        {"template <<\nx\n", "line 1: template: \"<<\" needs a closing mark"},
        {"source = \"open\n", "line 1: source: the quoted value has no closing quote"},
        {"source = \"ends in \\\"\n", "the quoted value has no closing quote"},
        {"source = \"a\" b\n", "line 1: source: nothing may follow the closing quote"},
        {"source = \"\\q\"\n", "line 1: source: unknown escape \"\\q\""},
        {"source = \"\\x4\"\n", "source: \\x needs two hexadecimal digits"},
    };
    for (const Case& c : cases) {
        const JobParse r = ParseJob(c.text, "job.rowsmith");
        EXPECT_FALSE(r.Ok) << c.text;
        EXPECT_NE(r.Error.find(c.error), std::string::npos) << c.text << "\ngot: " << r.Error;
        EXPECT_EQ(r.Error.rfind("job.rowsmith line ", 0), 0u) << r.Error;
    }
}

TEST(JobFile, WritesAWholeJobOrLeavesTheOldOne) {
    TempDir dir;
    const std::string path = dir / "nightly.rowsmith";
    Job job;
    job.Source = "/in";
    job.Template = "a\nb";
    std::string error;
    ASSERT_TRUE(WriteJobFile(path, job, error)) << error;
    Job back;
    ASSERT_TRUE(ReadJobFile(path, back, error)) << error;
    EXPECT_TRUE(back == job);

    // Saved again: replaced in place, its permission bits kept, no temporary file left beside it.
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    job.Levels = 9;
    ASSERT_TRUE(WriteJobFile(path, job, error)) << error;
    ASSERT_TRUE(ReadJobFile(path, back, error)) << error;
    EXPECT_EQ(back.Levels, 9);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(TreeSnapshot(dir.path()).size(), 1u);

    // Refused targets leave everything as it was (the snapshot reads files, so the pipe lives apart).
    WriteFile(dir / "folder/inside", "x");
    TempDir pipes;
    ASSERT_EQ(mkfifo((pipes / "fifo").c_str(), 0600), 0);
    const auto before = TreeSnapshot(dir.path());
    struct Case {
        std::string path, error;
    };
    for (const Case& c : std::vector<Case>{{dir / "folder", "it is a folder"},
                                           {pipes / "fifo", "it is not a regular file"},
                                           {dir / "missing/job.rowsmith", "No such file"},
                                           {dir / "folder/", "the path names no file"}}) {
        EXPECT_FALSE(WriteJobFile(c.path, job, error)) << c.path;
        EXPECT_NE(error.find("cannot write the job file '" + c.path + "': " + c.error), std::string::npos)
            << error;
    }
    EXPECT_EQ(TreeSnapshot(dir.path()), before);
    std::vector<files::fs::FolderItem> items;
    ASSERT_TRUE(files::fs::ListFolder(pipes.path(), items));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].name, "fifo");
}

TEST(JobFile, ReadsOnlyRegularFilesOfAtMostOneMebibyte) {
    TempDir dir;
    WriteFile(dir / "big", std::string(kMaxJobFileBytes + 1, '#'));
    WriteFile(dir / "limit", std::string(kMaxJobFileBytes - 12, '#') + "\nlevels = 3\n");
    WriteFile(dir / "bad", "source = a\nlevels = many\n");
    WriteFile(dir / "folder/x", "");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    struct Case {
        std::string path, error;
    };
    for (const Case& c : std::vector<Case>{
             {dir / "big", "cannot read the job file '" + dir / "big" + "': it is larger than 1 MiB"},
             {dir / "folder", "': it is a folder"},
             {dir / "fifo", "': it is not a regular file"},  // and does not wait for a writer
             {dir / "none", "': No such file or directory"},
             {dir / "bad", dir / "bad" + " line 2: levels must be"},
         }) {
        Job job;
        job.Source = "untouched";
        std::string error;
        EXPECT_FALSE(ReadJobFile(c.path, job, error)) << c.path;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        EXPECT_EQ(job.Source, "untouched");
    }
    Job job;
    std::string error;
    EXPECT_TRUE(ReadJobFile(dir / "limit", job, error)) << error;
    EXPECT_EQ(job.Levels, 3);
}

}  // namespace
}  // namespace rowsmith::run
