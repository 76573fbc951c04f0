#include "text/form_gauge.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "text/chars.h"
#include "text/colours.h"
#include "text/dates.h"
#include "text/numbers.h"

namespace rowsmith::text {

namespace {

constexpr int64_t kMsPerDay = 86400000;
constexpr int kDefaultBarAreaWidth = 432;  // a 456-pixel window less its borders and margins
constexpr int kDefaultCharWidth = 7;       // "A" in the detail line's fixed-pitch font

class SteadyClock final : public GaugeClock {
  public:
    int64_t NowMs() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

int DefaultLabelWidth(std::string_view text) {
    return static_cast<int>(text.size()) * kDefaultCharWidth;
}

std::string SpanText(int64_t ms) {
    return FormatDateTime("a:H:ii:ss", "0", static_cast<double>(ms) / kMsPerDay);
}

std::size_t PathRootLength(std::string_view text) {
    const auto is_sep = [](char c) { return c == '\\' || c == '/'; };
    if (text.size() >= 2 && is_sep(text[0]) && is_sep(text[1])) {
        const std::size_t end = text.find_first_of("\\/", 2);
        return end == std::string_view::npos ? text.size() : end + 1;
    }
    if (text.size() >= 2 && text[1] == ':' && IsAsciiLetter(text[0]))
        return text.size() >= 3 && is_sep(text[2]) ? 3 : 2;
    if (!text.empty() && is_sep(text[0])) return 1;
    return 0;
}

}  // namespace

GaugeClock& SteadyGaugeClock() {
    static SteadyClock clock;
    return clock;
}

// ---- GaugeView defaults

GaugeView::~GaugeView() = default;
int GaugeView::BarAreaWidth() const {
    return kDefaultBarAreaWidth;
}
int GaugeView::DetailCharacters() const {
    return BarAreaWidth() / kDefaultCharWidth;
}
int GaugeView::LabelWidth(std::string_view text) const {
    return DefaultLabelWidth(text);
}
bool GaugeView::IsVisible() const {
    return painted_;
}
void GaugeView::ProcessEvents() {}
void GaugeView::NotifyResized() {
    if (resized_) resized_();
}

// ---- Shortening

std::string ShortenDetail(std::string_view text, int max_chars) {
    if (max_chars <= 0 || text.size() <= static_cast<std::size_t>(max_chars)) return std::string(text);
    const auto max = static_cast<std::size_t>(max_chars);
    if (max <= 2) return std::string(text.substr(text.size() - max));
    std::size_t root = PathRootLength(text);
    if (root + 2 >= max) root = 0;  // no room for the root: the end matters more
    const std::size_t keep = max - root - 2;
    std::string out(text.substr(0, root));
    out += "..";
    out.append(text.substr(text.size() - keep));
    return out;
}

// ---- TFormGauge

TFormGauge::TFormGauge() {
    Reset();
}

TFormGauge::~TFormGauge() = default;

TFormGauge::TFormGauge(TFormGauge&& other) noexcept
    : GaugeData(std::move(other)), view_(std::move(other.view_)) {
    HookView();
}

TFormGauge& TFormGauge::operator=(TFormGauge&& other) noexcept {
    if (this != &other) {
        GaugeData::operator=(std::move(other));
        view_ = std::move(other.view_);
        HookView();
    }
    return *this;
}

void TFormGauge::Reset() {
    view_.reset();
    GaugeViewFactory* const keep_views = views;
    GaugeClock* const keep_clock = clock;
    static_cast<GaugeData&>(*this) = GaugeData{};
    views = keep_views;
    clock = keep_clock;
    RecomputeColours();
}

void TFormGauge::SetBaseColour(int32_t colour) {
    base_colour = colour;
    RecomputeColours();
}

void TFormGauge::RecomputeColours() {
    light_colour = LightenColor(base_colour, 4);
    bar_colour1 = base_colour;
    background_colour = kWhite;
}

void TFormGauge::SetRefreshRateFromCount(int64_t n) {
    const int64_t every = 3 * (n / 100 + 1);
    refresh_every = static_cast<int32_t>(std::clamp<int64_t>(every, 500, INT32_MAX));
}

void TFormGauge::Store(std::string_view caption_text, std::string_view detail_text, int32_t percent) {
    caption.assign(caption_text);
    detail.assign(detail_text);
    percentage = std::clamp(percent, 0, 100);
}

void TFormGauge::Update(std::string_view caption_text, std::string_view detail_text, int32_t percent) {
    Store(caption_text, detail_text, percent);
    Admit();
}

void TFormGauge::UpdateCounted(std::string_view caption_text, std::string_view detail_text, int32_t percent,
                               int32_t updates) {
    Store(caption_text, detail_text, percent);
    Admit(updates);
}

void TFormGauge::Admit(int32_t updates) {
    const bool first = update_count == 0;
    update_count += std::max(updates, 1);
    if (first) OpenView();
    if (Due(updates)) Repaint();
}

namespace {
int32_t FractionPercent(int64_t numerator, int64_t denominator) {
    if (denominator == 0) return 100;
    const double p = std::trunc(static_cast<double>(numerator) / static_cast<double>(denominator) * 100);
    return static_cast<int32_t>(std::clamp(p, 0.0, 100.0));
}
}  // namespace

int32_t TFormGauge::FractionOf(int64_t numerator, int64_t denominator) {
    if (denominator == fraction_denominator_ && numerator >= fraction_low_ && numerator < fraction_high_)
        return fraction_percent_;
    const int32_t p = FractionPercent(numerator, denominator);
    fraction_denominator_ = denominator;
    fraction_percent_ = p;
    fraction_low_ = numerator;
    fraction_high_ = numerator + 1;
    // With a positive denominator the percentage never falls as the numerator grows (every step of
    // the computation is monotonic), so it holds up to the first numerator that gives more. That one
    // is found from the exact quotient's estimate, corrected by the computation itself. Huge
    // denominators (where the estimate would overflow) are simply not remembered.
    constexpr int64_t kLargest = int64_t{1} << 52;
    if (denominator > 0 && denominator < kLargest && numerator >= 0 && numerator < kLargest && p < 100) {
        int64_t next = std::max<int64_t>((p + 1) * denominator / 100, numerator + 1);
        while (next - 1 > numerator && FractionPercent(next - 1, denominator) > p) --next;
        while (FractionPercent(next, denominator) <= p) ++next;
        fraction_high_ = next;
    }
    return p;
}

void TFormGauge::UpdateFraction(std::string_view caption_text, std::string_view detail_text,
                                int64_t numerator, int64_t denominator) {
    Update(caption_text, detail_text, FractionOf(numerator, denominator));
}

void TFormGauge::UpdateFractionSwap(std::string_view caption_text, std::string& detail_text, int64_t numerator,
                                    int64_t denominator, int32_t updates) {
    // The caption rarely changes between items: comparing is cheaper than rewriting it.
    if (caption != caption_text) caption.assign(caption_text);
    detail.swap(detail_text);
    percentage = FractionOf(numerator, denominator);
    Admit(updates);
}

void TFormGauge::UpdatePercentage(int32_t percent) {
    const std::string c = caption;
    const std::string d = detail;
    Update(c, d, percent);
}

void TFormGauge::UpdateCaption(std::string_view caption_text, int32_t percent) {
    const std::string d = detail;
    Update(caption_text, d, percent);
}

void TFormGauge::OpenView() {
    if (view_ || views == nullptr) return;
    view_ = views->CreateGaugeView();
    HookView();
}

void TFormGauge::HookView() {
    if (view_) view_->resized_ = [this] { ViewResized(); };
}

void TFormGauge::ViewResized() {
    // Inside the toolkit's own event handling: paint, but do not pump events again.
    if (dirty && view_) PaintView(false);
}

int64_t TFormGauge::NowMs() const {
    return (clock != nullptr ? *clock : SteadyGaugeClock()).NowMs();
}

int64_t TFormGauge::ElapsedMs() const {
    return timing_started ? NowMs() - start_ms : 0;
}

bool TFormGauge::Due(int32_t updates) {
    if (!timing_started && (refresh_interval != 0 || first_show_delay != 0)) {
        timing_started = true;
        start_ms = NowMs();
        last_refresh = 0;
        time_refreshed = false;
    }
    if (close_at_100 && percentage >= 100) {
        Finish();
        return false;
    }
    if (refresh_every == 0 && refresh_interval == 0) return true;

    updates_since_refresh += std::max(updates, 1);
    const bool waiting_for_first_show = first_show_delay != 0 && !time_refreshed;
    if (refresh_every != 0 && updates_since_refresh >= refresh_every && !waiting_for_first_show) return true;
    if (refresh_interval == 0 && !waiting_for_first_show) return false;

    const int64_t elapsed = NowMs() - start_ms;
    const bool due =
        time_refreshed ? elapsed - last_refresh >= refresh_interval : elapsed >= first_show_delay;
    if (due) {
        last_refresh = elapsed;
        time_refreshed = true;
    }
    return due;
}

GaugePaint TFormGauge::ComputePaint(int bar_area_width, int detail_characters,
                                    const std::function<int(std::string_view)>& label_width) const {
    GaugePaint p;
    p.caption = caption;
    p.detail = ShortenDetail(detail, detail_characters);
    p.show_detail = show_detail;
    p.percentage = percentage;
    p.bar_area_width = bar_area_width;
    p.filled_width = static_cast<int32_t>(static_cast<int64_t>(bar_area_width) * percentage / 100) + 2;
    p.panel_width = full_width_panel ? bar_area_width + 4 : p.filled_width + 2;
    p.percent_text = IntText(percentage) + "%";

    const int lw = label_width ? label_width(p.percent_text) : DefaultLabelWidth(p.percent_text);
    switch (label_placement) {
        case 0:
            p.label_left = 3;
            break;
        case 1: {
            int left = p.filled_width + 2;
            if (keep_label_inside) left = std::min(left, bar_area_width - lw);
            p.label_left = std::max(left, 1);
            break;
        }
        case 2:
            p.label_left = std::max((bar_area_width - lw) / 2, 1);
            break;
        default:
            p.label_left = std::max(p.filled_width - lw - 2, 1);
            break;
    }
    p.label_drop_percent = label_follows_height ? percentage : 0;

    int32_t bar1 = kWhite;
    int32_t light = light_colour;
    if (!gradient_on) {
        bar1 = base_colour;
        light = base_colour;
    } else if (lighten_with_progress) {
        bar1 = LightenColor(base_colour, percentage * 14 / 100.0);
    }
    p.panel_colour = base_colour;
    p.gradient_colour1 = bar1;
    p.gradient_colour2 = base_colour;
    p.gradient_colour3 = base_colour;
    if (saturate_with_progress) {
        p.panel_colour = SaturateColor(p.panel_colour, percentage);
        p.gradient_colour1 = SaturateColor(p.gradient_colour1, percentage);
        p.gradient_colour2 = SaturateColor(p.gradient_colour2, percentage);
        p.gradient_colour3 = SaturateColor(p.gradient_colour3, percentage);
    }
    p.background_colour = background_colour;
    p.light_colour = light;

    p.update_count = update_count;
    p.elapsed_ms = ElapsedMs();
    p.eta_ms = percentage > 0
                   ? static_cast<int64_t>(std::trunc(static_cast<double>(p.elapsed_ms) / percentage * 100)) -
                         p.elapsed_ms
                   : kMsPerDay;
    p.status_count = IntText(update_count);
    p.status_elapsed = SpanText(p.elapsed_ms);
    p.status_eta = "ETA: " + SpanText(p.eta_ms);
    p.show_status = label_placement != 4;
    return p;
}

void TFormGauge::PaintView(bool process_events) {
    const GaugeView& v = *view_;
    const GaugePaint paint = ComputePaint(v.BarAreaWidth(), v.DetailCharacters(),
                                          [&v](std::string_view text) { return v.LabelWidth(text); });
    bar_colour1 = paint.gradient_colour1;
    light_colour = paint.light_colour;
    view_->painted_ = true;
    view_->Repaint(paint);
    if (process_events) view_->ProcessEvents();
}

void TFormGauge::Repaint() {
    if (view_) PaintView(true);
    updates_since_refresh = 0;
    dirty = true;
}

void TFormGauge::Finish() {
    if (view_) {
        if (view_->IsVisible()) {
            percentage = 100;
            Repaint();
        }
        // The view's destructor takes the window away.
        view_.reset();
    }
    timing_started = false;
    time_refreshed = false;
    last_refresh = 0;
    updates_since_refresh = 0;
    update_count = 0;
    dirty = false;
}

void ApplyGaugeSettings(TFormGauge& gauge, GaugeUse use, int64_t line_count) {
    switch (use) {
        case GaugeUse::Copying:
            gauge.refresh_every = 0;
            gauge.refresh_interval = 250;
            gauge.first_show_delay = 0;
            gauge.SetBaseColour(0xFF0000);
            break;
        case GaugeUse::Writing:
            gauge.SetRefreshRateFromCount(line_count);
            gauge.refresh_interval = 250;
            gauge.first_show_delay = 0;
            gauge.SetBaseColour(0x0000FF);
            break;
        case GaugeUse::Reading:
            gauge.refresh_every = 0;
            gauge.refresh_interval = 100;
            gauge.first_show_delay = 300;
            gauge.SetBaseColour(0xB5B56A);
            break;
        case GaugeUse::Sorting:
            gauge.refresh_every = 1000;
            gauge.refresh_interval = 0;
            gauge.first_show_delay = 1000;
            gauge.SetBaseColour(0xE89868);
            break;
        case GaugeUse::Scanning:
            gauge.refresh_every = 0;
            gauge.refresh_interval = 250;
            gauge.first_show_delay = 0;
            gauge.SetBaseColour(0xE89868);
            break;
    }
}

}  // namespace rowsmith::text
