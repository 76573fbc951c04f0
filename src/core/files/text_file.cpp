#include "files/text_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "files/paths.h"
#include "tables/string_table.h"

namespace rowsmith::files {

namespace {

constexpr std::size_t kWriteBuffer = 1 << 20;
constexpr int kMaxUniqueTries = 1000000;

uint16_t IoStatus(int error) { return error == 0 ? 0 : static_cast<uint16_t>(error > 0xFFFF ? 0xFFFF : error); }

}  // namespace

int ForceFolders(std::string_view folder) {
    if (folder.empty()) return 1;
    const std::string path = Normalise(folder);
    // The deepest folder existing means every folder above it exists: one look instead of one per level.
    if (fs::FolderExists(path)) return 1;
    const std::size_t root_len = RootEnd(path) - 1;
    std::string prefix = path.substr(0, root_len);
    bool created = false;
    std::size_t pos = root_len;
    while (pos < path.size()) {
        std::size_t next = path.find('/', pos);
        if (next == std::string::npos) next = path.size();
        if (next > pos) {
            prefix = Join(prefix, std::string_view(path).substr(pos, next - pos));
            if (!fs::FolderExists(prefix)) {
                const int err = fs::MakeFolder(prefix);
                if (err != 0 && !(err == EEXIST && fs::FolderExists(prefix))) return created ? -2 : -1;
                if (err == 0) created = true;
            }
        }
        pos = next + 1;
    }
    return created ? 0 : 1;
}

std::string MakeUniqueName(std::string_view path) {
    if (!fs::PathExists(path)) return std::string(path);
    const std::string folder = FolderPart(path);
    const std::string name = NamePart(path);
    // The split is at the last "." of the name (a dot in a folder name does not count; a name that
    // only starts with a dot has no extension).
    std::size_t dot = name.rfind('.');
    if (dot == 0) dot = std::string::npos;
    const std::string base = folder + (dot == std::string::npos ? name : name.substr(0, dot));
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
    std::string candidate;
    for (int n = 1; n <= kMaxUniqueTries; ++n) {
        candidate = base + "_" + std::to_string(n) + ext;
        if (!fs::PathExists(candidate)) return candidate;
    }
    return candidate;
}

namespace {

// The last destination folder seen to exist. A run writes file after file into the same folder, so
// the copy and the writer skip looking at it again; should it have gone meanwhile, creating the
// temporary file fails and CreateTemporaryFor looks again for real.
thread_local std::string g_folder_known;

int DestinationFolders(const std::string& folder, bool trust_known) {
    if (trust_known && !g_folder_known.empty() && folder == g_folder_known) return 1;
    const int r = ForceFolders(folder);
    if (r >= 0)
        g_folder_known = folder;
    else
        g_folder_known.clear();
    return r;
}

// `known`: fs::GetFacts of the path as given, or null to look. `trust_known`: the caller retries
// through CreateTemporaryFor, so the remembered folder may be trusted.
uint16_t Prepare(std::string& path, uint8_t flags, const fs::PathFacts* known, bool trust_known) {
    uint16_t status = 0;
    bool folder_failed = false;
    if (!(flags & kNoCreateFolders)) {
        const std::string folder = FolderPart(path);
        if (!folder.empty()) {
            const int r = DestinationFolders(folder, trust_known);
            if (r < 0) {
                status |= kStatusFolderFailed | kStatusError;
                folder_failed = true;
            } else if (r == 0) {
                status |= kStatusFoldersCreated;
            }
        }
    }
    if (!folder_failed && (known ? known->present : fs::PathExists(path))) {
        if (flags & kRename) {
            path = MakeUniqueName(path);
            status |= kStatusNewName;
        } else if (flags & kOverwrite) {
            // The old file is replaced only once the new one is complete; a folder, or a file the user
            // may not write, cannot be replaced.
            fs::PathFacts facts;
            const bool have = known ? known->exists : fs::GetFacts(path, facts);
            if (known) facts = *known;
            if (have && facts.is_file && fs::CanWrite(path))
                status |= kStatusDeleted;
            else
                status |= kStatusError;
        } else {
            status |= kStatusExists;
        }
    }
    if (status & (kStatusError | kStatusExists)) status |= kStatusStop;
    return status;
}

// Creates the temporary file beside the destination. When the folder is missing after all (it was
// remembered as existing, or went meanwhile), the folders are made for real and it is tried once more;
// their outcome goes into status as the preparation would have put it.
bool CreateTemporaryFor(fs::File& file, const std::string& destination, uint8_t flags, std::string& temp,
                        uint16_t& status) {
    const std::string folder = FolderPart(destination);
    if (file.CreateTemporary(folder.empty() ? "." : folder, temp)) return true;
    const int err = file.Error();
    if ((err != ENOENT && err != ENOTDIR) || (flags & kNoCreateFolders) || folder.empty()) return false;
    g_folder_known.clear();
    const int r = ForceFolders(folder);
    if (r < 0) {
        status |= kStatusFolderFailed | kStatusError | kStatusStop;
        return false;
    }
    if (r == 0) status |= kStatusFoldersCreated;
    g_folder_known = folder;
    return file.CreateTemporary(folder, temp);
}

// Opens the file that receives the output. A destination that is not there yet (a new file, or the
// free name that rename mode chose) is created in place, exclusively, so that nothing can be replaced
// and the commit needs no rename: that rename and the extra folder entry cost as much as writing a
// small file. A failed write deletes the file again, so the destination keeps having nothing. An
// existing file that is to be replaced, or a name taken meanwhile, goes the temporary file's way.
// With `existed` (a destination that was not looked at), only the exclusive create is tried: when it
// fails, *existed tells whether the name was taken, and nothing was created.
bool CreateOutputFor(fs::File& file, const std::string& destination, uint8_t flags, bool replaces,
                     std::string& path, bool& direct, uint16_t& status, uint32_t mode = 0666,
                     bool* existed = nullptr) {
    direct = false;
    if (!replaces && file.CreateNew(destination, mode)) {
        path = destination;
        direct = true;
        return true;
    }
    if (existed) {
        *existed = file.Error() == EEXIST;
        return false;
    }
    return CreateTemporaryFor(file, destination, flags, path, status);
}

}  // namespace

uint16_t PrepareDestination(std::string& path, uint8_t flags) { return Prepare(path, flags, nullptr, false); }

namespace {

// Moves a finished temporary file into place under `final_path` (updated when rename mode has to pick
// another free name because the chosen one was taken meanwhile).
bool Commit(const std::string& temp, std::string& final_path, uint8_t flags, const std::string& permissions_from) {
    if (flags & kOverwrite) {
        if (!permissions_from.empty()) fs::CopyPermissions(permissions_from, temp);
        return fs::RenameReplace(temp, final_path);
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (fs::RenameNoReplace(temp, final_path)) return true;
        if (fs::LastError() != EEXIST || !(flags & kRename)) return false;
        final_path = MakeUniqueName(final_path);
    }
    return false;
}

}  // namespace

uint16_t CopyFile(std::string_view source, std::string_view destination, uint8_t flags, std::string* written) {
    return CopyFile(source, destination, flags, written, KnownFacts{});
}

uint16_t CopyFile(std::string_view source, std::string_view destination, uint8_t flags, std::string* written,
                  const KnownFacts& known) {
    PendingCopy copy;
    uint16_t status = 0;
    const bool begun = BeginCopy(source, destination, flags, known, copy, status);
    if (written) *written = copy.Destination;
    if (!begun) return status;
    status = FinishCopy(copy);
    if (written) *written = copy.Destination;
    return status;
}

bool BeginCopy(std::string_view source, std::string_view destination, uint8_t flags, const KnownFacts& known,
               PendingCopy& copy, uint16_t& status) {
    std::string dest = Resolve(destination, FolderPart(source));
    copy.Destination = dest;
    copy.Flags = flags;
    // Each path is looked at once; the facts serve every check below.
    fs::PathFacts& src_facts = copy.SourceFacts;
    fs::PathFacts dst_facts;
    const bool have_src = known.Source ? (src_facts = *known.Source).exists : fs::GetFacts(source, src_facts);
    const bool fresh = known.DestinationNew && !(flags & kSkipIdentical);
    const bool dest_as_given = known.Destination && dest == destination;
    const bool have_dst = fresh            ? false
                          : dest_as_given ? (dst_facts = *known.Destination).exists
                                          : fs::GetFacts(dest, dst_facts);
    if (flags & kSkipIdentical) {
        if (have_src && src_facts.is_file && have_dst && dst_facts.is_file && NamePart(source) == NamePart(dest) &&
            src_facts.size == dst_facts.size && src_facts.write_ns == dst_facts.write_ns) {
            status = kStatusExists;
            return false;
        }
    }
    // Nothing may write over its own source.
    if (SamePath(source, dest) ||
        (have_src && have_dst && src_facts.device == dst_facts.device && src_facts.inode == dst_facts.inode)) {
        status = kStatusError | kStatusStop;
        return false;
    }
    // The source is opened first, so that an unreadable one changes nothing at the destination; only a
    // regular file is opened (opening a pipe would wait for a writer).
    if (!have_src || !src_facts.is_file || !copy.In.OpenRead(source)) {
        status = kStatusError | kStatusStop;
        return false;
    }
    status = Prepare(dest, flags, &dst_facts, true);
    copy.Destination = dest;
    if (status & kStatusStop) {
        copy.In.Close();
        return false;
    }
    if (!CreateOutputFor(copy.Out, dest, flags, (status & kStatusDeleted) != 0, copy.Temp, copy.Direct, status,
                         src_facts.mode, fresh ? &copy.Existed : nullptr)) {
        copy.In.Close();
        copy.Temp.clear();
        status |= kStatusError;
        return false;
    }
    copy.Status = status;
    return true;
}

uint16_t FinishCopy(PendingCopy& copy) {
    const fs::PathFacts& src_facts = copy.SourceFacts;
    bool ok = fs::CopyContents(copy.In, copy.Out);
    // Times and permission bits go through the open file (no path look-ups); the bits are best effort.
    // A file created under its own name with the source's bits has them already, unless the umask
    // took some away.
    if (ok && !(copy.Direct && fs::File::CreatedWithMode(src_facts.mode))) copy.Out.SetMode(src_facts.mode);
    if (ok) ok = copy.Out.SetTimes(src_facts.access_ns, src_facts.write_ns);
    ok = copy.Out.Close() && ok;
    copy.In.Close();
    if (ok && !copy.Direct) ok = Commit(copy.Temp, copy.Destination, copy.Flags, std::string());
    if (!ok) {
        const int err = fs::LastError();
        // The new file (written in place, or the temporary one) goes again.
        fs::DeleteFile(copy.Temp);
        errno = err;
        return copy.Status | kStatusError;
    }
    return copy.Status | kStatusCopied;
}

void AbandonCopy(PendingCopy& copy) {
    copy.Out.Close();
    copy.In.Close();
    if (!copy.Temp.empty()) fs::DeleteFile(copy.Temp);
}

std::string DestinationStatusReason(uint16_t status, int error) {
    std::string r;
    if (status & kStatusFolderFailed)
        r = "the destination folder cannot be created";
    else if (status & kStatusExists)
        r = "the destination exists (neither overwrite nor rename)";
    else if ((status & kStatusError) && (status & kStatusStop))
        r = "the existing destination cannot be replaced (read-only, a folder, or the source itself)";
    else
        r = "writing the destination failed";
    if (error != 0) {
        r += ": ";
        r += std::strerror(error);
    }
    return r;
}

// ---------------------------------------------------------------- reader

bool TReadTextFile::Open(std::string_view path) {
    fs::PathFacts facts;
    const bool have = fs::GetFacts(path, facts);
    if (!have) facts.exists = false;
    return Open(path, facts);
}

bool TReadTextFile::Open(std::string_view path, const fs::PathFacts& facts) {
    LinesRead = 0;
    BytesConsumed = 0;
    FileSize = 0;
    Remaining = 0;
    Percent = 0;
    PreviousPosition = 0;
    CurrentLine.clear();
    pending_.clear();
    pending_pos_ = 0;
    progress_batch_.Restart();
    EndReached = 0;
    Opened = 0;
    read_failed_ = false;
    file_read_ = 0;
    FileName = path;
    caption_ = "Reading:" + FileName;
    text::ApplyGaugeSettings(Progress, text::GaugeUse::Reading);
    if (!facts.exists) {
        LastIOStatus = 2;
        return false;
    }
    FileSize = facts.size;
    Remaining = FileSize;
    if (!file_.OpenRead(path)) {
        LastIOStatus = IoStatus(file_.Error());
        return false;
    }
    LastIOStatus = 0;
    Opened = 1;
    ShowProgress = 1;
    return true;
}

bool TReadTextFile::ReadBlock() {
    // A small file needs no block of full size (the buffer is cleared when it grows).
    int64_t want = std::max<int64_t>(BlockSize, 1);
    const int64_t left = FileSize - file_read_;
    if (left >= 0 && left < want - 4096) want = left + 4096;
    const std::size_t old = pending_.size();
    pending_.resize(old + static_cast<std::size_t>(want));
    const int64_t n = file_.Read(pending_.data() + old, want);
    pending_.resize(old + static_cast<std::size_t>(std::max<int64_t>(n, 0)));
    if (n <= 0) {
        if (n < 0) {
            read_failed_ = true;
            LastIOStatus = IoStatus(file_.Error());
        }
        file_.Close();
        EndReached = 1;
        return false;
    }
    file_read_ += n;
    // A file that gave less than was asked and at least the size it had when it was opened is at its
    // end: the read that would return nothing is saved. Files that report no size (pseudo-files) and
    // reads cut short before the known size go on to the read that returns nothing.
    if (n < want && FileSize > 0 && file_read_ >= FileSize) {
        file_.Close();
        EndReached = 1;
    }
    return true;
}

bool TReadTextFile::FillUntilLineEnd() {
    // Searches only the bytes not yet searched, so a long line is scanned once however many blocks it spans.
    std::size_t searched = pending_pos_;
    for (;;) {
        const std::size_t from = std::max(searched, pending_pos_);
        const char* base = pending_.data();
        const void* hit = std::memchr(base + from, '\n', pending_.size() - from);
        if (hit) {
            const std::size_t lf = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
            if (UnixLineEnds || (lf > pending_pos_ && pending_[lf - 1] == '\r')) return true;
            searched = lf + 1;
            if (searched < pending_.size()) continue;
        } else {
            searched = pending_.size();
        }
        if (EndReached) return false;
        if (pending_pos_ > 0 && pending_pos_ >= pending_.size() / 2) {
            pending_.erase(0, pending_pos_);
            searched -= pending_pos_;
            pending_pos_ = 0;
        }
        if (!ReadBlock()) return false;
    }
}

void TReadTextFile::Account(std::string_view line, int64_t terminator) {
    PreviousPosition = BytesConsumed;
    BytesConsumed += static_cast<int64_t>(line.size()) + terminator;
    Remaining = FileSize - BytesConsumed;
    ++LinesRead;
    Percent = FileSize > 0 ? static_cast<double>(BytesConsumed) / static_cast<double>(FileSize) * 100.0 : 0;
    // A record without a view shows nothing, whatever it is fed. With one, it is fed in batches
    // (text::GaugeBatch) and at the file's last line.
    if (Progress.views && (progress_batch_.Count() || BytesConsumed >= FileSize)) FeedProgress(line);
}

void TReadTextFile::FeedProgress(std::string_view line) {
    Progress.UpdateCounted(caption_, line.substr(0, 100), static_cast<int32_t>(Percent), progress_batch_.Pending());
    progress_batch_.Fed(Progress);
}

bool TReadTextFile::ReadLineView(std::string_view& line) {
    if (!Opened) return false;
    if (EndReached && pending_pos_ >= pending_.size()) return false;
    if (FillUntilLineEnd()) {
        // Find the terminator again from the line's start (cheap: it is the first one that qualifies).
        std::size_t p = pending_pos_;
        for (;;) {
            const std::size_t lf = pending_.find('\n', p);
            if (UnixLineEnds || (lf > pending_pos_ && pending_[lf - 1] == '\r')) {
                std::size_t end = lf;
                int64_t term = 1;
                if (end > pending_pos_ && pending_[end - 1] == '\r') {
                    --end;
                    term = 2;
                }
                line = std::string_view(pending_).substr(pending_pos_, end - pending_pos_);
                pending_pos_ = lf + 1;
                Account(line, term);
                return true;
            }
            p = lf + 1;
        }
    }
    if (pending_pos_ >= pending_.size()) return false;
    line = std::string_view(pending_).substr(pending_pos_);
    pending_pos_ = pending_.size();
    Account(line, 0);
    return true;
}

bool TReadTextFile::DrainToEnd() {
    if (!Opened) return false;
    while (!EndReached) {
        pending_.clear();
        pending_pos_ = 0;
        ReadBlock();
    }
    pending_.clear();
    pending_pos_ = 0;
    return !read_failed_;
}

int64_t TReadTextFile::EstimateLineCount() const {
    int64_t lines = LinesRead;
    const char* p = pending_.data() + pending_pos_;
    const char* const end = pending_.data() + pending_.size();
    while (p < end) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (!lf) {
            ++lines;  // text after the last terminator counts as a line
            break;
        }
        if (UnixLineEnds || (lf > pending_.data() + pending_pos_ && lf[-1] == '\r')) ++lines;
        p = lf + 1;
    }
    if (EndReached || file_read_ >= FileSize || file_read_ <= 0) return lines;
    return static_cast<int64_t>(static_cast<double>(lines) * static_cast<double>(FileSize) / static_cast<double>(file_read_));
}

