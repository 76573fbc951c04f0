// ExpandTemplate on random templates and lines, as a run uses it: "line" set, then the template
// expanded, once per line. The context is either fresh for every line or persists over all the lines
// of the input (so variables, counters and cached parses carry over, as they do in a run).

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "template/context.h"
#include "template/evaluator.h"

namespace {

using namespace rowsmith::tmpl;

// Relative names of the file modifiers resolve in a scratch folder, never in the source tree; the
// folder goes when the process ends.
struct ScratchFolder {
    std::string path;
    ScratchFolder() {
        char name[] = "/tmp/rowsmith-fuzz-XXXXXX";
        const char* made = mkdtemp(name);
        path = made ? std::string(made) + "/" : std::string("/tmp/");
    }
    ~ScratchFolder() {
        std::error_code ec;
        if (path != "/tmp/") std::filesystem::remove_all(path, ec);
    }
};

const std::string& Scratch() {
    static const ScratchFolder folder;
    return folder.path;
}

void Prepare(TemplateRecordT& record) {
    record.Context.RootFolder = Scratch();
    record.Context.TemplateFolder = Scratch();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    rowsmith::fuzz::FuzzInput in(data, size);
    const uint8_t options = in.Byte();
    const bool persist = options & 1;
    const int nested = (options >> 1) & 1;
    const bool prepared = (options >> 2) & 1;
    const std::string_view template_text = in.Text();
    std::vector<std::string_view> lines;
    while (!in.AtEnd() && lines.size() < 64) lines.push_back(in.Text());
    if (lines.empty()) lines.emplace_back();

    auto shared = std::make_unique<TemplateRecordT>();
    Prepare(*shared);
    PreparedTemplate once;
    once.Set(template_text);
    for (std::string_view line : lines) {
        std::unique_ptr<TemplateRecordT> fresh;
        TemplateContext* context = &shared->Context;
        if (!persist) {
            fresh = std::make_unique<TemplateRecordT>();
            Prepare(*fresh);
            context = &fresh->Context;
        }
        SetVariable(*context, "line", line);
        std::string out;
        if (prepared)
            once.ExpandAppend(*context, out, nested);
        else
            ExpandTemplate(template_text, *context, nested, out);
        FUZZ_CHECK(out.size() <= context->MaxTextSize);
    }
    return 0;
}
