#include "tables/string_table.h"

#include <algorithm>

#include "text/chars.h"
#include "text/dates.h"
#include "text/numbers.h"
#include "text/strings.h"

namespace rowsmith::tables {

namespace {

const std::string kEmpty;

// The native root stands in for the Windows root "c:\" as the default of the path header fields.
constexpr const char* kDefaultRoot = "/";

std::string TwoDigits(int n) {
    std::string s = text::IntText(n);
    return s.size() < 2 ? "0" + s : s;
}

bool HasPathSeparator(std::string_view s) { return s.find_first_of("\\/") != std::string_view::npos; }

std::string FirstDigitRun(std::string_view s) {
    const std::size_t start = s.find_first_of("0123456789");
    if (start == std::string_view::npos) return {};
    std::size_t end = start;
    while (end < s.size() && text::IsDigit(s[end])) ++end;
    std::string_view run = s.substr(start, end - start);
    while (run.size() > 1 && run.front() == '0') run.remove_prefix(1);
    return std::string(run);
}

// Cells of an entry of the synonym list, as words.
bool ListHasWord(std::string_view list, std::string_view word) {
    std::size_t pos = 0;
    while (pos <= list.size()) {
        std::size_t next = list.find(',', pos);
        if (next == std::string_view::npos) next = list.size();
        if (list.substr(pos, next - pos) == word) return true;
        pos = next + 1;
    }
    return false;
}

std::string RemoveWord(std::string_view list, std::string_view word) {
    std::string out;
    std::size_t pos = 0;
    while (pos <= list.size()) {
        std::size_t next = list.find(',', pos);
        if (next == std::string_view::npos) next = list.size();
        const std::string_view w = list.substr(pos, next - pos);
        if (w != word && !w.empty()) {
            if (!out.empty()) out += ',';
            out.append(w);
        }
        pos = next + 1;
    }
    return out;
}

std::string DateOf(int64_t ns, std::string_view format) {
    return text::FormatDateTime(format, "0", text::DateValueFromUnix(ns));
}

// The name's smallest byte (unsigned), for sorting by it.
std::string SmallestByte(const std::string& n) {
    if (n.empty()) return {};
    return std::string(1, *std::min_element(n.begin(), n.end(), [](char a, char b) {
        return static_cast<unsigned char>(a) < static_cast<unsigned char>(b);
    }));
}

// The shape of a name: every letter "a", every digit "0", other characters as they are, so names of
// the same pattern ("img0012", "img0013") group together.
std::string NameShape(std::string n) {
    for (char& c : n) {
        if (text::IsDigit(c))
            c = '0';
        else if (text::IsLetter(c))
            c = 'a';
    }
    return n;
}

// The file facts a computed code shows: the size and the dates; empty where the row has none.
std::string FileFactCell(const FileInfoT* facts, int code) {
    if (code == kCodeSize) return facts && facts->Size >= 0 ? text::IntText(facts->Size) : std::string();
    if (!facts || !facts->HasDates) return {};
    switch (code) {
        case kCodeDate: return DateOf(facts->WriteNs, "yyyy-mm-dd");
        case kCodeTime: return DateOf(facts->WriteNs, "HH:ii:ss:l");
        case kCodeDateAccessed: return DateOf(facts->AccessNs, "yyyy-mm-dd");
        case kCodeTimeAccessed: return DateOf(facts->AccessNs, "HH:ii:ss:l");
        case kCodeDateCreated: return DateOf(facts->CreationNs, "yyyy-mm-dd");
        case kCodeTimeCreated: return DateOf(facts->CreationNs, "HH:ii:ss:l");
        case kCodeZodiac:
        case kCodeWeekday: {
            const auto d = text::DecodeDateInfo(text::DateValueFromUnix(facts->WriteNs));
            return text::IntText(code == kCodeZodiac ? text::ZodiacSign(d.Day, d.Month)
                                                     : text::Weekday(d.Day, d.Month, d.Year));
        }
        default: return {};
    }
}

// The host of a web address, for the column switch that reduces a cell to its host.
std::string SimpleHost(std::string_view a) {
    std::size_t p = a.find("://");
    if (p != std::string_view::npos) a.remove_prefix(p + 3);
    if (a.size() >= 4 && text::EqualsIgnoreCase(a.substr(0, 4), "www.")) a.remove_prefix(4);
    const std::size_t end = a.find_first_of("/\\:?#");
    return std::string(a.substr(0, end));
}

}  // namespace

bool IsComputedCode(int code) {
    if (code < 61 || code > kMaxCode) return false;
    if (code >= 62 && code <= 66) return false;
    return code != 78 && code != 102;
}

int64_t CellAsInteger64(std::string_view text) {
    const double v = text::ReadNumber(text, 0);
    if (!(v > -9.2e18 && v < 9.2e18)) return 0;
    return static_cast<int64_t>(v);
}

ArrayOfFiles::ArrayOfFiles() { Init(0); }

void ArrayOfFiles::SetInitialMetadata() {
    for (auto& c : Columns) c = ColumnMeta{};
    Columns[kCodeData] = {"Data", "Data", "\xD6,alphabetical,data"};
    Columns[kCodeNumber] = {"Number", "Number", "number,#"};
    Columns[kCodeOriginalNumber] = {"#orig", "Original number", "original number"};
    Columns[kCodeSize].Synonyms = "filesize";
    Columns[kCodeAlphabetGroup].Synonyms = "alphabetgroup";
    Columns[kCodePath].Synonyms = "filepath";
    Columns[kCodeFilenameName].Synonyms = "filenamename";
    Columns[kCodeFilenameExt].Synonyms = "filenameext";
    Columns[kCodeSmallestChar].Synonyms = "sortsmallestchar";
}

void ArrayOfFiles::Init(int32_t initial_capacity) {
    RowCount = 0;
    AddedCount = 0;
    CurrentSection.clear();
    ReservedText.clear();
    CurrentSectionNumber = 0;
    OpenValueRow = -1;
    ValueSeparator.clear();
    PrimaryCode = 0;
    SourceRoot = kDefaultRoot;
    DestinationRoot = kDefaultRoot;
    DestinationMode = 0;
    LineIterator = text::LoopT{};
    IntervalText.clear();
    SetInitialMetadata();
    PathPool.clear();
    for (auto& f : ColumnFiles) f.clear();
    ColumnFileHandle = -1;
    Rows.clear();
    Rows.emplace_back();
    PathPoolLast = 0;
    NaturalCompare = 0;
    SortText = "alphabetical";
    SortKeys.clear();
    PathPooling = 0;
    KeySeparator = "^";
    KeepEmptyLines = 1;
    KeepBlankLines = 1;
    LineFilter = nullptr;
    UniqueLines = 0;
    UniqueIgnoresCase = 1;
    SplitEntries = 1;
    EntrySeparator = '|';
    TrimEntries = 1;
    QuotedEntries = 1;
    QuoteCharacter = '"';
    SubfolderLevels = 0;
    ProgressCallback = nullptr;
    UnlistedFolderCallback = nullptr;
    ScanFilter = nullptr;
    ListEntriesUnchecked = 1;
    ListWhat = 2;
    KeyValueDataMode = 0;
    TemplateContext = nullptr;
    SortProgress.Reset();
    ColumnFormatting.clear();
    arena_.clear();
    arena_waste_ = 0;
    has_last_folder_ = false;
    if (initial_capacity > 0) Reserve(initial_capacity, true);
}

void ArrayOfFiles::Clear() {
    Rows.clear();
    Rows.emplace_back();
    PathPool.clear();
    PathPoolLast = 0;
    IntervalText.clear();
    for (auto& f : ColumnFiles) f.clear();
    ColumnFileHandle = -1;
    RowCount = 0;
    AddedCount = 0;
    arena_.clear();
    arena_waste_ = 0;
    has_last_folder_ = false;
    // A table that held a large file gives its memory back; small ones keep it for the next file.
    if (arena_.capacity() > (64u << 20)) std::string().swap(arena_);
    if (Rows.capacity() > (1u << 20)) {
        std::vector<DataRecT> fresh;
        fresh.emplace_back();
        Rows.swap(fresh);
    }
}

void ArrayOfFiles::Reserve(int32_t n, bool exact) {
    if (n < 0) return;
    const std::size_t want = static_cast<std::size_t>(n) + 1;
    if (want <= Rows.capacity()) return;
    if (exact)
        Rows.reserve(want);
    else
        Rows.reserve(std::max(want, Rows.capacity() + Rows.capacity() / 2));
}

void ArrayOfFiles::ShrinkToFit() {
    // Rows holds exactly RowCount + 1 elements; only capacity beyond a quarter is given back, so that
    // loading a large file does not copy its rows once more at the end.
    if (Rows.capacity() > Rows.size() + Rows.size() / 4 + 64) Rows.shrink_to_fit();
}

DataRecT& ArrayOfFiles::AddRow() {
    const int32_t n = RowCount + 1;
    if (Rows.size() == Rows.capacity()) {
        // Steps of min(10000, max(rows / 4 + 10, 50)) at the least, geometric beyond, so that adding
        // rows stays linear however long the table grows.
        const std::size_t step = static_cast<std::size_t>(std::min(10000, std::max(RowCount / 4 + 10, 50)));
        Rows.reserve(std::max(Rows.size() + step + 1, Rows.capacity() + Rows.capacity() / 2));
    }
    Rows.emplace_back();
    DataRecT& r = Rows.back();
    r.OriginalNumber = n;
    RowCount = n;
    ++AddedCount;
    return r;
}

DataRecT& ArrayOfFiles::AppendRow(DataRecT&& row) {
    DataRecT& r = AddRow();
    const int32_t number = r.OriginalNumber;
    r = std::move(row);
    r.OriginalNumber = number;
    r.Kind = 3;
    return r;
}

DataRecT& ArrayOfFiles::AddRowWithText(std::string_view text, int code) {
    DataRecT& r = AddRow();
    r.Kind = 3;
    if (code >= 0 && code <= kMaxCode) StoreCell(r, code, text);
    return r;
}

DataRecT* ArrayOfFiles::Row(int32_t row) {
    if (row == 0) row = RowCount;
    if (row < 1 || row > RowCount) return nullptr;
    return &Rows[static_cast<std::size_t>(row)];
}

const DataRecT* ArrayOfFiles::Row(int32_t row) const {
    if (row == 0) row = RowCount;
    if (row < 1 || row > RowCount) return nullptr;
    return &Rows[static_cast<std::size_t>(row)];
}

bool ArrayOfFiles::IntervalRowIncluded(int32_t row) const {
    const DataRecT* r = Row(row);
    return r && row != 0 && r->Included != 0;
}

int32_t ArrayOfFiles::IncludedCount() const {
    int32_t n = 0;
    for (int32_t i = 1; i <= RowCount; ++i)
        if (Rows[static_cast<std::size_t>(i)].Included) ++n;
    return n;
}

std::string_view ArrayOfFiles::LineView(int32_t row) const {
    const DataRecT* r = Row(row);
    if (!r) return {};
    return std::string_view(arena_).substr(r->TextOffset, r->TextLength);
}

std::string ArrayOfFiles::StoredCell(const DataRecT& r, int code) const {
    if (!ColumnFiles[static_cast<std::size_t>(code)].empty()) {
        // A file-backed column: the cell holds the length, code 102 the byte offset.
        if (!Services) return {};
        std::string length_text, offset_text;
        if (code == 0)
            length_text.assign(arena_, r.TextOffset, r.TextLength);
        else if (PackedNameCell(r, code, length_text))
            ;
        else if (r.Extra)
            for (const auto& [c, v] : r.Extra->Cells)
                if (c == code) length_text = v;
        if (r.Extra)
            for (const auto& [c, v] : r.Extra->Cells)
                if (c == kCodeColumnOffset) offset_text = v;
        const int64_t length = CellAsInteger64(length_text);
        const int64_t offset = CellAsInteger64(offset_text);
        if (length <= 0 || offset < 0) return {};
        return Services->ReadColumnFile(ColumnFiles[static_cast<std::size_t>(code)], offset, length);
    }
    if (code == kCodeData) return arena_.substr(r.TextOffset, r.TextLength);
    if (code == kCodePath && PathPooling) {
        const int32_t idx = r.Extra ? r.Extra->PoolIndex : 0;
        if (idx <= 0 || idx >= static_cast<int32_t>(PathPool.size())) return {};
        return PathPool[static_cast<std::size_t>(idx)];
    }
    if (!r.Extra) return {};
    if (std::string packed; PackedNameCell(r, code, packed)) return packed;
    for (const auto& [c, v] : r.Extra->Cells)
        if (c == code) return v;
    return {};
}

bool ArrayOfFiles::PackedNameCell(const DataRecT& r, int code, std::string& out) const {
    if (!r.Extra || !r.Extra->NamesPacked || code < kCodeFullPath || code > kCodeSeparator) return false;
    const RowExtra& x = *r.Extra;
    const std::string_view all(arena_);
    const std::string_view folder = all.substr(x.FolderOffset, x.FolderLength);
    const std::string_view name = all.substr(x.NameOffset, x.NameLength);
    const std::string_view lower = x.NamesPacked == 2 ? all.substr(x.NameOffset + x.NameLength, x.NameLength) : name;
    const std::size_t dot = name.rfind('.');
    const std::size_t base = dot == std::string_view::npos ? name.size() : dot;
    const std::size_t ext_start = dot == std::string_view::npos ? name.size() : dot + 1;
    switch (code) {
        case kCodeFullPath:
            out.reserve(folder.size() + name.size());
            out.assign(folder);
            out.append(name);
            break;
        case kCodePath: out.assign(folder); break;
        case kCodeFilename: out.assign(name); break;
        case kCodeFilenameName: out.assign(name.substr(0, base)); break;
        case kCodeFilenameExt: out.assign(name.substr(ext_start)); break;
        case kCodeFilenameLower: out.assign(lower); break;
        case kCodeNameLower: out.assign(lower.substr(0, base)); break;
        case kCodeExtLower: out.assign(lower.substr(ext_start)); break;
        default: out.assign("."); break;  // kCodeSeparator
    }
    return true;
}

void ArrayOfFiles::SetNameCellsOf(DataRecT& row, std::string_view folder, std::string_view name,
                                  std::string_view lower_name) {
    RowExtra& x = row.Ext();
    const std::size_t dot = name.rfind('.');
    const std::size_t base = dot == std::string_view::npos ? name.size() : dot;
    const std::size_t ext_start = dot == std::string_view::npos ? name.size() : dot + 1;
    // A pooled folder lives in the path pool, so such a table keeps ordinary cells.
    if (PathPooling || lower_name.size() != name.size() || folder.size() > UINT32_MAX || name.size() > UINT16_MAX) {
        std::string full(folder);
        full.append(name);
        StoreCell(row, kCodeFullPath, full);
        StoreCell(row, kCodePath, folder);
        StoreCell(row, kCodeFilename, name);
        StoreCell(row, kCodeFilenameName, name.substr(0, base));
        StoreCell(row, kCodeFilenameExt, name.substr(ext_start));
        StoreCell(row, kCodeSeparator, ".");
        StoreCell(row, kCodeFilenameLower, lower_name);
        StoreCell(row, kCodeNameLower, lower_name.substr(0, std::min(base, lower_name.size())));
        StoreCell(row, kCodeExtLower, lower_name.substr(std::min(ext_start, lower_name.size())));
        return;
    }
    if (x.NamesPacked) arena_waste_ += static_cast<std::size_t>(x.NameLength) * x.NamesPacked;
    // The pieces replace every name cell the row held.
    std::erase_if(x.Cells, [](const std::pair<uint8_t, std::string>& c) {
        return c.first >= kCodeFullPath && c.first <= kCodeSeparator;
    });
    if (!has_last_folder_ || std::string_view(arena_).substr(last_folder_offset_, last_folder_length_) != folder) {
        last_folder_offset_ = arena_.size();
        last_folder_length_ = static_cast<uint32_t>(folder.size());
        has_last_folder_ = true;
        arena_.append(folder);
    }
    x.FolderOffset = last_folder_offset_;
    x.FolderLength = last_folder_length_;
    x.NameOffset = arena_.size();
    x.NameLength = static_cast<uint16_t>(name.size());
    arena_.append(name);
    if (lower_name == name) {
        x.NamesPacked = 1;
    } else {
        x.NamesPacked = 2;
        arena_.append(lower_name);
    }
}

void ArrayOfFiles::UnpackNameCells(DataRecT& r) {
    RowExtra& x = *r.Extra;
    std::array<std::string, kCodeSeparator - kCodeFullPath + 1> texts;
    for (int code = kCodeFullPath; code <= kCodeSeparator; ++code)
        PackedNameCell(r, code, texts[static_cast<std::size_t>(code - kCodeFullPath)]);
    // The folder piece may serve other rows; only the name pieces become waste.
    arena_waste_ += static_cast<std::size_t>(x.NameLength) * x.NamesPacked;
    x.NamesPacked = 0;
    x.FolderOffset = 0;
    x.NameOffset = 0;
    x.FolderLength = 0;
    x.NameLength = 0;
    for (int code = kCodeFullPath; code <= kCodeSeparator; ++code)
        PutCell(x, code, texts[static_cast<std::size_t>(code - kCodeFullPath)]);
}

void ArrayOfFiles::StoreCell(DataRecT& r, int code, std::string_view text) {
    if (code == kCodeData) {
        if (text.size() <= r.TextLength && r.TextLength > 0) {
            // Shorter texts are written in place; the tail stays as waste.
            arena_.replace(r.TextOffset, text.size(), text);
            arena_waste_ += r.TextLength - text.size();
        } else {
            arena_waste_ += r.TextLength;
            r.TextOffset = arena_.size();
            arena_.append(text);
        }
        r.TextLength = static_cast<uint32_t>(text.size());
        return;
    }
    if (code == kCodePath && PathPooling) {
        SetPoolPath(r, text);
        return;
    }
    if (code >= kCodeFullPath && code <= kCodeSeparator && r.Extra && r.Extra->NamesPacked) UnpackNameCells(r);
    PutCell(r.Ext(), code, text);
}

void ArrayOfFiles::PutCell(RowExtra& x, int code, std::string_view text) {
    auto& cells = x.Cells;
    auto it = std::lower_bound(cells.begin(), cells.end(), code,
                               [](const std::pair<uint8_t, std::string>& p, int c) { return p.first < c; });
    if (it != cells.end() && it->first == code) {
        it->second.assign(text);
    } else {
        cells.insert(it, {static_cast<uint8_t>(code), std::string(text)});
    }
}

void ArrayOfFiles::SetPoolPath(DataRecT& r, std::string_view text) {
    RowExtra& x = r.Ext();
    if (text.empty()) {
        x.PoolIndex = 0;
        return;
    }
    if (PathPool.empty()) PathPool.emplace_back();  // index 0 stands for "no entry"
    auto at = [&](int32_t i) -> const std::string* {
        if (i <= 0 || i >= static_cast<int32_t>(PathPool.size())) return nullptr;
        return &PathPool[static_cast<std::size_t>(i)];
    };
    if (const std::string* cur = at(x.PoolIndex); cur && *cur == text) return;
    if (const std::string* last = at(PathPoolLast); last && *last == text) {
        x.PoolIndex = PathPoolLast;
        return;
    }
    if (const std::string* before = at(PathPoolLast - 1); before && *before == text) {
        x.PoolIndex = PathPoolLast - 1;
        return;
    }
    if (PathPool.size() == PathPool.capacity()) PathPool.reserve(PathPool.size() + 51);
    PathPool.emplace_back(text);
    PathPoolLast = static_cast<int32_t>(PathPool.size()) - 1;
    x.PoolIndex = PathPoolLast;
}

std::string ArrayOfFiles::GetCell(int32_t row, int code, bool dress) const {
    if (code < 0 || code > kMaxCode) return {};
    if (row == 0) row = RowCount;
    const DataRecT* r = Row(row);
    if (!r) return {};
    std::string v = IsComputedCode(code) ? ComputedCell(*r, row, code) : StoredCell(*r, code);
    if (dress) return DressCell(code, std::move(v));
    return v;
}

void ArrayOfFiles::SetCell(int32_t row, int code, std::string_view text) {
    if (code < 0 || code > kMaxCode) return;
    DataRecT* r = Row(row);
    if (!r) return;
    switch (code) {
        case kCodeRowNumberField: r->Number = text::ReadInt(text); return;
        case kCodeIncluded: r->Included = text.empty() ? 0 : 1; return;
        case kCodePoolIndex: r->Ext().PoolIndex = text::ReadInt(text); return;
        case kCodeOriginalNumber: r->OriginalNumber = text::ReadInt(text); return;
        default: StoreCell(*r, code, text);
    }
}

std::string ArrayOfFiles::ComputedCell(const DataRecT& r, int32_t row, int code) const {
    switch (code) {
        case kCodeNumber: return text::IntText(row);
        case kCodeRowNumberField: return text::IntText(r.Number);
        case kCodeRandom: return text::RandomEngine()() & 1 ? "1" : "0";
        case kCodeIncluded: return r.Included ? "X" : "";
        case kCodePoolIndex: return text::IntText(r.Extra ? r.Extra->PoolIndex : 0);
        case kCodeOriginalNumber: return text::IntText(r.OriginalNumber);
        case kCodeKeyValueLine: return KeyValueWriteBack(r);
        case kCodeSectionOrder: return StoredCell(r, kCodeFilenameName) == "[]" ? "a" : "b";
        case kCodeAlphabetGroup: {
            const int pc = PrimaryCode == kCodeAlphabetGroup ? 0 : PrimaryCode;
            const std::string v = GetCell(row, pc);
            return std::string(1, text::AlphabeticalGroup(v, '0'));
        }
        case kCodeSize:
        case kCodeDate:
        case kCodeTime:
        case kCodeZodiac:
        case kCodeWeekday:
        case kCodeDateAccessed:
        case kCodeTimeAccessed:
        case kCodeDateCreated:
        case kCodeTimeCreated: return FileFactCell(r.Extra ? &r.Extra->Facts : nullptr, code);
        case kCodeReversedName:
        case kCodeReversedExt:
        case kCodeLengthName:
        case kCodeLengthExt:
        case kCodeLengthSeparator:
        case kCodeLengthFilename:
        case kCodeNameDigits:
        case kCodeExtDigits:
        case kCodeSmallestChar:
        case kCodeNameShape:
        case kCodeNameNumber: return NameFormCell(r, code);
        case kCodeDisplayName:
        case kCodeDisplayFolder:
        case kCodeDisplayFullPath:
        case kCodeNameChange:
        case kCodeFolderChange:
        case kCodeLastFolder:
        case kCodeFinalDestination: return DisplayPathCell(r, row, code);
        default: return StoredCell(r, code);
    }
}

std::string ArrayOfFiles::NameFormCell(const DataRecT& r, int code) const {
    auto length_of = [&](int c) { return text::IntText(static_cast<int64_t>(StoredCell(r, c).size())); };
    switch (code) {
        case kCodeReversedName: return text::ReverseText(StoredCell(r, kCodeFilenameName));
        case kCodeReversedExt: return text::ReverseText(StoredCell(r, kCodeFilenameExt));
        case kCodeLengthName: return length_of(kCodeFilenameName);
        case kCodeLengthExt: return length_of(kCodeFilenameExt);
        case kCodeLengthSeparator: return length_of(kCodeSeparator);
        case kCodeLengthFilename: return length_of(kCodeFilename);
        case kCodeNameDigits: return FirstDigitRun(StoredCell(r, kCodeFilenameName));
        case kCodeExtDigits: return FirstDigitRun(StoredCell(r, kCodeFilenameExt));
        case kCodeSmallestChar: return SmallestByte(StoredCell(r, kCodeFilenameName));
        case kCodeNameShape: return NameShape(StoredCell(r, kCodeFilenameName));
        case kCodeNameNumber: {
            // A fingerprint of the file name: the sum of its byte values.
            int64_t sum = 0;
            for (unsigned char c : StoredCell(r, kCodeFilename)) sum += c;
            return text::IntText(sum);
        }
        default: return {};
    }
}

std::string ArrayOfFiles::DisplayPathCell(const DataRecT& r, int32_t row, int code) const {
    auto stored = [&](int c) { return StoredCell(r, c); };
    // Without the path services the cells fall back to plain text arithmetic.
    switch (code) {
        case kCodeDisplayName: {
            std::string dn = stored(kCodeDisplayName);
            if (dn.empty()) dn = stored(kCodeFilename);
            if (Services && HasPathSeparator(dn))
                return Services->NamePart(Services->ResolvePath(dn, stored(kCodePath)));
            return dn;
        }
        case kCodeDisplayFolder: {
            const std::string dn = stored(kCodeDisplayName);
            if (Services && HasPathSeparator(dn))
                return Services->FolderPart(Services->ResolvePath(dn, stored(kCodePath)));
            return stored(kCodePath);
        }
        case kCodeDisplayFullPath: {
            const std::string folder = DisplayPathCell(r, row, kCodeDisplayFolder);
            const std::string name = DisplayPathCell(r, row, kCodeDisplayName);
            return Services ? Services->JoinPath(folder, name) : folder + name;
        }
        case kCodeNameChange: {
            const std::string a = stored(kCodeFilename);
            const std::string b = DisplayPathCell(r, row, kCodeDisplayName);
            if (a == b) return {};
            return text::EqualsIgnoreCase(a, b) ? "x" : "X";
        }
        case kCodeFolderChange: {
            const std::string a = stored(kCodePath);
            const std::string b = DisplayPathCell(r, row, kCodeDisplayFolder);
            if (a == b) return {};
            auto parent = [&](std::string p) {
                while (!p.empty() && (p.back() == '/' || p.back() == '\\')) p.pop_back();
                return Services ? Services->FolderPart(p) : p;
            };
            std::string mark = parent(a) == parent(b) ? "m" : "c";
            if (Services && !Services->FolderExists(b)) mark = text::UpperCase(mark);
            return mark;
        }
        case kCodeLastFolder: {
            std::string p = stored(kCodePath);
            const std::string root = Services ? Services->PathRoot(p) : std::string();
            if (p.empty() || p == root) return {};
            while (!p.empty() && (p.back() == '/' || p.back() == '\\')) p.pop_back();
            if (p.empty() || p + "/" == root || p + "\\" == root) return {};
            return Services ? Services->NamePart(p) : p;
        }
        case kCodeFinalDestination:
            if (!Services) return {};
            return Services->FinalDestinationPath(SourceRoot, stored(kCodeFullPath), DestinationRoot, DestinationMode);
        default: return {};
    }
}

InfoAdditionalT& ArrayOfFiles::Formatting(int code) {
    if (code < 0) code = 0;
    if (code > kMaxCode) code = kMaxCode;
    if (ColumnFormatting.size() <= static_cast<std::size_t>(code)) ColumnFormatting.resize(static_cast<std::size_t>(code) + 1);
    return ColumnFormatting[static_cast<std::size_t>(code)];
}

std::string ArrayOfFiles::DressCell(int code, std::string v) const {
    if (code < 0 || static_cast<std::size_t>(code) >= ColumnFormatting.size()) return v;
    const InfoAdditionalT& f = ColumnFormatting[static_cast<std::size_t>(code)];
    if (f.GroupDigits) {
        // Without a template context the file list groups with ","; a context decides itself.
        const char sep = TemplateContext ? TemplateContext->GroupSeparator() : ',';
        v = text::GroupThousands(v, 0, sep);
    }
    if (f.ReduceToRoot && Services) v = Services->PathRoot(v);
    if (f.ReduceToHost) v = TemplateContext ? TemplateContext->HostOfAddress(v) : SimpleHost(v);
    v += f.Suffix;
    if (TemplateContext && !f.DisplayTemplate.empty()) {
        std::string t = "{{|:{{$$$%\"";
        t += v;
        t += "\"$$$%}}|";
        t += f.DisplayTemplate;
        t += "}}";
        v = TemplateContext->ExpandTemplateText(t);
    }
    return v;
}

bool ArrayOfFiles::AddLine(std::string_view text, int code) {
    if (text.empty() && !KeepEmptyLines) return false;
    if (!KeepBlankLines && !text.empty() && text.find_first_not_of(" \t") == std::string_view::npos) return false;
    if (LineFilter && !LineFilter(text)) return false;
    if (UniqueLines && FindRow(text, code) != 0) return false;
    AddRowWithText(text, code);
    return true;
}

bool ArrayOfFiles::AddEntries(std::string_view text, int code) {
    std::vector<std::string> entries;
    if (!SplitEntries) {
        entries.emplace_back(text);
    } else {
        std::string cur;
        bool quoted = false;
        for (char c : text) {
            if (QuotedEntries && c == QuoteCharacter) quoted = !quoted;
            if (c == EntrySeparator && !quoted) {
                entries.push_back(std::move(cur));
                cur.clear();
                continue;
            }
            cur += c;
        }
        entries.push_back(std::move(cur));
    }
    bool any = false;
    for (std::string& e : entries) {
        if (TrimEntries) {
            const std::size_t a = e.find_first_not_of(" \t");
            const std::size_t b = e.find_last_not_of(" \t");
            e = a == std::string::npos ? std::string() : e.substr(a, b - a + 1);
        }
        if (QuotedEntries && !e.empty()) {
            if (e.front() == QuoteCharacter) e.erase(0, 1);
            if (!e.empty() && e.back() == QuoteCharacter) e.pop_back();
        }
        if (e.empty()) continue;
        AddRowWithText(e, code);
        any = true;
    }
    ShrinkToFit();
    return any;
}

void ArrayOfFiles::StartLineLoop() {
    text::StartLoopOnTable(LineIterator, IntervalText, this);
    text::RestartLoop(LineIterator);
}

int32_t ArrayOfFiles::FindRow(std::string_view text, int code) {
    const std::string wanted = UniqueIgnoresCase ? text::LowerCase(text) : std::string(text);
    text::LoopT loop;
    text::StartLoopOnTable(loop, IntervalText, this);
    text::RestartLoop(loop);
    while (text::NextInLoop(loop)) {
        std::string v = code == kCodeData ? std::string(LineView(loop.Current)) : GetCell(loop.Current, code);
        if (UniqueIgnoresCase) text::LowerCaseInPlace(v);
        if (v == wanted) return loop.Current;
    }
    return 0;
}

std::string ArrayOfFiles::ColumnName(int code) const {
    if (code < 0 || code > kMaxCode) return {};
    const std::string& n = Columns[static_cast<std::size_t>(code)].Name;
    if (!n.empty()) return n;
    return "Item" + TwoDigits(code);
}

std::string ArrayOfFiles::ColumnCaption(int code) const {
    if (code < 0 || code > kMaxCode) return {};
    const std::string& c = Columns[static_cast<std::size_t>(code)].Caption;
    return c.empty() ? ColumnName(code) : c;
}

std::string ArrayOfFiles::ColumnSynonyms(int code) const {
    if (code < 0 || code > kMaxCode) return {};
    std::string list = Columns[static_cast<std::size_t>(code)].Synonyms;
    const std::string name = text::LowerCase(ColumnName(code));
    std::string compact;
    for (char c : name)
        if (c != ' ') compact += c;
    for (const std::string& w : {name, compact}) {
        if (w.empty() || ListHasWord(list, w)) continue;
        if (!list.empty()) list += ',';
        list += w;
    }
    return list;
}

std::string ArrayOfFiles::FirstSynonym(int code) const {
    const std::string list = ColumnSynonyms(code);
    return list.substr(0, list.find(','));
}

void ArrayOfFiles::SetColumnName(int code, std::string_view name, std::string_view caption) {
    if (code < 0 || code > kMaxCode) return;
    Columns[static_cast<std::size_t>(code)].Name = name;
    Columns[static_cast<std::size_t>(code)].Caption = caption;
}

void ArrayOfFiles::AddSynonym(int code, std::string_view word_in) {
    if (code < 0 || code > kMaxCode) return;
    const std::string word = text::LowerCase(word_in);
    if (word.empty()) return;
    for (int c = 0; c <= kMaxCode; ++c) {
        if (c == code) continue;
        auto& s = Columns[static_cast<std::size_t>(c)].Synonyms;
        if (ListHasWord(s, word)) s = RemoveWord(s, word);
    }
    auto& mine = Columns[static_cast<std::size_t>(code)].Synonyms;
    if (ListHasWord(mine, word)) return;
    if (!mine.empty()) mine += ',';
    mine += word;
}

int ArrayOfFiles::CodeOfName(std::string_view name) const {
    for (int c = 0; c <= kMaxCode; ++c)
        if (text::EqualsIgnoreCase(ColumnName(c), name)) return c;
    return -1;
}

int ArrayOfFiles::CodeOfSynonym(std::string_view word) const {
    const std::string w = text::LowerCase(word);
    for (int c = kMaxCode; c >= 0; --c)
        if (ListHasWord(ColumnSynonyms(c), w)) return c;
    return -1;
}

}  // namespace rowsmith::tables