bool TReadTextFile::ReadLine() {
    std::string_view v;
    if (!ReadLineView(v)) return false;
    CurrentLine.assign(v);
    return true;
}

bool TReadTextFile::ReadNonEmptyLine() {
    while (ReadLine())
        if (CurrentLine.find_first_not_of(" \t") != std::string::npos) return true;
    return false;
}

bool TReadTextFile::Close() {
    bool ok = true;
    if (file_.IsOpen()) ok = file_.Close();
    if (!ok) LastIOStatus = IoStatus(file_.Error());
    // Lines not yet counted (the file grew after it was opened) keep the last detail shown.
    if (progress_batch_.Pending() > 0) {
        const std::string last = Progress.detail;
        FeedProgress(last);
    }
    Progress.Finish();
    Opened = 0;
    return ok && !read_failed_;
}

// ---------------------------------------------------------------- writer

TWriteTextFile::~TWriteTextFile() { Discard(); }

bool TWriteTextFile::OpenForWriting(std::string_view path, uint8_t flags) { return OpenImpl(path, flags, nullptr); }

bool TWriteTextFile::OpenForWriting(std::string_view path, uint8_t flags, const fs::PathFacts& known) {
    return OpenImpl(path, flags, &known);
}

bool TWriteTextFile::OpenIfNew(std::string_view path, uint8_t flags) {
    const fs::PathFacts absent;
    return OpenImpl(path, flags, &absent, true);
}

