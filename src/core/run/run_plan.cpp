#include "run/run_plan.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "template/evaluator.h"
#include "template/registry.h"
#include "text/chars.h"
#include "text/unicase.h"
#include "text/utf8.h"

namespace rowsmith::run {

namespace {

// Whether every line read becomes a row of the line buffer, numbered as in the file.
bool KeepsEveryLine(const tables::ArrayOfFiles& t) {
    return t.KeepEmptyLines && t.KeepBlankLines && !t.LineFilter && !t.UniqueLines;
}

// The encodings of the settings; a name that names none is kept as the error of every rewrite.
void SetEncodings(const RunSettings& settings, RunPlan& plan) {
    auto is = [](const std::string& value, std::string_view word) {
        return value.empty() || text::EqualsIgnoreCase(value, word);
    };
    std::string error;
    plan.Encodings.Legacy = settings.LegacyEncoding.empty() ? std::string("windows-1252") : settings.LegacyEncoding;
    if (is(settings.Encoding, "auto")) {
        plan.Encodings.Detect = true;
        text::Encoding legacy;
        if (!text::ParseEncodingName(plan.Encodings.Legacy, legacy, error)) plan.EncodingError = error;
    } else if (!text::ParseEncodingName(settings.Encoding, plan.Encodings.Fixed, error)) {
        plan.EncodingError = error;
    }
    plan.OutputSame = is(settings.OutputEncoding, "same");
    if (!plan.OutputSame && !text::ParseEncodingName(settings.OutputEncoding, plan.Output, error))
        plan.EncodingError = error;
}

}  // namespace

bool IsFolderRow(const tables::ArrayOfFiles& list, int32_t row) {
    const tables::DataRecT* r = list.Row(row);
    return r && r->Extra && (r->Extra->Facts.Attributes & files::fs::kAttrFolder);
}

int64_t RowSize(const tables::ArrayOfFiles& list, int32_t row) {
    const tables::DataRecT* r = list.Row(row);
    if (!r || !r->Extra) return 0;
    return std::max<int64_t>(r->Extra->Facts.Size, 0);
}

RunPlan MakeRunPlan(const tables::ArrayOfFiles& file_list, const tables::ArrayOfFiles& line_buffer,
                    const RunSettings& settings, bool has_views) {
    RunPlan plan;
    plan.Flags = settings.DestinationFlags;
    plan.CopyMode = CopiesFiles(settings);
    plan.UseTemplate = settings.TemplateActive && !settings.TemplateText.empty();
    plan.LineEnds = settings.LineEnds;
    SetEncodings(settings, plan);
    // Lines stream from the reader to the writer when the interval needs no look-back. Otherwise the
    // file is counted first and each selected line read again from the mark before it, so memory does
    // not grow with the file. Only a line buffer that filters its lines takes them as rows.
    const bool lean = KeepsEveryLine(line_buffer);
    bool streaming = false;
    if (lean) {
        if (settings.IntervalActive) {
            streaming = PlanStreamingInterval(settings.IntervalText, plan.Pieces);
        } else {
            plan.Pieces.assign(1, StreamPiece{1, 0, true});
            streaming = true;
        }
    }
    plan.Lines = streaming ? LineWay::Streamed : lean ? LineWay::Indexed : LineWay::Buffered;
    // The helper thread pays off only when one core would otherwise wait in the kernel for many
    // copies in a row, and a progress view wants each copy counted as it happens.
    plan.Pipelined = plan.CopyMode && !has_views && file_list.RowCount >= kPipelinedRows;
    for (int32_t row = 1; row <= file_list.RowCount; ++row) plan.TotalSize += RowSize(file_list, row);
    return plan;
}

bool StreamsEveryLineAsItIs(const RunPlan& plan) {
    const bool every_line = plan.Pieces.size() == 1 && plan.Pieces[0].Start <= 1 && plan.Pieces[0].OpenEnd;
    return !plan.CopyMode && plan.Lines == LineWay::Streamed && every_line && plan.LineEnds == files::LineEnds::Auto;
}

void AppendChangedBlock(BlockChain chain, std::string_view block, std::string& out) {
    if (chain == BlockChain::Identity || chain == BlockChain::None) {
        out.append(block);
        return;
    }
    // As the case words change each line: code points where the text is not ASCII, else the tables.
    // CR and LF are neither cased nor case-ignorable, so every line sees the neighbours it has alone.
    const bool upper = chain == BlockChain::Upper;
    if (text::CountsCodePoints(block)) {
        out += upper ? text::UnicodeUpper(block) : text::UnicodeLower(block);
        return;
    }
    auto change = [upper](std::string& t) { upper ? text::UpperCaseInPlace(t) : text::LowerCaseInPlace(t); };
    if (out.empty()) {
        out.assign(block);
        change(out);
        return;
    }
    thread_local std::string scratch;
    scratch.assign(block);
    change(scratch);
    out += scratch;
}

BlockTemplate RecogniseBlockTemplate(std::string_view template_text, const tmpl::TemplateContext& context) {
    BlockTemplate none;
    // The case words must be the standard ones, and nothing may watch the expansion.
    if (context.OnModifierApplied || context.Trace ||
        (context.Modifiers && context.Modifiers != &tmpl::StandardModifiers()))
        return none;
    // Exactly two tags and nothing between or around them.
    struct Seen {
        bool ok = true;
        int tags = 0;
        std::size_t bytes = 0;
        BlockTemplate result;
    } seen;
    tmpl::VisitTemplateTags(template_text, context, [&](const tmpl::TagOutline& t) {
        ++seen.tags;
        seen.bytes += t.Full.size();
        const bool plain = t.Kind == tmpl::TagOutline::Form::Named && !t.NameHasTags && !t.NameHasTripleSlash &&
                           !t.Ampersand && !t.Uncut && (!t.NameArguments || t.NameArguments->Count == 0);
        if (!plain) {
            seen.ok = false;
        } else if (seen.tags == 1) {
            seen.result.LineTags = !t.Original;
            if (t.Lookup != "line" || t.Chain.size() > 1) {
                seen.ok = false;
            } else if (t.Chain.empty()) {
                seen.result.Chain = BlockChain::Identity;
            } else {
                const tmpl::TagOutline::Modifier& m = t.Chain[0];
                const bool bare = !m.WordHasTags && !m.WordHasTripleSlash &&
                                  (!m.Arguments || (m.Arguments->Count == 0 && m.Arguments->WholeText.empty() &&
                                                    m.Arguments->Options.empty() && !m.Arguments->HasColon));
                seen.result.Chain = !bare ? BlockChain::None
                                    : m.Lower == "caseupper" ? BlockChain::Upper
                                    : m.Lower == "caselower" ? BlockChain::Lower
                                                             : BlockChain::None;
                if (seen.result.Chain == BlockChain::None) seen.ok = false;
            }
        } else if (seen.tags == 2) {
            seen.result.Crlf = t.Lookup == "crlf";
            if ((t.Lookup != "eol" && !seen.result.Crlf) || !t.Chain.empty() || t.Original) seen.ok = false;
        }
    });
    if (!seen.ok || seen.tags != 2 || seen.bytes != template_text.size()) return none;
    // "crlf" must still be the CR LF the context starts with.
    if (seen.result.Crlf) {
        bool crlf = false;
        const auto& vars = context.Variables;
        for (std::size_t i = 1; i <= static_cast<std::size_t>(std::max(context.VariableCount, 0)) && i < vars.size(); ++i)
            if (vars[i].Name == "crlf") {
                crlf = vars[i].Value == "\r\n";
                break;
            }
        if (!crlf) return none;
    }
    return seen.result;
}

void DecideBlockChain(RunPlan& plan, const RunSettings& settings, const tmpl::TemplateContext* context) {
    plan.Blocks = BlockChain::None;
    plan.BlockLineTags = plan.BlockCrlf = false;
    // Forced line ends change lines apart; a line buffer and the look-back ways take lines one by one.
    if (!StreamsEveryLineAsItIs(plan)) return;
    if (!plan.UseTemplate) {
        plan.Blocks = BlockChain::Identity;
        return;
    }
    if (!context) return;
    const BlockTemplate t = RecogniseBlockTemplate(settings.TemplateText, *context);
    plan.Blocks = t.Chain;
    plan.BlockLineTags = t.LineTags;
    plan.BlockCrlf = t.Crlf;
}

void CollectSources(const tables::ArrayOfFiles& file_list, files::SourceSet& sources) {
    for (int32_t row = 1; row <= file_list.RowCount; ++row) {
        const tables::DataRecT* r = file_list.Row(row);
        if (!r || IsFolderRow(file_list, row)) continue;
        std::string path = file_list.GetCell(row, tables::kCodeFullPath);
        if (r->Extra && r->Extra->Facts.Inode != 0) {
            sources.Add(r->Extra->Facts.Device, r->Extra->Facts.Inode, std::move(path));
            continue;
        }
        files::fs::PathFacts f;
        if (files::fs::GetFacts(path, f) && f.exists) sources.Add(f.device, f.inode, std::move(path));
    }
}

std::string ErrorText(int error) { return error ? std::string(std::strerror(error)) : std::string("unknown error"); }

std::string DestinationReason(uint16_t status, int err, const std::string& reason, uint8_t flags,
                              const char* failed_words) {
    if (!reason.empty()) return reason;
    if ((status & files::kStatusFolderFailed) && (flags & files::kNoCreateFolders) && err == ENOENT)
        return "the destination folder does not exist and folders may not be created";
    if (status & files::kStatusStop)
        return files::DestinationStatusReason(
            status, (status & (files::kStatusFolderFailed | files::kStatusOutside)) ? err : 0);
    return failed_words + ErrorText(err);
}

std::string SourceReason(const files::fs::File& source) {
    if (source.NotRegular()) return "the source is not a regular file";
    if (source.Error() == ENOENT) return "the source file no longer exists";
    return "the source cannot be read: " + ErrorText(source.Error());
}

}  // namespace rowsmith::run
