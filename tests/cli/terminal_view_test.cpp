#include "cli/terminal_view.h"

#include <gtest/gtest.h>

#include <sstream>

namespace rowsmith::cli {
namespace {

text::GaugePaint Paint(int pct, std::string caption, std::string detail = "") {
    text::GaugePaint p;
    p.percentage = pct;
    p.caption = std::move(caption);
    p.detail = std::move(detail);
    p.elapsed_ms = 3723000;   // 1:02:03
    p.eta_ms = 90061000;      // 1 day, 01:01:01
    return p;
}

TEST(TerminalView, NumbersComeFirstAndSurviveANarrowTerminal) {
    const std::string line = FormatProgressLine(Paint(40, "Writing:/a/very/long/path/of/a/file.txt", "last line"), 40);
    EXPECT_EQ(line.substr(0, 27), " 40% [########............]");
    EXPECT_EQ(line.size(), 39u);
    const std::string wide = FormatProgressLine(Paint(100, "Copying Files...", "/src/a.txt"), 200);
    EXPECT_NE(wide.find("100% [####################] 1:02:03 ETA 1d 01:01:01  Copying Files...  /src/a.txt"),
              std::string::npos);
    EXPECT_EQ(FormatProgressLine(Paint(0, "x"), 200).substr(0, 27), "  0% [....................]");
}

TEST(TerminalView, ClearingOnlyAfterALineWasShown) {
    std::ostringstream err;
    TerminalGaugeFactory f(err);
    f.ClearLine();
    EXPECT_EQ(err.str(), "");
    {
        auto view = f.CreateGaugeView();
        view->Repaint(Paint(10, "Reading:x"));
        EXPECT_TRUE(f.LineShown());
    }
    // Releasing the view wipes the line, and nothing is ever written without a carriage return first.
    EXPECT_FALSE(f.LineShown());
    EXPECT_EQ(err.str().front(), '\r');
    EXPECT_NE(err.str().rfind("\r\x1b[K"), std::string::npos);
}

}  // namespace
}  // namespace rowsmith::cli
