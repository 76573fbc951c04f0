#pragma once
// One large file on several threads: the lines after the first go out in chunks of whole lines (as
// the reader hands them over), each expanded line by line on a helper thread through a template
// context of its own, and come back in the order they went out, to be written in that order. Only
// for templates that keep no state (tmpl::DecideStateUse), so a fresh context gives each line what
// the run's one context would.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "files/line_ends.h"
#include "run/processing_run.h"
#include "text/utf8.h"

namespace rowsmith::run {

class ChunkPool {
public:
    struct Chunk {
        std::string Text;        // whole lines with their ends; the last may have none
        int64_t FirstLine = 0;   // the number of its first line in the file
        files::LineEnds Rule = files::LineEnds::Crlf;  // how its lines split (the file's rule)
        text::CharModel Model = text::CharModel::Utf8;
        // Filled by the helper.
        std::string Out;
        int64_t Lines = 0;        // lines expanded before a stop
        std::string BoundReason;  // "line N: ..." where a bound changed a result: the file stops there
        bool Tainted = false;     // a line holds a tag (refused): the chunk goes to the run's context
        bool Done = false;
    };
    struct Settings {
        int Threads = 2;
        std::function<std::unique_ptr<LineExpander>()> NewExpander;
        std::string TemplateText;
        files::LineEnds LineEnds = files::LineEnds::Auto;
        bool RefuseLineTags = false;
    };
    explicit ChunkPool(Settings settings);
    ~ChunkPool();
    ChunkPool(const ChunkPool&) = delete;
    ChunkPool& operator=(const ChunkPool&) = delete;

    // Whether helpers with their own contexts could be made.
    bool Ready() const { return !helpers_.empty(); }
    // Hands a chunk over (waiting while too many are out).
    void Submit(std::unique_ptr<Chunk> chunk);
    // The oldest chunk handed over, once expanded (waiting for it); null when none is out.
    std::unique_ptr<Chunk> Next();
    // Drops every chunk still out (a file that stops early).
    void DropAll();
    std::size_t Out() {
        std::lock_guard<std::mutex> lock(mutex_);
        return queue_.size();
    }

private:
    struct Helper;
    void Loop(Helper& helper);
    void Expand(Helper& helper, Chunk& chunk);

    Settings settings_;
    std::vector<std::unique_ptr<Helper>> helpers_;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable work_, done_;
    std::deque<std::unique_ptr<Chunk>> queue_;  // handed over, in order
    std::size_t next_ = 0;                      // the first chunk no helper took yet
    bool quit_ = false;
};

}  // namespace rowsmith::run
