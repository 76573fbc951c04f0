#pragma once
// Test helpers: a temporary folder that removes itself, file writing and reading, and a hash of a
// whole tree so that a test can prove that nothing else changed on disk.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace rowsmith::testing {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // path() joined with a relative name.
    std::string operator/(std::string_view name) const;

private:
    std::string path_;
};

// Writes bytes to a file, creating its folders.
void WriteFile(const std::string& path, std::string_view bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
// Every file and folder below root (relative names) with a content hash for files and "dir" for folders.
std::map<std::string, std::string> TreeSnapshot(const std::string& root);

// The project's source folder (for samples and golden cases).
std::string SourceDir();

}  // namespace rowsmith::testing
