#pragma once
// The string table ArrayOfFiles: rows of text cells addressed by field codes 0..103, some stored and
// some computed from file facts. It is the file list, the line buffer, the command-line table and the
// template engine's working table.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/form_gauge.h"
#include "text/intervals.h"

namespace rowsmith::tables {

constexpr int kCodeCount = 104;
constexpr int kMaxCode = 103;

// Field codes with a meaning of their own.
enum FieldCode : int {
    kCodeData = 0,
    kCodeFullPath = 51,
    kCodePath = 52,
    kCodeFilename = 53,
    kCodeFilenameName = 54,
    kCodeFilenameExt = 55,
    kCodeFilenameLower = 56,
    kCodeNameLower = 57,
    kCodeExtLower = 58,
    kCodeSeparator = 59,
    kCodeListFile = 60,
    kCodeDisplayName = 61,
    kCodeMask = 66,
    kCodeNumber = 67,
    kCodeDate = 68,
    kCodeRowNumberField = 69,
    kCodeRandom = 70,
    kCodeIncluded = 71,
    kCodeZodiac = 72,
    kCodeReversedName = 73,
    kCodeLengthName = 74,
    kCodeLengthExt = 75,
    kCodeLengthSeparator = 76,
    kCodeLengthFilename = 77,
    kCodeWeekday = 79,
    kCodeSize = 80,
    kCodeTime = 81,
    kCodePoolIndex = 82,
    kCodeReversedExt = 83,
    kCodeNameDigits = 84,
    kCodeExtDigits = 85,
    kCodeOriginalNumber = 86,
    kCodeSmallestChar = 87,
    kCodeNameShape = 88,
    kCodeNameNumber = 89,
    kCodeDisplayFolder = 90,
    kCodeDisplayFullPath = 91,
    kCodeNameChange = 92,
    kCodeFolderChange = 93,
    kCodeLastFolder = 94,
    kCodeKeyValueLine = 95,
    kCodeSectionOrder = 96,
    kCodeAlphabetGroup = 97,
    kCodeDateAccessed = 98,
    kCodeTimeAccessed = 99,
    kCodeDateCreated = 100,
    kCodeTimeCreated = 101,
    kCodeColumnOffset = 102,
    kCodeFinalDestination = 103,
};

// Whether a code is computed on reading rather than stored.
bool IsComputedCode(int code);

// File facts of a row. The texts of a file (path, name, folder) are the row's cells 51 to 53; the
// facts keep only what the cells do not hold, so a file list of 100,000 rows stays small.
struct FileInfoT {
    enum Type : uint8_t { kNotExamined = 1, kMissing = 2, kExists = 4, kFolderBit = 8, kFileBit = 16, kListFile = 32 };
    uint8_t TypeByte = kNotExamined;  // 1 not yet examined, 2 missing, 12 folder, 20 file (+32 list file)
    uint8_t PathKind = 0;
    int64_t WriteNs = 0;     // last write, Unix nanoseconds
    int64_t CreationNs = 0;  // creation
    int64_t AccessNs = 0;    // last access
    int64_t Size = -2;       // -2: not read
    uint32_t Attributes = 0;
    bool HasDates = false;
    uint64_t Device = 0;  // the file's identity, so that no alias of a listed file can be written over it
    uint64_t Inode = 0;
};

// The rarely used parts of a row, allocated on first use so that a line of the line buffer costs
// little more than its text.
struct RowExtra {
    std::vector<std::pair<uint8_t, std::string>> Cells;  // codes 1..103, sorted by code
    FileInfoT Facts;
    int32_t PoolIndex = 0;
    int32_t Depth = -1;  // folder-scan depth, -1 = the table's subfolder levels
    // The name cells 51..59 of a scanned file kept as pieces of the table's text arena: the folder
    // (shared by the rows of one folder), the name, and after it the lower-case name when it differs.
    // The cells are read out of the pieces; writing one of them first turns them into ordinary cells.
    // A file row so costs one allocation instead of a dozen.
    uint64_t FolderOffset = 0;
    uint64_t NameOffset = 0;
    uint32_t FolderLength = 0;
    uint16_t NameLength = 0;
    uint8_t NamesPacked = 0;  // 0 none, 1 the lower-case name is the name itself, 2 it follows the name
};

struct DataRecT {
    uint64_t TextOffset = 0;  // cell 0 lives in the table's text arena
    uint32_t TextLength = 0;
    int32_t OriginalNumber = 0;
    int32_t Number = 0;
    uint8_t Included = 1;
    uint8_t Kind = 3;  // 3 stored; 1 found in a folder, 2 read from a list file (scan candidates)
    std::unique_ptr<RowExtra> Extra;

