#include "files/file_list.h"

#include <algorithm>

#include "files/paths.h"
#include "files/platform_fs.h"
#include "text/chars.h"

namespace rowsmith::files {

namespace {

class PosixCellServices final : public tables::CellServices {
public:
    std::string FinalDestinationPath(std::string_view source_root, std::string_view full_path,
                                     std::string_view destination, uint8_t mode) const override {
        return files::FinalDestinationPath(source_root, full_path, destination, mode);
    }
    std::string ResolvePath(std::string_view relative, std::string_view base) const override {
        return Resolve(relative, base);
    }
    std::string FolderPart(std::string_view path) const override { return files::FolderPart(path); }
    std::string NamePart(std::string_view path) const override { return files::NamePart(path); }
    std::string JoinPath(std::string_view left, std::string_view right) const override { return Join(left, right); }
    std::string PathRoot(std::string_view path) const override { return Root(path); }
    bool FolderExists(std::string_view path) const override { return fs::FolderExists(path); }
    std::string ReadColumnFile(std::string_view path, int64_t offset, int64_t length) const override {
        fs::File f;
        if (!f.OpenRead(path)) return {};
        std::string out;
        char piece[4024];
        while (static_cast<int64_t>(out.size()) < length) {
            const int64_t want = std::min<int64_t>(sizeof piece, length - static_cast<int64_t>(out.size()));
            const int64_t n = f.ReadAt(piece, want, offset + static_cast<int64_t>(out.size()));
            if (n <= 0) break;
            out.append(piece, static_cast<std::size_t>(n));
        }
        return out;
    }
    bool OpenDocument(std::string_view path) const override;
};

bool PosixCellServices::OpenDocument(std::string_view path) const { return fs::OpenWithDesktop(path); }

}  // namespace

const tables::CellServices& NativeCellServices() {
    static const PosixCellServices services;
    return services;
}

void InitFileList(tables::ArrayOfFiles& table, int32_t initial_capacity) {
    table.Init(initial_capacity);
    table.Services = &NativeCellServices();
}

namespace {

const FileColumnDef kColumns[] = {
    {tables::kCodeNumber, nullptr, "10|20|50", true},
    {tables::kCodeOriginalNumber, nullptr, "10|20|50", false},
    {tables::kCodeFullPath, "Full path", "20", false},
    {tables::kCodeFilename, "Filename", "80", true},
    {tables::kCodeFilenameName, "FilenameNAME", "40", false},
    {tables::kCodeFilenameExt, "FilenameEXT", "10", false},
    {tables::kCodeSeparator, "FilenameSEPARATOR", "10", false},
    {tables::kCodePath, "Path", "30", false},
    {tables::kCodeFinalDestination, "FinalDestinationPath", "30", true},
    {tables::kCodeLengthFilename, "Length Filename", "10", false},
    {tables::kCodeLengthName, "Length FilenameNAME", "10", false},
    {tables::kCodeLengthExt, "Length FilenameEXT", "10", false},
    {tables::kCodeLengthSeparator, "Length FilenameSEPARATOR", "10", false},
    {tables::kCodeSize, "Size", "10", false},
    {tables::kCodeDate, "Date", "20", false},
    {tables::kCodeTime, "Time", "20", false},
    {tables::kCodeDateAccessed, "DateAccessed", "20", false},
    {tables::kCodeTimeAccessed, "TimeAccessed", "20", false},
    {tables::kCodeDateCreated, "DateCreated", "20", false},
    {tables::kCodeTimeCreated, "TimeCreated", "20", false},
};

}  // namespace

const FileColumnDef* FileColumns(int& count) {
    count = static_cast<int>(sizeof kColumns / sizeof kColumns[0]);
    return kColumns;
}

void DefineFileColumns(tables::ArrayOfFiles& table) {
    for (const FileColumnDef& c : kColumns) {
        if (!c.name) continue;
        table.SetColumnName(c.code, c.name, "");
        table.AddSynonym(c.code, text::LowerCase(c.name));
    }
    for (int code : {tables::kCodeNumber, tables::kCodeOriginalNumber, tables::kCodeSize})
        table.Formatting(code).GroupDigits = 1;
}

int FindColumn(const tables::ArrayOfFiles& table, std::string_view name) {
    if (name.empty()) return -1;
    const int by_name = table.CodeOfName(name);
    if (by_name >= 0) return by_name;
    for (int c = 0; c <= tables::kMaxCode; ++c)
        if (text::EqualsIgnoreCase(table.ColumnCaption(c), name)) return c;
    return table.CodeOfSynonym(name);
}

}  // namespace rowsmith::files
