#pragma once
// Text files and file copy: the CR LF line reader, the destination writer (folders, overwrite,
// rename), and the copy of one file, all sharing one destination preparation. An existing destination
// is never touched until its replacement is complete: output goes to a temporary file in the
// destination folder that is renamed over the old one when it is closed.

#include <cstdint>
#include <memory>
#include <limits>
#include <string>
#include <string_view>
#include <vector>
#include <unordered_map>

#include "files/line_ends.h"
#include "files/line_index.h"
#include "files/platform_fs.h"
#include "text/encoding.h"
#include "text/form_gauge.h"

namespace rowsmith::tables {
class ArrayOfFiles;
}

namespace rowsmith::files {

// DestinationFlags bits.
constexpr uint8_t kNoCreateFolders = 1;
constexpr uint8_t kOverwrite = 2;
constexpr uint8_t kRename = 4;
constexpr uint8_t kSkipIdentical = 8;

// Destination status bits.
constexpr uint16_t kStatusError = 1;
constexpr uint16_t kStatusExists = 2;
constexpr uint16_t kStatusStop = 4;
constexpr uint16_t kStatusCopied = 8;
constexpr uint16_t kStatusDeleted = 16;  // the existing file is (to be) replaced
constexpr uint16_t kStatusNewName = 128;
constexpr uint16_t kStatusFoldersCreated = 256;
constexpr uint16_t kStatusFolderFailed = 512;
constexpr uint16_t kStatusOutside = 1024;  // the destination folder lies through a link out of the root

// 1 all folders existed, 0 some were created, -1 the first creation failed, -2 a later one failed.
int ForceFolders(std::string_view folder);
// The first free name formed with "_1", "_2", ... before the extension of the name part.
std::string MakeUniqueName(std::string_view path);
// Folders, then overwrite, rename or refusal when the destination exists. May change the path.
uint16_t PrepareDestination(std::string& path, uint8_t flags);
// The identities (device and inode) of a run's sources: no write may replace one of them, whatever
// path, link or alias leads to it. Filled before the run, read by its threads. A source removed during
// the run frees its inode for reuse, even by one of the run's own outputs; so an identity counts only
// while the source's path still leads to it (looked at on a match, which is rare).
class SourceSet {
public:
    void Add(uint64_t device, uint64_t inode, std::string path) { ids_.emplace(Key{device, inode}, std::move(path)); }
    bool Has(uint64_t device, uint64_t inode) const;

private:
    struct Key {
        uint64_t device, inode;
        bool operator==(const Key& o) const { return device == o.device && inode == o.inode; }
    };
    struct Hash {
        std::size_t operator()(const Key& k) const { return k.inode * 0x9E3779B97F4A7C15ULL ^ k.device; }
    };
    std::unordered_map<Key, std::string, Hash> ids_;
};

// The folder that a run's destinations stay beneath: each destination folder is opened below it,
// and a link on the way that leads out of it (or a file where a folder should be) refuses the row.
// The root itself is taken as the user named it, links and all. Without a root, a destination's folder
// is opened by its path. One object belongs to one thread; the folders it hands out may go to others.
class DestinationRoot {
public:
    explicit DestinationRoot(std::string root = std::string());
    // Opens (creating them when `flags` allow) the folders of `path`; `name` is its name part. The
    // status carries kStatusFolderFailed or kStatusOutside when the folder cannot be had; `error` why.
    uint16_t Place(std::string_view path, uint8_t flags, std::shared_ptr<const fs::Folder>& folder, std::string& name,
                   int& error);

    // The row of the run that the folders opened and made from now on serve.
    void SetRow(int32_t row) { row_ = row; }
    // A folder below the root that a row made or wrote into ("" is the root itself).
    struct FolderUse {
        int32_t Row = 0;
        std::string Relative;
        bool Made = false;
    };
    const std::vector<FolderUse>& FolderUses() const { return uses_; }
    // A run that stops at row `row` (a full disk) removes the folders that only rows after it made,
    // where they are still empty: rows prepared ahead of the stop leave the tree as one row after the
    // other leaves it. `all` holds every root of the run (this one included), whose rows share the tree.
    // A row below 1 (no row known) removes nothing.
    void RemoveFoldersMadeAfter(int32_t row, const std::vector<const DestinationRoot*>& all);

private:
    uint16_t OpenByPath(const std::string& folder_path, uint8_t flags, fs::Folder& out, int& error);
    uint16_t OpenBelowRoot(const std::string& relative, uint8_t flags, fs::Folder& out, int& error);
    uint16_t MakeFoldersBelowRoot(const std::string& relative, int& error);

