// Corpus replay without libFuzzer: feeds every file of the folders (or the files) named on the command
// line to the target once, so the normal test run keeps every kept input passing.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

namespace {

bool Replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
        return false;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::size_t replayed = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg(argv[i]);
        std::error_code ec;
        if (fs::is_directory(arg, ec)) {
            // Sorted, so that a failure always shows up at the same input.
            std::vector<fs::path> files;
            for (const auto& entry : fs::directory_iterator(arg, ec))
                if (entry.is_regular_file()) files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            if (files.empty()) {
                std::fprintf(stderr, "%s holds no inputs\n", argv[i]);
                ok = false;
            }
            for (const auto& f : files) {
                ok = Replay(f) && ok;
                ++replayed;
            }
        } else if (fs::is_regular_file(arg, ec)) {
            ok = Replay(arg) && ok;
            ++replayed;
        } else {
            std::fprintf(stderr, "%s is neither a folder nor a file\n", argv[i]);
            ok = false;
        }
    }
    std::printf("replayed %zu inputs\n", replayed);
    return ok ? 0 : 1;
}
