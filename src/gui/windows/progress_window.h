#pragma once
// TGaugeWindow: the window of a progress record, a small tool window with the caption, a gradient
// bar with its percentage, the detail line and a status bar (updates, elapsed time, time left), with
// a "Cancel" button (and Esc) when the operation can be cancelled. GaugeWindowFactory hands these
// windows to progress records.

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "text/form_gauge.h"

class QLabel;
class QPushButton;
class QStatusBar;

namespace rowsmith::gui {

class TPanel;
class TGPanel;

// The detail text as one line: a written line's own line end at the end is dropped, and a line break
// inside shows as "↵" (a label would lay out two lines in the room of one and cut both).
std::string OneLineDetail(std::string_view detail);

class TGaugeWindow : public QWidget, public text::GaugeView {
    Q_OBJECT
  public:
    explicit TGaugeWindow(QWidget* parent = nullptr);
    ~TGaugeWindow() override;

    // What "Cancel" and Esc do; without one the button is hidden and Esc does nothing. The operation
    // decides when it stops: the button only asks once.
    void SetCancelHandler(std::function<void()> handler);
    void RequestCancel();

    int BarAreaWidth() const override;
    int DetailCharacters() const override;
    int LabelWidth(std::string_view text) const override;
    void Repaint(const text::GaugePaint& paint) override;
    bool IsVisible() const override;
    void ProcessEvents() override;

    // The parts, for the program's own inspection and tests.
    TGPanel* TopPanel() const { return top_; }
    QLabel* CaptionLabel() const { return caption_; }
    TPanel* BarArea() const { return bar_area_; }
    TPanel* FilledBar() const { return filled_; }
    TGPanel* ColouredPanel() const { return coloured_; }
    QLabel* PercentLabel() const { return percent_; }
    QLabel* DetailLabel() const { return detail_; }
    QStatusBar* StatusBar() const { return status_; }
    QPushButton* CancelButton() const { return cancel_; }
    // 0: update count, 1: elapsed time, 2: time left.
    QLabel* StatusPanel(int index) const;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void LayOut();
    void PlaceBar();
    // The window height the labels need at their fonts' heights (at least the design height).
    int NeededHeight() const;

    TGPanel* top_ = nullptr;
    QLabel* caption_ = nullptr;
    TPanel* bar_area_ = nullptr;
    TPanel* filled_ = nullptr;
    TGPanel* coloured_ = nullptr;
    QLabel* percent_ = nullptr;
    QLabel* detail_ = nullptr;
    QStatusBar* status_ = nullptr;
    QLabel* status_panels_[3] = {};
    QPushButton* cancel_ = nullptr;
    std::function<void()> on_cancel_;
    // The last repaint, so that a re-layout keeps the bar where the record put it.
    text::GaugePaint shown_;
};

class GaugeWindowFactory : public text::GaugeViewFactory {
  public:
    // Given to every window made while it is set (the processing run sets it for its duration).
    std::function<void()> OnCancel;
    std::unique_ptr<text::GaugeView> CreateGaugeView() override;
};

}  // namespace rowsmith::gui
