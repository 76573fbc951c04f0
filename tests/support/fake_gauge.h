#pragma once
// Test doubles for the progress record: a clock the test moves by hand and a view that records every
// repaint instead of drawing it.

#include <cstdint>
#include <memory>
#include <vector>

#include "text/form_gauge.h"

namespace rowsmith::testing {

class FakeGaugeClock : public text::GaugeClock {
  public:
    int64_t now = 0;
    int64_t NowMs() override { return now; }
};

// What the views of one factory went through; outlives the views themselves.
struct FakeGaugeLog {
    std::vector<text::GaugePaint> paints;
    int created = 0;
    int released = 0;
    int events = 0;
    bool visible = false;
    int bar_area_width = 400;
    int detail_characters = 40;
};

class FakeGaugeView : public text::GaugeView {
  public:
    explicit FakeGaugeView(FakeGaugeLog& log) : log_(log) {}
    ~FakeGaugeView() override {
        ++log_.released;
        log_.visible = false;
    }
    int BarAreaWidth() const override { return log_.bar_area_width; }
    int DetailCharacters() const override { return log_.detail_characters; }
    int LabelWidth(std::string_view text) const override { return 10 * static_cast<int>(text.size()); }
    void Repaint(const text::GaugePaint& paint) override {
        log_.paints.push_back(paint);
        log_.visible = true;
    }
    bool IsVisible() const override { return log_.visible; }
    void ProcessEvents() override { ++log_.events; }
    // The user closing the window only hides it.
    void Close() { log_.visible = false; }
    void Resize() { NotifyResized(); }

  private:
    FakeGaugeLog& log_;
};

class FakeGaugeFactory : public text::GaugeViewFactory {
  public:
    FakeGaugeLog log;
    std::unique_ptr<text::GaugeView> CreateGaugeView() override {
        ++log.created;
        return std::make_unique<FakeGaugeView>(log);
    }
};

}  // namespace rowsmith::testing
