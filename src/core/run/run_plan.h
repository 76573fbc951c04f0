#pragma once
// The plan of a processing run: what every row shares, decided once before the first one (the mode,
// how kept lines travel from the reader to the writer, whether copies move on the helper thread),
// the identities of the listed sources, and the words that explain a row that was not written.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "files/text_file.h"
#include "run/expand_lines.h"
#include "run/processing_run.h"
#include "template/context.h"
#include "tables/string_table.h"

namespace rowsmith::run {

// How a rewrite's kept lines get from the source to the output.
enum class LineWay : uint8_t {
    Streamed,  // straight from the reader: the interval needs no look-back
    Indexed,   // counted first (marks every files::kMarkBytes), then each line read where it lies
    Compact,   // the file's lines kept one after another, with where each starts
    Buffered,  // the line buffer's rows (it filters its lines)
};

// A rewrite that changes every line on its own, the same way, and keeps each line's end: whole
// blocks of lines then go through in one piece instead of one expansion per line.
enum class BlockChain : uint8_t {
    None,
    Identity,  // {{originalline}}{{eol}}, {{line}}{{eol}} or an interval alone: the bytes as they are
    Upper,     // {{line|caseupper}}{{eol}}
    Lower,     // {{line|caselower}}{{eol}}
};

// Below this many rows a helper thread costs more than it saves.
constexpr int32_t kPipelinedRows = 32;

struct RunPlan {
    uint8_t Flags = 0;
    bool CopyMode = false;
    bool UseTemplate = false;
    LineWay Lines = LineWay::Streamed;
    std::vector<StreamPiece> Pieces;  // Streamed: the interval's pieces in file order
    files::LineEnds LineEnds = files::LineEnds::Auto;
    files::EncodingChoice Encodings;  // how sources are read as text
    bool OutputSame = true;           // each file is written in its own encoding, else in Output
    text::Encoding Output;
    std::string EncodingError;        // a name that names no encoding: every rewrite is skipped with it
    // Without a progress view and with kPipelinedRows rows or more, the helper thread moves copies'
    // bytes, and writes and names rewritten outputs whose template depends on no file written before.
    bool Pipelined = false;
    int64_t TotalSize = 0;  // of every row, for the copy gauge (64 bits; an empty total shows complete)
    // Indexed: files up to this size are held whole instead (each read once; the memory is bounded).
    int64_t HeldFileBytes = int64_t{4} << 20;
    // Streamed over every line: the chain blocks of lines take. With BlockLineTags, the template takes
    // "line" with its tags expanded (and cut at a cut marker): a block holding either goes line by line.
    BlockChain Blocks = BlockChain::None;
    bool BlockLineTags = false;
    bool BlockCrlf = false;  // the template ends each line with CR LF: blocks only for files whose lines do
    // Streamed over every line with a template that keeps no state, one row at a time: a file of
    // SplitBytes or more is expanded in chunks on SplitThreads helpers (0: never, see ChunkPool);
    // with SplitRefuseLineTags a line holding a tag sends the rest of the file to the run's context.
    int SplitThreads = 0;
    int64_t SplitBytes = int64_t{8} << 20;
    bool SplitRefuseLineTags = false;
};

// Whether the plan streams every line of each file with each line's own end.
bool StreamsEveryLineAsItIs(const RunPlan& plan);

// What a template does to each line, when it changes every line alone and the same way: the line
// ("line" or "originalline"), perhaps with one case word, then the line's own end ("eol") or CR LF
// ("crlf"), nothing else. Recognised on the parse, against contexts like this one.
struct BlockTemplate {
    BlockChain Chain = BlockChain::None;
    bool LineTags = false;  // "line": its tags are expanded and it ends at a cut marker
    bool Crlf = false;      // "crlf" ends each line: the same bytes only where CR LF ends every line
};
// Appends the lines of `block` as the chain changes them (identity: as they are).
void AppendChangedBlock(BlockChain chain, std::string_view block, std::string& out);

BlockTemplate RecogniseBlockTemplate(std::string_view template_text, const tmpl::TemplateContext& context);

// The block chain of the settings, for a template expanded against contexts like this one (null:
// no template engine).
void DecideBlockChain(RunPlan& plan, const RunSettings& settings, const tmpl::TemplateContext* context);

RunPlan MakeRunPlan(const tables::ArrayOfFiles& file_list, const tables::ArrayOfFiles& line_buffer,
                    const RunSettings& settings, bool has_views);

// The identities of the listed sources (folder rows aside): the scan's facts, or a look for rows
// without them.
void CollectSources(const tables::ArrayOfFiles& file_list, files::SourceSet& sources);

bool IsFolderRow(const tables::ArrayOfFiles& list, int32_t row);
// The size the file list shows for a row.
int64_t RowSize(const tables::ArrayOfFiles& list, int32_t row);

std::string ErrorText(int error);
// Why a destination could not be written: the write's own reason where it has one, else what its
// status and error say (`failed_words` leads an error that no status explains).
std::string DestinationReason(uint16_t status, int err, const std::string& reason, uint8_t flags,
                              const char* failed_words);
// Why a source could not be opened (fs::File::OpenSource failed).
std::string SourceReason(const files::fs::File& source);

}  // namespace rowsmith::run