bool TWriteTextFile::OpenImpl(std::string_view path, uint8_t flags, const fs::PathFacts* known, bool new_only) {
    Discard();
    Existed = false;
    std::string p(path);
    PrepareStatus = Prepare(p, flags, known, true);
    if (PrepareStatus & kStatusStop) return false;
    FileName = p;
    Writes = 0;
    BytesWritten = 0;
    LineFill = 0;
    ItemPrefix.clear();
    HtmlFlag = 0;
    failed_ = false;
    flags_ = flags;
    buffer_.clear();
    if (!CreateOutputFor(file_, p, flags, (PrepareStatus & kStatusDeleted) != 0, temp_path_, direct_,
                         PrepareStatus, 0666, new_only ? &Existed : nullptr)) {
        LastIOStatus = IoStatus(file_.Error());
        temp_path_.clear();
        return false;
    }
    LastIOStatus = 0;
    return true;
}

bool TWriteTextFile::Flush() {
    if (buffer_.empty() || failed_) return !failed_;
    if (!file_.Write(buffer_.data(), static_cast<int64_t>(buffer_.size()))) {
        failed_ = true;
        LastIOStatus = IoStatus(file_.Error());
    }
    buffer_.clear();
    return !failed_;
}

bool TWriteTextFile::Put(std::string_view text) {
    if (!file_.IsOpen() || failed_) return false;
    if (buffer_.size() + text.size() > kWriteBuffer) {
        if (!Flush()) return false;
        if (text.size() >= kWriteBuffer) {
            if (!file_.Write(text.data(), static_cast<int64_t>(text.size()))) {
                failed_ = true;
                LastIOStatus = IoStatus(file_.Error());
                return false;
            }
            return true;
        }
    }
    buffer_.append(text);
    return true;
}