    std::string root_;
    fs::Folder root_folder_;
    std::string cached_path_;  // a run writes file after file into one folder: it is opened once
    std::shared_ptr<const fs::Folder> cached_;
    int32_t row_ = 0;
    std::vector<FolderUse> uses_;
};

// What a write must respect: where its destination may be, the sources no write may replace, and the
// row's own source.
struct WriteRules {
    DestinationRoot* Root = nullptr;  // null: the destination's folder by its path
    const SourceSet* Sources = nullptr;
    bool HasOwn = false;
    uint64_t OwnDevice = 0, OwnInode = 0;
    // The destination is not looked at before the output is written: its name is taken at the commit
    // when free, and what holds it then is judged by the same rules (a look saved for every new file).
    bool DecideAtCommit = false;
};

// Copies one file; keeps its bytes, its modification time and its permission bits (those of the file it
// replaces, when it replaces one). The path actually written (after renaming) goes to *written.
uint16_t CopyFile(std::string_view source, std::string_view destination, uint8_t flags,
                  std::string* written = nullptr);
// Facts a caller already has: the source opened with fs::File::OpenSource and its facts.
struct KnownFacts {
    const fs::PathFacts* Source = nullptr;
    fs::File* SourceFile = nullptr;  // taken over by the copy
};
uint16_t CopyFile(std::string_view source, std::string_view destination, uint8_t flags, std::string* written,
                  const KnownFacts& known, const WriteRules* rules = nullptr);

// CopyFile in two steps, so that the bytes of one copy can move on another thread while the next
// destination is prepared: BeginCopy does every check, opens the source and creates the output file
// (without a name); FinishCopy moves the bytes, sets times and bits and gives it its name, checking the
// name once more. AbandonCopy instead leaves the destination as it was before BeginCopy.
struct PendingCopy {
    fs::File In, Out;
    fs::PathFacts SourceFacts;
    std::string Destination;  // the path to be written (after renaming)
    std::string Reason;       // why the copy was refused or failed, when the status alone cannot say
    std::shared_ptr<const fs::Folder> Folder;
    std::string Name;         // the destination's name in Folder
    std::string Temp;         // a temporary name in Folder, where files without a name cannot be made
    bool Replaces = false;    // an existing file is to be replaced
    WriteRules Rules;
    uint8_t Flags = 0;
    uint16_t Status = 0;
    int MoveError = 0;        // why the bytes did not move (MoveCopyBytes), 0 when they did
};
// False when the copy ends here: then `status` is its final status (nothing was written).
bool BeginCopy(std::string_view source, std::string_view destination, uint8_t flags, const KnownFacts& known,
               PendingCopy& copy, uint16_t& status, const WriteRules* rules = nullptr);
// The final status; copy.Destination is the path written. errno holds the error of a failure.
uint16_t FinishCopy(PendingCopy& copy);
// FinishCopy in its two halves, so that copies moved side by side take their names in table order:
// the bytes, times and bits (false on a failure, which CommitCopy then reports and cleans up), then the name.
bool MoveCopyBytes(PendingCopy& copy);
uint16_t CommitCopy(PendingCopy& copy);
void AbandonCopy(PendingCopy& copy);
// A short human-readable reason for a destination status that stopped or failed an operation.
std::string DestinationStatusReason(uint16_t status, int error = 0);

// How a file's bytes become text (text/encoding.h).
struct EncodingChoice {
    bool Detect = false;  // per file: a byte order mark, else UTF-8 when valid, else Legacy
    text::Encoding Fixed{text::EncodingKind::Bytes, false, {}};  // the encoding when not detecting
    std::string Legacy = "windows-1252";
};

// The encoding a file is read in, from its first block (`whole`: the block is the whole file): the
// detected one, or the one given with its byte order mark noticed when the block starts with it.
text::Encoding FirstBlockEncoding(const EncodingChoice& choice, std::string_view head, bool whole);

class TReadTextFile {
public:
    int32_t LinesRead = 0;
    int64_t BytesConsumed = 0;
    int64_t FileSize = 0;
    int64_t Remaining = 0;
    double Percent = 0;
    int64_t PreviousPosition = 0;
    std::string FileName;
    std::string CurrentLine;
    uint8_t Opened = 0;
    text::TFormGauge Progress;
    uint8_t ShowProgress = 0;
    uint8_t EndReached = 0;
    uint16_t LastIOStatus = 0;
    // Which LF ends a line; auto decides per file at its first LF (see LineSplitter).
    LineEnds Ends = LineEnds::Crlf;
    // Bytes read per block; any size gives the same lines.
    int64_t BlockSize = 1 << 20;
    // The file's encoding; by default its bytes are taken as they are.
    EncodingChoice Encodings;
    // Whether a detected file may be read again when a later block proves its first block wrong (see
    // WrongGuess): only a caller that can take back what it did with the lines allows it. Otherwise
    // such a file stays what the first block showed (UTF-8 with its odd bytes kept as they are), or
    // fails to read (a legacy or UTF-16 file with bytes that do not decode).
    bool MayReread = false;

