#pragma once
// Text files and file copy: the CR LF line reader, the destination writer (folders, overwrite,
// rename), and the copy of one file, all sharing one destination preparation. An existing destination
// is never touched until its replacement is complete: output goes to a temporary file in the
// destination folder that is renamed over the old one when it is closed.

#include <cstdint>
#include <string>
#include <string_view>

#include "files/platform_fs.h"
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

// 1 all folders existed, 0 some were created, -1 the first creation failed, -2 a later one failed.
int ForceFolders(std::string_view folder);
// The first free name formed with "_1", "_2", ... before the extension of the name part.
std::string MakeUniqueName(std::string_view path);
// Folders, then overwrite, rename or refusal when the destination exists. May change the path.
uint16_t PrepareDestination(std::string& path, uint8_t flags);
// Copies one file; keeps its bytes, its modification time and its permission bits. The path actually
// written (after renaming) goes to *written when given.
uint16_t CopyFile(std::string_view source, std::string_view destination, uint8_t flags,
                  std::string* written = nullptr);
// Facts a caller has just looked up with fs::GetFacts, so that they are not asked for again: of the
// source and of the destination, each for the path exactly as passed.
struct KnownFacts {
    const fs::PathFacts* Source = nullptr;
    const fs::PathFacts* Destination = nullptr;
    // BeginCopy only: the destination is not looked at but created exclusively; when it is taken,
    // the copy ends with PendingCopy::Existed set and nothing changed (look at it and begin again).
    bool DestinationNew = false;
};
uint16_t CopyFile(std::string_view source, std::string_view destination, uint8_t flags, std::string* written,
                  const KnownFacts& known);

// CopyFile in two steps, so that the bytes of one copy can move on another thread while the next
// destination is prepared: BeginCopy does every check, opens the source and creates the output
// (the destination's name is taken from then on); FinishCopy moves the bytes, sets times and bits
// and commits. AbandonCopy instead leaves the destination as it was before BeginCopy.
struct PendingCopy {
    fs::File In, Out;
    fs::PathFacts SourceFacts;
    std::string Destination;  // the path to be written (after renaming)
    std::string Temp;         // the temporary file, when an existing file is replaced
    bool Direct = false;      // Out is the destination itself
    bool Existed = false;     // DestinationNew found the destination taken
    uint8_t Flags = 0;
    uint16_t Status = 0;
};
// False when the copy ends here: then `status` is its final status (nothing was written).
bool BeginCopy(std::string_view source, std::string_view destination, uint8_t flags, const KnownFacts& known,
               PendingCopy& copy, uint16_t& status);
// The final status; copy.Destination is the path written. errno holds the error of a failure.
uint16_t FinishCopy(PendingCopy& copy);
void AbandonCopy(PendingCopy& copy);
// A short human-readable reason for a destination status that stopped or failed an operation.
std::string DestinationStatusReason(uint16_t status, int error = 0);

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
    // Also end lines at a lone LF and drop the CR of a CR LF ("Unix line ends").
    bool UnixLineEnds = false;
    // Bytes read per block; any size gives the same lines.
    int64_t BlockSize = 1 << 20;

    bool Open(std::string_view path);
    // The same with the file's facts already looked up (fs::GetFacts of this path).
    bool Open(std::string_view path, const fs::PathFacts& facts);
    bool ReadLine();
    // The next line as a view into the reader's buffer, valid until the next read.
    bool ReadLineView(std::string_view& line);
    bool ReadNonEmptyLine();
    bool Close();
    // Reads the rest of the file without taking it apart into lines, for a caller that needs no more
    // lines but must know that the file reads to its end; false when a read fails.
    bool DrainToEnd();
    // The file's line count: exact once the whole file has been read into the buffer, otherwise
    // extrapolated from the lines of the bytes read so far. For a count rate, not for line numbers.
    int64_t EstimateLineCount() const;
    // A read failed after the file was opened (the lines read so far are incomplete).
    bool ReadFailed() const { return read_failed_; }

private:
    bool FillUntilLineEnd();
    // Appends the next block of the file to the pending bytes; false at the end or on a failure
    // (then EndReached is set and the file closed).
    bool ReadBlock();
    void Account(std::string_view line, int64_t terminator);
    void FeedProgress(std::string_view line);

    fs::File file_;
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

    bool OpenForWriting(std::string_view path, uint8_t flags);
    // The same with the destination's facts already looked up (fs::GetFacts of this path).
    bool OpenForWriting(std::string_view path, uint8_t flags, const fs::PathFacts& known);
    // Opens a destination that does not exist yet, by creating it exclusively (folders as the flags
    // allow), without looking at it first. False when that fails; then nothing was created and
    // Existed tells whether the path was taken (look at it and use OpenForWriting).
    bool OpenIfNew(std::string_view path, uint8_t flags);
    bool Existed = false;
    bool WriteText(std::string_view text);
    bool WriteLine(std::string_view text);
    bool WriteItem(std::string_view text);
    // Finishes the file: the temporary file replaces the destination. Returns false (and leaves the
    // destination as it was) when any write failed.
    bool Close();
    // Abandons the file being written; the destination keeps what it had.
    void Discard();
    bool IsOpen() const { return file_.IsOpen(); }
    bool Failed() const { return failed_; }

private:
    bool OpenImpl(std::string_view path, uint8_t flags, const fs::PathFacts* known, bool new_only = false);
    bool Put(std::string_view text);
    bool Flush();

    fs::File file_;
    std::string temp_path_;  // what a discard deletes: the temporary file, or the new file written in place
    bool direct_ = false;    // written in place (the destination did not exist)
    std::string buffer_;
    uint8_t flags_ = 0;
    bool failed_ = false;
};

// Loads a text file into a table, one row per line under `code` (clears the table first). Returns
// whether the whole file could be read; a file that cannot be opened or read leaves the table empty.
bool LoadTextFile(tables::ArrayOfFiles& table, std::string_view path, int code, bool unix_line_ends = false,
                  text::GaugeViewFactory* views = nullptr);
// The same through a reader the caller keeps (its buffer serves file after file) and with the file's
// facts already looked up; the table keeps its capacity for the next file.
bool LoadTextFile(tables::ArrayOfFiles& table, TReadTextFile& reader, std::string_view path,
                  const fs::PathFacts& facts, int code);

}  // namespace rowsmith::files
