#include "cli/terminal_view.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ostream>

namespace rowsmith::cli {

namespace {

constexpr int kBarCells = 20;

class TerminalGaugeView final : public text::GaugeView {
public:
    explicit TerminalGaugeView(TerminalGaugeFactory& owner) : owner_(owner), width_(TerminalColumns()) {}
    ~TerminalGaugeView() override { owner_.ClearLine(); }

    int BarAreaWidth() const override { return kBarCells; }
    int DetailCharacters() const override { return std::max(10, width_ / 2); }
    int LabelWidth(std::string_view text) const override { return static_cast<int>(text.size()); }
    void Repaint(const text::GaugePaint& paint) override {
        owner_.Stream() << '\r' << FormatProgressLine(paint, width_) << "\x1b[K" << std::flush;
        owner_.SetShown(true);
    }

private:
    TerminalGaugeFactory& owner_;
    int width_;
};

// A span as H:MM:SS, with whole days in front when there are any ("1d 02:03:04").
std::string Span(int64_t ms) {
    if (ms < 0) ms = 0;
    int64_t s = ms / 1000;
    const int64_t days = s / 86400;
    s %= 86400;
    char buf[48];
    if (days > 0)
        std::snprintf(buf, sizeof buf, "%lldd %02lld:%02lld:%02lld", static_cast<long long>(days),
                      static_cast<long long>(s / 3600), static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
    else
        std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                      static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
    return buf;
}

}  // namespace

int TerminalColumns() {
    struct winsize ws {};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
    if (const char* c = std::getenv("COLUMNS")) {
        const int n = std::atoi(c);
        if (n > 0) return n;
    }
    return 80;
}

std::string FormatProgressLine(const text::GaugePaint& p, int width) {
    // Numbers first, so that a narrow terminal cuts the caption and the detail, never the progress.
    const int filled = std::clamp(p.percentage * kBarCells / 100, 0, kBarCells);
    char pct[8];
    std::snprintf(pct, sizeof pct, "%3d%%", std::clamp(p.percentage, 0, 100));
    std::string line = pct;
    line += " [";
    line += std::string(static_cast<std::size_t>(filled), '#');
    line += std::string(static_cast<std::size_t>(kBarCells - filled), '.');
    line += "] ";
    line += Span(p.elapsed_ms);
    line += " ETA ";
    line += Span(p.eta_ms);
    line += "  ";
    line += p.caption;
    if (p.show_detail && !p.detail.empty()) {
        line += "  ";
        line += p.detail;
    }
    if (width > 1 && static_cast<int>(line.size()) > width - 1) line.resize(static_cast<std::size_t>(width - 1));
    return line;
}

std::unique_ptr<text::GaugeView> TerminalGaugeFactory::CreateGaugeView() {
    return std::make_unique<TerminalGaugeView>(*this);
}

void TerminalGaugeFactory::ClearLine() {
    if (!shown_) return;
    err_ << "\r\x1b[K" << std::flush;
    shown_ = false;
}

}  // namespace rowsmith::cli
