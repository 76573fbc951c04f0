#include "run/file_split.h"

#include <algorithm>

#include "run/expand_lines.h"
#include "template/evaluator.h"

namespace rowsmith::run {

struct ChunkPool::Helper {
    std::unique_ptr<LineExpander> Own;
    ContextLineExpander* Direct = nullptr;
    std::string_view EolSet;
    bool EolKnown = false;
};

ChunkPool::ChunkPool(Settings settings) : settings_(std::move(settings)) {
    if (!settings_.NewExpander) return;
    for (int i = 0; i < settings_.Threads; ++i) {
        auto helper = std::make_unique<Helper>();
        helper->Own = settings_.NewExpander();
        helper->Direct = DirectExpander(helper->Own.get());
        if (!helper->Direct) {
            helpers_.clear();
            return;
        }
        helpers_.push_back(std::move(helper));
    }
    for (auto& helper : helpers_) threads_.emplace_back([this, h = helper.get()] { Loop(*h); });
}

ChunkPool::~ChunkPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    work_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void ChunkPool::Submit(std::unique_ptr<Chunk> chunk) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(chunk));
    }
    work_.notify_one();
}

std::unique_ptr<ChunkPool::Chunk> ChunkPool::Next() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (queue_.empty()) return nullptr;
    done_.wait(lock, [this] { return queue_.front()->Done; });
    std::unique_ptr<Chunk> chunk = std::move(queue_.front());
    queue_.pop_front();
    --next_;  // the front had been taken
    return chunk;
}

void ChunkPool::DropAll() {
    std::unique_lock<std::mutex> lock(mutex_);
    // Chunks no helper took go at once; those being expanded are waited for.
    while (queue_.size() > next_) queue_.pop_back();
    done_.wait(lock, [this] {
        return std::all_of(queue_.begin(), queue_.end(), [](const std::unique_ptr<Chunk>& c) { return c->Done; });
    });
    queue_.clear();
    next_ = 0;
}

void ChunkPool::Loop(Helper& helper) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return quit_ || next_ < queue_.size(); });
        if (quit_) return;
        Chunk* chunk = queue_[next_++].get();  // stays put: only done chunks leave the front
        lock.unlock();
        Expand(helper, *chunk);
        lock.lock();
        chunk->Done = true;
        done_.notify_all();
    }
}

void ChunkPool::Expand(Helper& h, Chunk& c) {
    text::CharModelScope model(c.Model);
    int64_t at = c.FirstLine;
    c.Out.reserve(c.Text.size() + c.Text.size() / 4);
    files::ForEachLine(c.Text, c.Rule, [&](std::string_view line, files::LineEnd end) {
        if (settings_.RefuseLineTags && tmpl::ContainsTags(h.Direct->Context(), line)) {
            c.Tainted = true;
            return false;
        }
        // The texts are constants: comparing where they point is enough to tell a change.
        const std::string_view eol = files::OutputLineEnd(settings_.LineEnds, end);
        if (!h.EolKnown || eol.data() != h.EolSet.data() || eol.size() != h.EolSet.size()) {
            h.Direct->SetLineEnd(eol);
            h.EolSet = eol;
            h.EolKnown = true;
        }
        h.Direct->ExpandLineAppend(settings_.TemplateText, line, c.Out);
        if (std::string why = h.Direct->TakeBoundReason(); !why.empty()) [[unlikely]] {
            c.BoundReason = "line " + std::to_string(at) + ": " + std::move(why);
            return false;
        }
        ++c.Lines;
        ++at;
        return true;
    });
}

}  // namespace rowsmith::run