bool TWriteTextFile::WriteText(std::string_view text) {
    if (MaximumLineLength > 0 && LineFill > 0) return WriteItem(text);
    ++Writes;
    if (!Put(text)) return false;
    BytesWritten += static_cast<int64_t>(text.size());
    LineFill += static_cast<int64_t>(text.size());
    return true;
}

bool TWriteTextFile::WriteLine(std::string_view text) {
    ++Writes;
    if (!Put(text) || !Put("\r\n")) return false;
    BytesWritten += static_cast<int64_t>(text.size()) + 2;
    LineFill = 0;
    return true;
}

bool TWriteTextFile::WriteItem(std::string_view text) {
    ++Writes;
    if (LineFill + static_cast<int64_t>(text.size()) > MaximumLineLength) {
        if (!Put("\r\n")) return false;
        BytesWritten += 2;
        LineFill = 0;
    } else {
        if (!Put(ItemPrefix)) return false;
        BytesWritten += static_cast<int64_t>(ItemPrefix.size());
        LineFill += static_cast<int64_t>(ItemPrefix.size());
    }
    if (!Put(text)) return false;
    BytesWritten += static_cast<int64_t>(text.size());
    LineFill += static_cast<int64_t>(text.size());
    return true;
}

bool TWriteTextFile::Close() {
    if (!file_.IsOpen()) return false;
    bool ok = true;
    if (HtmlFlag) ok = WriteLine("</body>") && WriteLine("</html>");
    ok = Flush() && ok;
    ok = file_.Close() && ok;
    if (!ok || failed_) {
        if (LastIOStatus == 0) LastIOStatus = IoStatus(file_.Error() ? file_.Error() : EIO);
        Discard();
        return false;
    }
    if (direct_) {
        // Written in place: it is complete now.
        temp_path_.clear();
        LastIOStatus = 0;
        return true;
    }
    // The permission bits of the file being replaced carry over; a destination that did not exist when
    // the file was opened needs no look.
    const std::string old =
        (flags_ & kOverwrite) && (PrepareStatus & kStatusDeleted) && fs::FileExists(FileName) ? FileName : std::string();
    if (!Commit(temp_path_, FileName, flags_, old)) {
        LastIOStatus = IoStatus(fs::LastError());
        Discard();
        return false;
    }
    temp_path_.clear();
    LastIOStatus = 0;
    return true;
}

