// rowsmith-cli list: the file list that a run would process, as TSV, CSV or an HTML table.

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/file_list_setup.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/stop_signals.h"
#include "files/file_list.h"
#include "files/platform_fs.h"
#include "files/text_file.h"
#include "tables/string_table.h"
#include "text/chars.h"

namespace rowsmith::cli {

namespace {

// The whole listing is gathered in one text and handed to the stream in large pieces: one stream
// call per cell costs more than building the cell. A piece that cannot be written ends the listing.
class ListWriter {
public:
    ListWriter(std::ostream& out, const std::string& format)
        : out_(out), watch_(out), html_(format == "html"), csv_(format == "csv") {
        buffer_.reserve(kChunk + kChunk / 4);
    }

    const OutputWatch& Watch() const { return watch_; }

    void Text(std::string_view s) { buffer_.append(s); }

    // Ends an entry with `c`; false once standard output has failed.
    bool End(char c) {
        buffer_ += c;
        return buffer_.size() < kChunk || Flush();
    }

    // False once standard output has failed.
    bool Row(const std::vector<std::string>& cells, bool title) {
        if (html_) {
            buffer_ += "<tr>";
            for (const auto& c : cells) {
                buffer_ += title ? "<th>" : "<td>";
                AppendHtml(c);
                buffer_ += title ? "</th>" : "</td>";
            }
            buffer_ += "</tr>\n";
        } else {
            for (std::size_t i = 0; i < cells.size(); ++i) {
                if (i) buffer_ += csv_ ? ',' : '\t';
                if (csv_)
                    buffer_ += CsvField(cells[i]);
                else
                    AppendTsv(cells[i]);
            }
            buffer_ += csv_ ? "\r\n" : "\n";
        }
        return buffer_.size() < kChunk || Flush();
    }

    // Hands the gathered text to the stream and flushes it; false once standard output has failed.
    bool Flush() {
        if (watch_.Failed()) return false;
        if (!buffer_.empty()) {
            watch_.Before();
            out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
            buffer_.clear();
            if (!watch_.After()) return false;
        }
        return watch_.Flush();
    }

private:
    static constexpr std::size_t kChunk = 256 << 10;

    void AppendTsv(const std::string& s) {
        // Tabs and line breaks inside a cell (legal in Linux file names) are written as escapes.
        std::size_t done = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            const char* escape = nullptr;
            switch (s[i]) {
                case '\t': escape = "\\t"; break;
                case '\n': escape = "\\n"; break;
                case '\r': escape = "\\r"; break;
                case '\\': escape = "\\\\"; break;
                default: continue;
            }
            buffer_.append(s, done, i - done);
            buffer_ += escape;
            done = i + 1;
        }
        buffer_.append(s, done, std::string::npos);
    }

    void AppendHtml(const std::string& s) {
        for (char c : s) {
            switch (c) {
                case '<': buffer_ += "&lt;"; break;
                case '>': buffer_ += "&gt;"; break;
                case '&': buffer_ += "&amp;"; break;
                case '"': buffer_ += "&quot;"; break;
                case '\'': buffer_ += "&#39;"; break;
                default: buffer_ += c;
            }
        }
    }

    std::ostream& out_;
    OutputWatch watch_;
    bool html_;
    bool csv_;
    std::string buffer_;
};

// Every row's full path followed by LF, or by NUL with `null` (for xargs -0 and --files-from --null).
// A name that a line cannot carry back (a line break in it, a CR at its end, which a list read as
// lines drops) is skipped with its reason rather than written as two paths or a different one.
int ListPaths(const tables::ArrayOfFiles& list, bool null, int status, Io& io) {
    StopSignals signals(false);
    ListWriter writer(io.out, "paths");
    for (int32_t row = 1; row <= list.RowCount; ++row) {
        const std::string path = list.GetCell(row, tables::kCodeFullPath);
        if (!null && !path.empty() && (path.find('\n') != std::string::npos || path.back() == '\r')) {
            io.err << "rowsmith-cli: skipped '" << path << "': its name "
                   << (path.find('\n') != std::string::npos ? "holds a line break" : "ends in CR")
                   << ", which only a NUL-separated list keeps (--null)\n";
            status = kExitSkipped;
            continue;
        }
        writer.Text(path);
        if (!writer.End(null ? '\0' : '\n')) break;
    }
    writer.Flush();
    if (writer.Watch().Failed()) return writer.Watch().ExitCode(io);
    return status;
}

// Columns of the list command beyond the table's own.
constexpr int kColumnLineEnds = -2;
constexpr int kColumnEncoding = -3;

}  // namespace

