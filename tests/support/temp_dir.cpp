#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace rowsmith::testing {

namespace stdfs = std::filesystem;

TempDir::TempDir() {
    std::string tmpl = (stdfs::temp_directory_path() / "rowsmith-test-XXXXXX").string();
    char* made = mkdtemp(tmpl.data());
    path_ = made ? std::string(made) : tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Make everything removable again (tests take permissions away).
    for (auto it = stdfs::recursive_directory_iterator(path_, stdfs::directory_options::skip_permission_denied, ec);
         !ec && it != stdfs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code ec2;
        if (!it->is_symlink(ec2)) stdfs::permissions(it->path(), stdfs::perms::owner_all, stdfs::perm_options::add, ec2);
    }
    stdfs::permissions(path_, stdfs::perms::owner_all, stdfs::perm_options::add, ec);
    stdfs::remove_all(path_, ec);
}

std::string TempDir::operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

void WriteFile(const std::string& path, std::string_view bytes) {
    std::error_code ec;
    stdfs::create_directories(stdfs::path(path).parent_path(), ec);
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return stdfs::exists(stdfs::symlink_status(path, ec));
}

std::map<std::string, std::string> TreeSnapshot(const std::string& root) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (auto it = stdfs::recursive_directory_iterator(root, stdfs::directory_options::skip_permission_denied, ec);
         !ec && it != stdfs::recursive_directory_iterator(); it.increment(ec)) {
        // Lexically: stdfs::relative resolves links, which would file a link under its target's name.
        const std::string rel = it->path().lexically_relative(root).string();
        std::error_code ec2;
        if (it->is_symlink(ec2)) {
            out[rel] = "link:" + stdfs::read_symlink(it->path(), ec2).string();
            it.disable_recursion_pending();
        } else if (it->is_directory(ec2)) {
            out[rel] = "dir";
        } else {
            const std::string bytes = ReadFile(it->path().string());
            // FNV-1a is enough to notice any change in a test tree.
            uint64_t h = 1469598103934665603ULL;
            for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ULL;
            out[rel] = std::to_string(bytes.size()) + ":" + std::to_string(h);
        }
    }
    return out;
}

std::string SourceDir() {
    const char* env = std::getenv("ROWSMITH_SOURCE_DIR");
    return env ? env : ".";
}

}  // namespace rowsmith::testing
