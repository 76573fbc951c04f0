#pragma once
// The file list as the files layer sets it up: a string table with the path and file services its
// computed columns need, and the column names, captions and synonyms of the file columns.

#include <string_view>

#include "tables/string_table.h"
#include "text/form_gauge.h"

namespace rowsmith::files {

// Path arithmetic and file facts for the computed columns (POSIX style on this system).
const tables::CellServices& NativeCellServices();

// Init with the file-list services installed.
void InitFileList(tables::ArrayOfFiles& table, int32_t initial_capacity = 0);

// A file column: its field code, name (the title), the grid's width text and whether it shows at start.
struct FileColumnDef {
    int code;
    const char* name;
    const char* width;
    bool visible;
};
// The file columns in their list order after start-up; 67 and 86 take their names from the table.
const FileColumnDef* FileColumns(int& count);
// Names the file columns in the table (captions fall back to the name, the lower-case name joins the
// synonyms behind the table's own ones) and turns digit grouping on for 67, 86 and 80.
void DefineFileColumns(tables::ArrayOfFiles& table);
// The field code of a column given by name, caption or synonym (ignoring case), -1 when none.
int FindColumn(const tables::ArrayOfFiles& table, std::string_view name);

}  // namespace rowsmith::files