void TWriteTextFile::Discard() {
    if (file_.IsOpen()) file_.Close();
    if (!temp_path_.empty()) {
        fs::DeleteFile(temp_path_);
        temp_path_.clear();
    }
    buffer_.clear();
}

bool LoadTextFile(tables::ArrayOfFiles& table, std::string_view path, int code, bool unix_line_ends,
                  text::GaugeViewFactory* views) {
    table.Clear();
    table.Reserve(5000, true);
    TReadTextFile reader;
    reader.UnixLineEnds = unix_line_ends;
    reader.Progress.views = views;
    if (!reader.Open(path)) return false;
    if (code == tables::kCodeData && reader.FileSize > 0) table.ReserveText(static_cast<std::size_t>(reader.FileSize));
    std::string_view line;
    while (reader.ReadLineView(line)) table.AddLine(line, code);
    const bool ok = reader.Close();
    if (!ok) {
        table.Clear();
        return false;
    }
    table.ShrinkToFit();
    return true;
}

bool LoadTextFile(tables::ArrayOfFiles& table, TReadTextFile& reader, std::string_view path,
                  const fs::PathFacts& facts, int code) {
    table.Clear();
    table.Reserve(5000, true);
    if (!reader.Open(path, facts)) return false;
    if (code == tables::kCodeData && reader.FileSize > 0) table.ReserveText(static_cast<std::size_t>(reader.FileSize));
    std::string_view line;
    while (reader.ReadLineView(line)) table.AddLine(line, code);
    if (!reader.Close()) {
        table.Clear();
        return false;
    }
    return true;
}

}  // namespace rowsmith::files
