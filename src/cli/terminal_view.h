#pragma once
// The terminal view of a progress record: one self-rewriting line on stderr with the caption, the
// percentage, a bar, the elapsed time, the estimate and the detail shortened to the terminal width.

#include <iosfwd>
#include <memory>
#include <string>

#include "text/form_gauge.h"

namespace rowsmith::cli {

class TerminalGaugeFactory final : public text::GaugeViewFactory {
public:
    explicit TerminalGaugeFactory(std::ostream& err) : err_(err) {}
    std::unique_ptr<text::GaugeView> CreateGaugeView() override;
    // Wipes the progress line so that a message can be printed in its place.
    void ClearLine();
    bool LineShown() const { return shown_; }
    void SetShown(bool s) { shown_ = s; }
    std::ostream& Stream() { return err_; }

private:
    std::ostream& err_;
    bool shown_ = false;
};

// The progress line for a terminal of `width` columns (without the leading carriage return).
std::string FormatProgressLine(const text::GaugePaint& p, int width);
// The terminal's width in columns (80 when unknown).
int TerminalColumns();

}  // namespace rowsmith::cli
