#pragma once
// The progress record TFormGauge: long operations feed it caption, detail and percentage, and it decides
// by itself when an update is worth showing. It computes every repaint as a GaugePaint and hands it
// to a GaugeView (the Qt window, the terminal line, a recording fake), so the rules need no toolkit.

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace rowsmith::text {

class TFormGauge;

// Milliseconds from any fixed origin; only differences are used.
class GaugeClock {
  public:
    virtual ~GaugeClock() = default;
    virtual int64_t NowMs() = 0;
};
// The monotonic clock used when a record has none.
GaugeClock& SteadyGaugeClock();

// Everything a view needs for one repaint.
struct GaugePaint {
    std::string caption;
    std::string detail;  // already shortened to the characters the view can show
    bool show_detail = true;
    int32_t percentage = 0;
    int32_t bar_area_width = 0;
    int32_t filled_width = 0;  // the filled bar
    int32_t panel_width = 0;   // the coloured gradient panel
    std::string percent_text;  // "42%"
    int32_t label_left = 0;    // left of the percentage label within the bar area
    // With "label follows height": how far (0..100 % of the free height) the label moves down.
    int32_t label_drop_percent = 0;
    int32_t panel_colour = 0;
    int32_t gradient_colour1 = 0;
    int32_t gradient_colour2 = 0;
    int32_t gradient_colour3 = 0;
    int32_t background_colour = 0;
    int32_t light_colour = 0;
    std::string status_count;    // the update count
    std::string status_elapsed;  // "a:H:ii:ss"
    std::string status_eta;      // "ETA: " and the time left as "a:H:ii:ss"
    bool show_status = true;
    int64_t update_count = 0;
    int64_t elapsed_ms = 0;
    int64_t eta_ms = 0;
};

// The window of a progress record. Repaint shows it; closing it by the user only hides it.
class GaugeView {
  public:
    virtual ~GaugeView();
    virtual int BarAreaWidth() const;
    // How many characters of the detail line fit; 0 or less means no limit.
    virtual int DetailCharacters() const;
    // Pixel width of the percentage label with this text.
    virtual int LabelWidth(std::string_view text) const;
    virtual void Repaint(const GaugePaint& paint) = 0;
    // By default: whether the record has painted this view yet.
    virtual bool IsVisible() const;
    // Lets the toolkit handle pending events (the operation runs on the interface thread).
    virtual void ProcessEvents();

  protected:
    // A view calls this after its window was resized; the record repaints when it has shown values.
    void NotifyResized();

  private:
    friend class TFormGauge;
    std::function<void()> resized_;
    bool painted_ = false;
};

class GaugeViewFactory {
  public:
    virtual ~GaugeViewFactory() = default;
    virtual std::unique_ptr<GaugeView> CreateGaugeView() = 0;
};

// The record's fields, in order, with their defaults after Reset.
struct GaugeData {
    int64_t start_ms = 0;  // clock reading when timing started
    int32_t updates_since_refresh = 0;
    bool timing_started = false;
    int64_t last_refresh = 0;     // ms since start at the last time-based refresh
    bool time_refreshed = false;  // a time-based refresh happened (last_refresh may still be 0)
    int64_t update_count = 0;     // since reset or finish
    bool dirty = false;           // a repaint happened and the view shows current values
    bool show_detail = true;
    int32_t percentage = 0;  // 0..100
    std::string caption;
    std::string detail;
    int32_t refresh_every = 0;       // updates per refresh; 0 = off
    int64_t refresh_interval = 250;  // minimum ms between time-based refreshes; 0 = off
    int32_t background_colour = 0xFFFFFF;
    int32_t bar_colour1 = 0;
    int32_t light_colour = 0;  // base colour lightened by 4 steps
    int32_t base_colour = 0xE89868;
    // 0 left, 1 just right of the bar's end, 2 centred, 3 right-aligned inside the bar's end,
    // 4 as 3 without the status bar.
    uint8_t label_placement = 3;
    bool label_follows_height = false;
    bool keep_label_inside = true;  // placement 1 stays within the bar area
    bool gradient_on = true;
    bool lighten_with_progress = true;
    bool saturate_with_progress = true;
    bool full_width_panel = false;
    bool close_at_100 = false;
    int64_t first_show_delay = 0;  // ms before the first refresh; 0 = none
    // Wiring, kept by Reset: where views come from (none: nothing is shown) and the clock (none: steady).
    GaugeViewFactory* views = nullptr;
    GaugeClock* clock = nullptr;
};

class TFormGauge : public GaugeData {
  public:
    TFormGauge();
    ~TFormGauge();
    TFormGauge(TFormGauge&& other) noexcept;
    TFormGauge& operator=(TFormGauge&& other) noexcept;
    TFormGauge(const TFormGauge&) = delete;
    TFormGauge& operator=(const TFormGauge&) = delete;

    // Releases the view and restores every default (the factory and clock stay).
    void Reset();
    void SetBaseColour(int32_t colour);
    // Light colour = base lightened by 4 steps; white background.
    void RecomputeColours();
    // Refresh every 3 x (n div 100 + 1) updates, at least 500.
    void SetRefreshRateFromCount(int64_t n);

    void Update(std::string_view caption_text, std::string_view detail_text, int32_t percent);
    // Percentage = trunc(numerator / denominator x 100); a zero denominator shows 100.
    void UpdateFraction(std::string_view caption_text, std::string_view detail_text, int64_t numerator,
                        int64_t denominator);
    // As UpdateFraction, for a caller that feeds a new detail text with every item: the record takes
    // the text by swapping strings instead of copying it, and detail_text gets the previous detail
    // back (its buffer, for the caller to overwrite). What the record shows is the same.
    // `updates` > 1 stands for that many updates of which this is the last: a caller that feeds one
    // item at a time may feed every k-th item with k, and the counts, the count rate and what is
    // shown stay those of feeding each item (only a repaint may come up to k - 1 items late).
    void UpdateFractionSwap(std::string_view caption_text, std::string& detail_text, int64_t numerator,
                            int64_t denominator, int32_t updates = 1);
    // Update, standing for `updates` updates as above.
    void UpdateCounted(std::string_view caption_text, std::string_view detail_text, int32_t percent,
                       int32_t updates);
    void UpdatePercentage(int32_t percent);
    void UpdateCaption(std::string_view caption_text, int32_t percent);
    // Paints 100 % once when the view is visible, releases the view and clears the counters.
    void Finish();

    // The refresh rules; counts the update (or `updates` of them) and may finish the record (close at 100).
    bool Due(int32_t updates = 1);
    // Paints the current state on the view (if any), lets events run and marks the record dirty.
    void Repaint();
    // The repaint for a view of these measures; label_width defaults to 7 pixels a character.
    GaugePaint ComputePaint(int bar_area_width, int detail_characters,
                            const std::function<int(std::string_view)>& label_width = {}) const;

    GaugeView* View() const { return view_.get(); }
    // How many more updates the count rule needs before it makes one due (at least 1); without a
    // count rate, a number larger than any batch.
    int64_t UpdatesUntilCountDue() const {
        if (refresh_every <= 0) return INT32_MAX;
        return std::max<int64_t>(1, static_cast<int64_t>(refresh_every) - updates_since_refresh);
    }
    int64_t ElapsedMs() const;

  private:
    void Store(std::string_view caption_text, std::string_view detail_text, int32_t percent);
    // Counts a stored update, opens the view on the first one and repaints when due.
    void Admit(int32_t updates = 1);
    void OpenView();
    void HookView();
    void ViewResized();
    void PaintView(bool process_events);
    int64_t NowMs() const;

    // trunc(numerator / denominator x 100), remembered for the range of numerators that share it:
    // a per-item caller pays the division once a percent.
    int32_t FractionOf(int64_t numerator, int64_t denominator);

    std::unique_ptr<GaugeView> view_;
    int64_t fraction_denominator_ = 0;
    int64_t fraction_low_ = 1;  // an empty range until the first division
    int64_t fraction_high_ = 0;
    int32_t fraction_percent_ = 0;
};

// Callers that would feed a record once an item (a line read or written) feed it at most every this
// many items, with the count of items since (see UpdateCounted): a few nanoseconds an item become a
// fraction of one.
constexpr int32_t kProgressBatch = 256;

// Counts the items of such a caller and says when to feed: at the first item and at every item on
// which the count rule falls, as feeding each would, and otherwise once every kProgressBatch items
// (a repaint by time comes at most that many items late).
class GaugeBatch {
  public:
    // Counts an item; true when the record is to be fed now, with Pending() updates.
    bool Count() { return ++pending_ >= limit_; }
    // Counts n items at once (a block of lines).
    bool Count(int64_t n) {
        pending_ = static_cast<int32_t>(std::min<int64_t>(int64_t{pending_} + n, 1 << 30));
        return pending_ >= limit_;
    }
    int32_t Pending() const { return pending_; }
    // Items still to count before the record is due (at least one).
    int32_t Due() const { return std::max(limit_ - pending_, 1); }
    // After feeding: the next feed falls on the count rule's next repaint or a batch later.
    void Fed(const TFormGauge& gauge) {
        pending_ = 0;
        const int64_t until = gauge.UpdatesUntilCountDue();
        limit_ = static_cast<int32_t>(std::min<int64_t>(kProgressBatch, until));
    }
    void Restart() {
        pending_ = 0;
        limit_ = 1;
    }

  private:
    int32_t pending_ = 0;
    int32_t limit_ = 1;
};

// Shortens a path-like text to max_chars characters by replacing the characters right after its
// root ("c:\", "\\server\", "/") with "..", so that the root and the end stay visible.
std::string ShortenDetail(std::string_view text, int max_chars);

// The settings each of the program's operations gives its record.
enum class GaugeUse { Copying, Writing, Reading, Sorting, Scanning };
// line_count matters for Writing only (the count rate follows it).
void ApplyGaugeSettings(TFormGauge& gauge, GaugeUse use, int64_t line_count = 0);

}  // namespace rowsmith::text