    bool Open(std::string_view path);
    // The same with the file's facts already looked up (fs::GetFacts of this path).
    bool Open(std::string_view path, const fs::PathFacts& facts);
    // The next Open (also through LoadTextFile) takes this opened source instead of opening the path.
    void AdoptNext(fs::File& file) { adopt_ = &file; }
    bool ReadLine();
    // The next line as a view into the reader's buffer, valid until the next read.
    bool ReadLineView(std::string_view& line);
    bool ReadNonEmptyLine();
    // The next lines as they lie in the buffer, their line ends included, for a caller that changes
    // no line apart from the others: at least one line, valid until the next read; `lines` gets how
    // many, LastEnd() the end of the last one. Once Rule() is decided only (the first line read
    // with ReadLineView); false at the end, as ReadLineView.
    bool ReadLinesView(std::string_view& block, int64_t& lines,
                       int64_t most = std::numeric_limits<int64_t>::max());
    bool Close();
    // Reads the rest of the file without taking it apart into lines, for a caller that needs no more
    // lines but must know that the file reads to its end; false when a read fails.
    bool DrainToEnd();
    // The file's line count: exact once the whole file has been read into the buffer, otherwise
    // extrapolated from the lines of the bytes read so far. For a count rate, not for line numbers.
    int64_t EstimateLineCount() const;
    // A read failed after the file was opened (the lines read so far are incomplete).
    bool ReadFailed() const { return read_failed_; }
    // The encoding the file is read in (decided at Open when detected).
    const text::Encoding& FileEncoding() const { return encoding_; }
    // Whether a later block may still prove the encoding wrong (a detected UTF-8 file not yet read whole).
    bool EncodingMayChange() const { return mode_ == Mode::Validate && MayReread; }
    // A block proved the detected encoding wrong: the lines read so far are void and reading stopped.
    // Reread starts again from the first byte with the next guess (the legacy code page after UTF-8,
    // bytes after a code page or UTF-16 that does not decode).
    bool WrongGuess() const { return wrong_guess_; }
    bool Reread();
    // Why the bytes do not decode in the encoding given (empty when they do); the read then failed.
    const std::string& DecodeError() const { return decode_error_; }
    // What the line read last ended with (none for a last line without an end).
    LineEnd LastEnd() const { return last_end_; }
    // The rule the file follows: Crlf or Lf once a line end was seen; Auto before (or for a file
    // without any, which is one line).
    LineEnds Rule() const { return splitter_.Rule(); }
    // Counts the file's lines without keeping them (files::CountLines), checking its bytes as reading
    // them would: the outcome is that of reading the file to its end (WrongGuess, DecodeError,
    // ReadFailed, Rule, LinesRead); false when it did not read whole. The reading record is fed by
    // blocks and finished. For an encoding with text::LineFeedsAreUnits, right after Open or Reread.
    bool CountLines(LineIndex& index);
    // The file opened, for reading its lines where they lie after CountLines (until Close).
    fs::File& Source() { return file_; }

private:
    bool FillUntilLineEnd();
    // Appends the next block of text to the pending bytes; false at the end or on a failure (then
    // EndReached is set).
    bool ReadBlock();
    // Appends the next block of the file's bytes to `into`; false at the end or on a failure.
    bool ReadRaw(std::string& into);
    // Reads the first block and decides the encoding (the given one, or detected).
    bool StartText(const text::Encoding* forced);
    void CheckUtf8();
    void DecodeFailed(const std::string& error);
    void ResetLines();
    // The counters of the bytes (`taken`, in the text) and lines consumed.
    void Consume(int64_t taken, int64_t lines);
    void Account(std::string_view line, int64_t terminator);
    void FeedProgress(std::string_view line);

    enum class Mode : uint8_t { Pass, Validate, Decode };
    Mode mode_ = Mode::Pass;
    text::Encoding encoding_{text::EncodingKind::Bytes, false, {}};
    text::Decoder decoder_;
    std::string raw_;              // bytes read but not yet decoded
    std::size_t validated_ = 0;    // Validate: pending bytes known to be UTF-8
    bool wrong_guess_ = false;
    std::string decode_error_;
    double ratio_ = 1.0;           // file bytes per text byte, for the share consumed
    int64_t raw_total_ = 0, text_total_ = 0;
    fs::File file_;
    LineSplitter splitter_;
    LineEnd last_end_ = LineEnd::None;
    fs::File* adopt_ = nullptr;  // a source opened by the caller, taken over by Open
    fs::PathFacts opened_facts_;
    std::string pending_;
    std::size_t pending_pos_ = 0;
    std::string caption_;
    text::GaugeBatch progress_batch_;  // lines read since the record was last fed
    bool read_failed_ = false;
    int64_t file_read_ = 0;  // bytes taken from the file so far
};

class TWriteTextFile {
public:
    std::string FileName;  // the path actually written (after renaming)
    int32_t Writes = 0;
    int64_t BytesWritten = 0;
    int64_t LineFill = 0;
    int32_t MaximumLineLength = 0;
    std::string ItemPrefix;
    uint8_t HtmlFlag = 0;
    uint16_t LastIOStatus = 0;
    // The status of the last preparation.
    uint16_t PrepareStatus = 0;