    RowExtra& Ext() {
        if (!Extra) Extra = std::make_unique<RowExtra>();
        return *Extra;
    }
};

struct ColumnMeta {
    std::string Name;
    std::string Caption;
    std::string Synonyms;  // comma-separated lower-case words
};

struct InfoAdditionalT {
    uint8_t ReduceToRoot = 0;
    uint8_t ReduceToHost = 0;
    uint8_t GroupDigits = 0;
    std::string DisplayTemplate;
    std::string Suffix;
};

struct SortKey {
    int32_t Code = kCodeOriginalNumber;
    bool Descending = false;
    bool CaseSensitive = false;
    bool IsCellKey = false;
    std::string Expression;
};

class ArrayOfFiles;

// Services of higher layers that some computed codes and operations need: path arithmetic and file
// facts (files layer), and the template engine (template layer). Installed by those layers.
class CellServices {
public:
    virtual ~CellServices() = default;
    virtual std::string FinalDestinationPath(std::string_view source_root, std::string_view full_path,
                                             std::string_view destination, uint8_t mode) const = 0;
    virtual std::string ResolvePath(std::string_view relative, std::string_view base) const = 0;
    virtual std::string FolderPart(std::string_view path) const = 0;
    virtual std::string NamePart(std::string_view path) const = 0;
    virtual std::string JoinPath(std::string_view left, std::string_view right) const = 0;
    virtual std::string PathRoot(std::string_view path) const = 0;
    virtual bool FolderExists(std::string_view path) const = 0;
    // Reads `length` bytes at `offset` of a column file, in pieces of at most 4024 bytes.
    virtual std::string ReadColumnFile(std::string_view path, int64_t offset, int64_t length) const = 0;
    // Hands a document to the desktop's "open" handler.
    virtual bool OpenDocument(std::string_view path) const = 0;
};

class TemplateEvaluator {
public:
    virtual ~TemplateEvaluator() = default;
    // Expands a template text (written with "{{" and "}}") against the evaluator's context.
    virtual std::string ExpandTemplateText(std::string_view template_text) = 0;
    // Thousands separator of the template settings (0 = none).
    virtual char GroupSeparator() const = 0;
    // The host part of a web address.
    virtual std::string HostOfAddress(std::string_view address) = 0;
};

class ArrayOfFiles : public text::IntervalRows {
public:
    ArrayOfFiles();
    ArrayOfFiles(const ArrayOfFiles&) = delete;
    ArrayOfFiles& operator=(const ArrayOfFiles&) = delete;

    // --- header, in the order of the record ---
    int32_t RowCount = 0;
    int32_t AddedCount = 0;
    std::string CurrentSection;
    std::string ReservedText;
    int32_t CurrentSectionNumber = 0;
    int32_t OpenValueRow = -1;
    std::string ValueSeparator;
    int32_t PrimaryCode = 0;
    std::string SourceRoot;
    std::string DestinationRoot;
    uint8_t DestinationMode = 0;
    text::LoopT LineIterator;
    std::string IntervalText;
    std::array<ColumnMeta, kCodeCount> Columns;
    std::vector<std::string> PathPool;
    std::array<std::string, kCodeCount> ColumnFiles;
    int32_t ColumnFileHandle = -1;
    std::vector<DataRecT> Rows;  // element 0 is never a row
    int32_t PathPoolLast = 0;
    uint8_t NaturalCompare = 0;
    std::string SortText = "alphabetical";
    std::vector<SortKey> SortKeys;
    uint8_t PathPooling = 0;
    std::string KeySeparator = "^";
    uint8_t KeepEmptyLines = 1;
    uint8_t KeepBlankLines = 1;
    std::function<bool(std::string_view)> LineFilter;
    uint8_t UniqueLines = 0;
    uint8_t UniqueIgnoresCase = 1;
    uint8_t SplitEntries = 1;
    char EntrySeparator = '|';
    uint8_t TrimEntries = 1;
    uint8_t QuotedEntries = 1;
    char QuoteCharacter = '"';
    int32_t SubfolderLevels = 0;
    // Called by the folder scan with (caption, detail, percentage).
    std::function<void(std::string_view, std::string_view, int)> ProgressCallback;
    // Told of each folder a scan cannot list (it is passed over): the folder and the error number.
    std::function<void(const std::string& folder, int error)> UnlistedFolderCallback;
    // Called for every scan candidate; the name is the candidate's file or folder name.
    std::function<bool(const DataRecT&, std::string_view name)> ScanFilter;
    uint8_t ListEntriesUnchecked = 1;
    uint8_t ListWhat = 2;
    uint8_t KeyValueDataMode = 0;
    TemplateEvaluator* TemplateContext = nullptr;  // not owned
    text::TFormGauge SortProgress;
    std::vector<InfoAdditionalT> ColumnFormatting;
    const CellServices* Services = nullptr;  // not owned

