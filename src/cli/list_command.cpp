// rowsmith-cli list: the file list that a run would process, as TSV, CSV or an HTML table.

#include <ostream>
#include <vector>

#include "cli/file_list_setup.h"
#include "cli/options.h"
#include "cli/report.h"
#include "files/file_list.h"
#include "tables/string_table.h"

namespace rowsmith::cli {

namespace {

std::string TsvField(const std::string& s) {
    // Tabs and line breaks inside a cell (legal in Linux file names) are written as escapes.
    std::string r;
    for (char c : s) {
        switch (c) {
            case '\t': r += "\\t"; break;
            case '\n': r += "\\n"; break;
            case '\r': r += "\\r"; break;
            case '\\': r += "\\\\"; break;
            default: r += c;
        }
    }
    return r;
}

std::string HtmlEscape(const std::string& s) {
    std::string r;
    for (char c : s) {
        switch (c) {
            case '<': r += "&lt;"; break;
            case '>': r += "&gt;"; break;
            case '&': r += "&amp;"; break;
            case '"': r += "&quot;"; break;
            case '\'': r += "&#39;"; break;
            default: r += c;
        }
    }
    return r;
}

void WriteRow(std::ostream& out, const std::vector<std::string>& cells, const std::string& format, bool title) {
    if (format == "html") {
        out << "<tr>";
        for (const auto& c : cells) out << (title ? "<th>" : "<td>") << HtmlEscape(c) << (title ? "</th>" : "</td>");
        out << "</tr>\n";
        return;
    }
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i) out << (format == "csv" ? ',' : '\t');
        out << (format == "csv" ? CsvField(cells[i]) : TsvField(cells[i]));
    }
    out << (format == "csv" ? "\r\n" : "\n");
}

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
    tables::ArrayOfFiles list;
    if (!BuildFileList(req, io, list, nullptr)) return kExitUsage;

    std::vector<int> codes;
    if (o.columns.empty()) {
        // The columns the window shows at start: Number, Filename, Path (with levels), FinalDestinationPath.
        int count = 0;
        const files::FileColumnDef* defs = files::FileColumns(count);
        for (int i = 0; i < count; ++i) {
            if (!defs[i].visible && !(defs[i].code == tables::kCodePath && o.levels >= 1)) continue;
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
                const int code = files::FindColumn(list, name);
                if (code < 0) {
                    io.err << "rowsmith-cli: unknown column '" << name
                           << "' (try Number, Filename, Path, Full path, Size, Date, Time, FinalDestinationPath)\n";
                    return kExitUsage;
                }
                codes.push_back(code);
            }
            pos = next + 1;
        }
    }

    if (o.format == "html")
        io.out << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>File list</title></head><body>\n<table>\n";
    std::vector<std::string> cells;
    for (int code : codes) cells.push_back(list.ColumnName(code));
    WriteRow(io.out, cells, o.format, true);
    for (int32_t row = 1; row <= list.RowCount; ++row) {
        cells.clear();
        for (int code : codes) {
            // Without a destination the final destination column has nothing to show.
            if (code == tables::kCodeFinalDestination && o.destination.empty())
                cells.emplace_back();
            else
                cells.push_back(list.GetCell(row, code, true));
        }
        WriteRow(io.out, cells, o.format, false);
    }
    if (o.format == "html") io.out << "</table>\n</body></html>\n";
    return kExitOk;
}

}  // namespace rowsmith::cli