    TWriteTextFile() = default;
    TWriteTextFile(const TWriteTextFile&) = delete;
    TWriteTextFile& operator=(const TWriteTextFile&) = delete;
    ~TWriteTextFile();

    // With `defer`, the output file is made only when the first bytes go out (at the latest by Close),
    // so that the whole of a small output, making included, can be left to another thread.
    bool OpenForWriting(std::string_view path, uint8_t flags, const WriteRules* rules = nullptr, bool defer = false);
    // Why the last open or close refused or failed, when the status alone cannot say (else empty).
    std::string Reason;
    bool WriteText(std::string_view text);
    bool WriteLine(std::string_view text);
    bool WriteItem(std::string_view text);
    // Finishes the file: the temporary file replaces the destination. Returns false (and leaves the
    // destination as it was) when any write failed.
    bool Close();
    // Abandons the file being written; the destination keeps what it had.
    void Discard();
    // The encoding the text given is written in (UTF-8 and bytes go out as they are), after its byte
    // order mark. False with `error` when it cannot be set up.
    bool SetEncoding(const text::Encoding& e, std::string& error);
    // Empties the output, to write it again from its start (SetEncoding again after it).
    bool Restart();
    // A character the encoding cannot hold stopped the writing (Reason says which).
    bool EncodeFailed() const { return encode_failed_; }
    // Whether the text given is converted (else it goes out byte for byte).
    bool Encodes() const { return encoding_; }
    bool IsOpen() const { return open_; }
    // The output file could not be made (a deferred making; Reason and LastIOStatus say why).
    bool CreateFailed() const { return create_failed_; }
    bool Failed() const { return failed_; }
    // Bytes given but not yet written to the file (Close writes them).
    std::size_t Buffered() const { return buffer_.size(); }
    // Gives back the buffer's room beyond `most` bytes (a writer kept for later files).
    void TrimBuffer(std::size_t most) {
        if (buffer_.capacity() > most) std::string().swap(buffer_);
        if (encoded_.capacity() > most) std::string().swap(encoded_);
    }

private:
    bool Put(std::string_view text);
    bool PutRaw(std::string_view bytes);
    bool Flush();
    bool Create();
    text::Encoder encoder_;
    bool encoding_ = false;  // the encoder converts what is put
    bool encode_failed_ = false;
    std::string encoded_;

    fs::File file_;
    std::shared_ptr<const fs::Folder> folder_;
    std::string name_;
    std::string temp_;  // a temporary name, where files without a name cannot be made
    bool replaces_ = false;
    uint32_t replaced_mode_ = 0;
    WriteRules rules_;
    std::string buffer_;
    uint8_t flags_ = 0;
    bool failed_ = false;
    bool open_ = false;      // between a successful OpenForWriting and Close or Discard
    bool deferred_ = false;  // open, but the file is not made yet
    bool create_failed_ = false;
};

// How a run would read the file, as its first MiB shows: its encoding's label ("UTF-8", "UTF-16LE
// BOM", "windows-1252", "bytes") and its line ends ("CRLF", "LF", or "none"). False when it cannot be
// read.
struct TextFacts {
    std::string Encoding;
    std::string LineEnds;
};
bool ProbeText(std::string_view path, const EncodingChoice& choice, TextFacts& facts);

// Loads a text file into a table, one row per line under `code` (clears the table first). Returns
// whether the whole file could be read; a file that cannot be opened or read leaves the table empty.
bool LoadTextFile(tables::ArrayOfFiles& table, std::string_view path, int code, LineEnds ends = LineEnds::Crlf,
                  text::GaugeViewFactory* views = nullptr);
// The same through a reader the caller keeps (its buffer serves file after file) and with the file's
// facts already looked up; the table keeps its capacity for the next file. `line_ends`, when given,
// gets each line's end.
bool LoadTextFile(tables::ArrayOfFiles& table, TReadTextFile& reader, std::string_view path,
                  const fs::PathFacts& facts, int code, std::vector<LineEnd>* line_ends = nullptr);

}  // namespace rowsmith::files