int ListCommand(const ListOptions& o, Io& io) {
    ListRequest req;
    req.source = o.source;
    req.destination = o.destination;
    req.destination_required = false;
    req.levels = o.levels;
    req.masks = o.masks;
    req.flat = o.flat;
    req.sort = o.sort;
    req.codepage = o.codepage;
    req.files_from = o.files_from;
    req.null_separated = o.null_separated;
    req.command = "list";
    tables::ArrayOfFiles list;
    int unlisted = 0;
    std::vector<std::string> missing;
    if (!BuildFileList(req, io, list, nullptr, &unlisted, &missing)) return kExitUsage;
    for (const std::string& m : missing)
        io.err << "rowsmith-cli: skipped '" << m << "': " << kListedPathMissing << '\n';
    // The folders that could not be listed were named as the scan met them; their files are missing.
    const int status = unlisted > 0 || !missing.empty() ? kExitSkipped : kExitOk;
    if (o.format == "paths") return ListPaths(list, o.null_separated, status, io);

    std::vector<int> codes;
    if (o.columns.empty()) {
        // The columns the window shows at start: Number, Filename, Path (with levels), FinalDestinationPath.
        int count = 0;
        const files::FileColumnDef* defs = files::FileColumns(count);
        for (int i = 0; i < count; ++i) {
            const bool path_shown = o.levels >= 1 || !o.files_from.empty();
            if (!defs[i].visible && !(defs[i].code == tables::kCodePath && path_shown)) continue;
            if (defs[i].code == tables::kCodeFinalDestination && o.destination.empty()) continue;
            codes.push_back(defs[i].code);
        }
    } else {
        std::size_t pos = 0;
        while (pos <= o.columns.size()) {
            std::size_t next = o.columns.find(',', pos);
            if (next == std::string::npos) next = o.columns.size();
            std::string name = o.columns.substr(pos, next - pos);
            while (!name.empty() && name.front() == ' ') name.erase(0, 1);
            while (!name.empty() && name.back() == ' ') name.pop_back();
            if (!name.empty()) {
                // How a run would read each file: looked at per row, only when asked for.
                if (text::EqualsIgnoreCase(name, "LineEnds") || text::EqualsIgnoreCase(name, "Encoding")) {
                    codes.push_back(text::EqualsIgnoreCase(name, "LineEnds") ? kColumnLineEnds : kColumnEncoding);
                    pos = next + 1;
                    continue;
                }
                const int code = files::FindColumn(list, name);
                if (code < 0) {
                    io.err << "rowsmith-cli: unknown column '" << name
                           << "' (try Number, Filename, Path, Full path, Size, Date, Time, FinalDestinationPath, Encoding, LineEnds)\n";
                    return kExitUsage;
                }
                codes.push_back(code);
            }
            pos = next + 1;
        }
    }

    files::EncodingChoice probe;
    probe.Detect = true;
    StopSignals signals(false);
    ListWriter writer(io.out, o.format);
    if (o.format == "html")
        writer.Text("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>File list</title></head><body>\n<table>\n");
    std::vector<std::string> cells;
    for (int code : codes)
        cells.push_back(code == kColumnLineEnds ? "LineEnds" : code == kColumnEncoding ? "Encoding" : list.ColumnName(code));
    bool good = writer.Row(cells, true);
    cells.resize(codes.size());
    for (int32_t row = 1; good && row <= list.RowCount; ++row) {
        for (std::size_t i = 0; i < codes.size(); ++i) {
            // Without a destination the final destination column has nothing to show.
            if (codes[i] == tables::kCodeFinalDestination && o.destination.empty()) {
                cells[i].clear();
            } else if (codes[i] == kColumnLineEnds || codes[i] == kColumnEncoding) {
                files::TextFacts facts;
                const bool folder = list.GetCell(row, tables::kCodeFilename).empty() ||
                                    files::fs::FolderExists(list.GetCell(row, tables::kCodeFullPath));
                if (folder || !files::ProbeText(list.GetCell(row, tables::kCodeFullPath), probe, facts))
                    cells[i].clear();
                else
                    cells[i] = codes[i] == kColumnLineEnds ? facts.LineEnds : facts.Encoding;
            } else
                cells[i] = list.GetCell(row, codes[i], true);
        }
        good = writer.Row(cells, false);
    }
    if (good && o.format == "html") writer.Text("</table>\n</body></html>\n");
    if (good) writer.Flush();
    if (writer.Watch().Failed()) return writer.Watch().ExitCode(io);
    return status;
}

}  // namespace rowsmith::cli
