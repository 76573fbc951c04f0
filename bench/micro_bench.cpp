// Micro benchmarks of the paths every run goes through line by line: the interval iterator, the CR LF
// reader, ExpandTemplate on the default template and on common modifier chains, and CompareNatural.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "files/platform_fs.h"
#include "files/text_file.h"
#include "run/expand_lines.h"
#include "template/context.h"
#include "template/evaluator.h"
#include "text/compare.h"
#include "text/intervals.h"

namespace {

using namespace rowsmith;

// A line like those of the generated benchmark data: words, digits, sometimes padded.
std::string SampleLine(int i) {
    static const char* const kWords[] = {"alpha", "beta", "gamma", "delta", "Lorem", "ipsum", "2026", "42", "dolor"};
    std::string s = (i % 10 == 0) ? "  " : "";
    for (int k = 0; s.size() < 58; ++k) {
        if (k) s += ' ';
        s += kWords[(i * 7 + k * 3) % 9];
    }
    if (i % 10 == 0) s += "  ";
    return s;
}

void BM_IntervalIterator(benchmark::State& state, const char* interval) {
    constexpr int32_t kLines = 100000;
    int64_t selected = 0;
    for (auto _ : state) {
        text::LoopT loop;
        text::InitLoop(loop, interval, 1, kLines);
        int64_t sum = 0;
        while (text::NextInLoop(loop)) sum += loop.Current;
        benchmark::DoNotOptimize(sum);
        selected = sum;
    }
    (void)selected;
    state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK_CAPTURE(BM_IntervalIterator, all_lines, "1-");
BENCHMARK_CAPTURE(BM_IntervalIterator, pieces, "3-10;20-;-5-;-1");

// A CR LF file of about 8 MiB in the temporary folder, made once.
const std::string& ReaderFile() {
    static const std::string path = [] {
        char name[] = "/tmp/rowsmith-bench-reader-XXXXXX";
        const int fd = mkstemp(name);
        std::string text;
        for (int i = 0; text.size() < (8u << 20); ++i) text += SampleLine(i) + "\r\n";
        if (fd >= 0) {
            (void)!write(fd, text.data(), text.size());
            close(fd);
        }
        std::atexit([] { std::remove(ReaderFile().c_str()); });
        return std::string(name);
    }();
    return path;
}

void BM_Reader(benchmark::State& state) {
    const std::string& path = ReaderFile();
    int64_t bytes = 0;
    for (auto _ : state) {
        files::TReadTextFile reader;
        reader.BlockSize = state.range(0);
        if (!reader.Open(path)) {
            state.SkipWithError("cannot open the sample file");
            return;
        }
        std::string_view line;
        int64_t n = 0;
        while (reader.ReadLineView(line)) n += static_cast<int64_t>(line.size());
        reader.Close();
        benchmark::DoNotOptimize(n);
        bytes = reader.BytesConsumed;
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_Reader)->Arg(64 << 10)->Arg(1 << 20);

// One line through a template, as `rowsmith-cli expand` does it: the line variable, then the
// prepared (parsed once) template appended to the output.
void BM_ExpandTemplate(benchmark::State& state, const char* templ) {
    std::vector<std::string> lines;
    for (int i = 0; i < 1000; ++i) lines.push_back(SampleLine(i));
    run::StandaloneLineExpander expander;
    std::string out;
    std::size_t k = 0;
    int64_t bytes = 0;
    for (auto _ : state) {
        out.clear();
        const std::string& line = lines[k++ % lines.size()];
        expander.Inner().ExpandLineAppend(templ, line, out);
        benchmark::DoNotOptimize(out.data());
        bytes += static_cast<int64_t>(line.size());
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK_CAPTURE(BM_ExpandTemplate, default_template, "{{originalline}}{{crlf}}");
BENCHMARK_CAPTURE(BM_ExpandTemplate, trim_caseupper, "{{line|trim|caseupper}}{{crlf}}");
BENCHMARK_CAPTURE(BM_ExpandTemplate, caseupper, "{{line|caseupper}}{{crlf}}");
BENCHMARK_CAPTURE(BM_ExpandTemplate, copyuntil, "{{line|copyuntil:{{|:,}}}}{{crlf}}");
BENCHMARK_CAPTURE(BM_ExpandTemplate, item, "{{line|item:2,;}}{{crlf}}");
BENCHMARK_CAPTURE(BM_ExpandTemplate, replace, "{{line|replace:a,b}}{{crlf}}");
BENCHMARK_CAPTURE(BM_ExpandTemplate, digit_interval, "{{line|3-10}}{{crlf}}");
BENCHMARK_CAPTURE(BM_ExpandTemplate, counter_pad_trim, "{{|inc:n}}{{n|lz:6}}\t{{line|trim}}{{crlf}}");

// ExpandTemplate itself, through the context's parse cache.
void BM_ExpandTemplateCached(benchmark::State& state) {
    tmpl::TemplateRecordT record;
    tmpl::SetVariable(record.Context, "line", SampleLine(3));
    std::string out;
    for (auto _ : state) {
        tmpl::ExpandTemplate("{{line|caseupper}}{{crlf}}", record.Context, 1, out);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_ExpandTemplateCached);

void BM_CompareNatural(benchmark::State& state) {
    std::vector<std::string> names;
    for (int i = 0; i < 512; ++i) names.push_back("file_" + std::to_string(i * 37 % 1000) + "_part" + std::to_string(i % 7) + ".txt");
    std::size_t k = 0;
    for (auto _ : state) {
        const int r = text::CompareNatural(names[k % names.size()], names[(k + 1) % names.size()]);
        benchmark::DoNotOptimize(r);
        ++k;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CompareNatural);

}  // namespace
