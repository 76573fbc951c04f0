#pragma once
// TPanel, a panel with the classic bevels, border and caption, and TGPanel, a panel that paints a two-
// or three-colour linear gradient inside its bevels (title bars and backgrounds of the panel layout).

#include <QString>
#include <QWidget>
#include <cstdint>

#include "gui/logic/paint_math.h"

namespace rowsmith::gui {

class TPanel : public QWidget {
    Q_OBJECT
  public:
    explicit TPanel(QWidget* parent = nullptr);

    TPanelBevel BevelInner() const { return bevel_inner_; }
    void SetBevelInner(TPanelBevel bevel);
    TPanelBevel BevelOuter() const { return bevel_outer_; }
    void SetBevelOuter(TPanelBevel bevel);
    int BevelWidth() const { return bevel_width_; }
    void SetBevelWidth(int width);
    // A single border outside the bevels: sunken 2 pixels with the 3-D look, a 1-pixel line without.
    bool BorderSingle() const { return border_single_; }
    void SetBorderSingle(bool single);
    bool Ctl3D() const { return ctl3d_; }
    void SetCtl3D(bool on);
    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    Qt::Alignment CaptionAlignment() const { return alignment_; }
    void SetCaptionAlignment(Qt::Alignment alignment);
    // The panel colour is the palette's window colour.
    int32_t Color() const;
    void SetColor(int32_t colour);

    // The client area: the panel without its border (bevels are inside it).
    QRect ClientRect() const { return contentsRect(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    // Runs after the ordinary paint (bevels, caption), clipped to the client area.
    virtual void PaintOver(QPainter& painter) {}

  private:
    void UpdateBorder();

    TPanelBevel bevel_inner_ = TPanelBevel::bvNone;
    TPanelBevel bevel_outer_ = TPanelBevel::bvRaised;
    int bevel_width_ = 1;
    bool border_single_ = false;
    bool ctl3d_ = true;
    QString caption_;
    Qt::Alignment alignment_ = Qt::AlignCenter;
};

class TGPanel : public TPanel {
    Q_OBJECT
  public:
    explicit TGPanel(QWidget* parent = nullptr);

    bool Active() const { return active_; }
    void SetActive(bool active);
    int32_t Color_1() const { return colour1_; }
    void SetColor_1(int32_t colour);
    int32_t Color_2() const { return colour2_; }
    void SetColor_2(int32_t colour);
    int32_t Color_3() const { return colour3_; }
    void SetColor_3(int32_t colour);
    // True: left to right; false: top to bottom.
    bool Horizontal() const { return horizontal_; }
    void SetHorizontal(bool horizontal);
    // 1..100: the share of the length taken by the Color_1 -> Color_2 part.
    int Percent() const { return percent_; }
    void SetPercent(int percent);

  protected:
    void PaintOver(QPainter& painter) override;

  private:
    bool active_ = true;
    int32_t colour1_ = 0;
    int32_t colour2_ = 0xFFFFFF;
    int32_t colour3_ = 0xFFFF00;  // RGB (0, 255, 255)
    bool horizontal_ = true;
    int percent_ = 100;
};

}  // namespace rowsmith::gui
