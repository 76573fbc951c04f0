// Job files: any text the reader accepts is written back to a text that reads as the same job, and
// any job built from the input (every text setting an arbitrary byte string) reads back exactly.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "run/job_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view whole(reinterpret_cast<const char*>(data), size);
    const rowsmith::run::JobParse read = rowsmith::run::ParseJob(whole, "fuzz");
    FUZZ_CHECK(read.Ok == read.Error.empty());
    if (read.Ok) {
        const rowsmith::run::JobParse again = rowsmith::run::ParseJob(rowsmith::run::FormatJob(read.Value));
        FUZZ_CHECK(again.Ok);
        FUZZ_CHECK(again.Value == read.Value);
    }

    rowsmith::fuzz::FuzzInput in(data, size);
    const uint8_t flags = in.Byte();
    rowsmith::run::Job job;
    job.Levels = in.Byte();
    job.Flat = flags & 1;
    job.CreateFolders = flags & 2;
    job.Overwrite = flags & 4;
    job.IntervalOn = flags & 8;
    job.TemplateOn = flags & 16;
    job.LineEnds = static_cast<rowsmith::files::LineEnds>((flags >> 5) % 3);
    for (std::string* field : {&job.Template, &job.Interval, &job.Source, &job.Destination, &job.Masks,
                               &job.Sort, &job.Encoding, &job.LegacyEncoding, &job.OutputEncoding})
        *field = in.Text();
    const rowsmith::run::JobParse back = rowsmith::run::ParseJob(rowsmith::run::FormatJob(job));
    FUZZ_CHECK(back.Ok);
    FUZZ_CHECK(back.Value == job);
    return 0;
}