    // --- operations ---
    void Init(int32_t initial_capacity = 0);
    void Clear();
    void Reserve(int32_t n, bool exact);
    void ShrinkToFit();
    DataRecT& AddRow();
    DataRecT& AddRowWithText(std::string_view text, int code);
    // Appends a row prepared with SetCellOf (a scan candidate); it gets the next original number.
    DataRecT& AppendRow(DataRecT&& row);
    // Stores a cell of a row that is not (yet) in the table; cell 0 goes into this table's arena, so
    // the row may only be appended to this table.
    void SetCellOf(DataRecT& row, int code, std::string_view text) {
        if (code >= 0 && code <= kMaxCode) StoreCell(row, code, text);
    }
    // Stores the name cells 51..59 of such a row as one piece: 51 folder + name, 52 the folder, 53 the
    // name, 54 and 55 the name before and after its last dot (55 empty without a dot), 59 ".", and 56..58
    // the same parts of `lower_name` (the name through the case tables, one byte for one byte).
    void SetNameCellsOf(DataRecT& row, std::string_view folder, std::string_view name, std::string_view lower_name);
    // The stored text of a cell of such a row.
    std::string StoredText(const DataRecT& row, int code) const {
        return code >= 0 && code <= kMaxCode ? StoredCell(row, code) : std::string();
    }
    // Row 0 is the last row; rows outside 1..RowCount read "" and ignore writes.
    std::string GetCell(int32_t row, int code, bool dress = false) const;
    void SetCell(int32_t row, int code, std::string_view text);
    // The stored text of cell 0 without copying (valid until the table changes).
    std::string_view LineView(int32_t row) const;
    // Appends the text as a new row under code unless a line rule refuses it; returns whether added.
    bool AddLine(std::string_view text, int code);
    bool AddEntries(std::string_view text, int code);
    void AddKeyValueLine(std::string_view text);
    void SetIntervalText(std::string_view text) { IntervalText = text; }
    void StartLineLoop();
    int32_t FindRow(std::string_view text, int code);
    int CodeOfName(std::string_view name) const;
    int CodeOfSynonym(std::string_view word) const;
    // Column metadata read with the fallbacks: "ItemNN" for an empty name, the name for an empty
    // caption, the name (and the name without blanks) added to the synonyms.
    std::string ColumnName(int code) const;
    std::string ColumnCaption(int code) const;
    std::string ColumnSynonyms(int code) const;
    std::string FirstSynonym(int code) const;
    void SetColumnName(int code, std::string_view name, std::string_view caption);
    // Adds a synonym to a code, taking it away from any other code.
    void AddSynonym(int code, std::string_view word);
    InfoAdditionalT& Formatting(int code);
    // Applies the column formatting of a code to a cell text.
    std::string DressCell(int code, std::string text) const;
    void ParseSortText();
    void Sort();
    // Number of rows with the inclusion flag set.
    int32_t IncludedCount() const;
    DataRecT* Row(int32_t row);
    const DataRecT* Row(int32_t row) const;

    // text::IntervalRows
    int32_t IntervalRowCount() const override { return RowCount; }
    bool IntervalRowIncluded(int32_t row) const override;

    // The text arena that holds every cell 0.
    const std::string& Arena() const { return arena_; }
    // Makes room for this many bytes of cell-0 text (a file about to be loaded).
    void ReserveText(std::size_t bytes) { arena_.reserve(bytes); }

private:
    std::string StoredCell(const DataRecT& r, int code) const;
    std::string ComputedCell(const DataRecT& r, int32_t row, int code) const;
    // Computed codes by kind: forms of the name cells, and the display paths with the destination.
    std::string NameFormCell(const DataRecT& r, int code) const;
    std::string DisplayPathCell(const DataRecT& r, int32_t row, int code) const;
    void StoreCell(DataRecT& r, int code, std::string_view text);
    void PutCell(RowExtra& x, int code, std::string_view text);
    // A name cell of a row whose name cells are one piece; false for other rows and codes.
    bool PackedNameCell(const DataRecT& r, int code, std::string& out) const;
    // Turns a row's piece of name cells into ordinary cells.
    void UnpackNameCells(DataRecT& r);
    void SetPoolPath(DataRecT& r, std::string_view text);
    std::string KeyValueWriteBack(const DataRecT& r) const;
    // Key/value mode, one line at a time: a line that continues an open multi-line value, or a line
    // taken apart into a header, key or comment row (KeyValueLine is defined in key_value.cpp).
    struct KeyValueLine;
    void HandleKeyValueLine(std::string_view line);
    void ContinueOpenValue(std::string_view raw);
    void EnterKeyValueSection(std::string_view name);
    std::string KeyValueSectionName() const;  // as written in the current section's header
    int32_t FindKeyValueRow(const KeyValueLine& line) const;  // 0 when the line needs a new row
    void StoreKeyValueRow(DataRecT& row, const KeyValueLine& line, std::string_view section_name);
    void SetInitialMetadata();

    std::string arena_;
    std::size_t arena_waste_ = 0;
    // The folder piece the last packed row stored, offered to the next row.
    uint64_t last_folder_offset_ = 0;
    uint32_t last_folder_length_ = 0;
    bool has_last_folder_ = false;
};

// Parses a sort text into keys (at most 50, original number appended as the final key).
std::vector<SortKey> ParseSortKeys(const ArrayOfFiles& table, std::string_view sort_text);

// The 32-bit size of a row as the processing run sums it: the decimal text read as a number and
// truncated; not a number, or outside the 32-bit range, counts as 0. 64-bit variant for safe sums.
int64_t CellAsInteger64(std::string_view text);

}  // namespace rowsmith::tables
