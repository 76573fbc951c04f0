#pragma once
// TGradBtn: a push button whose face is a colour gradient in one of six shapes, with a 3-D frame, a
// raised, inset or flat caption and a pressed look made by exchanging the gradient's two colours.

#include <QPixmap>
#include <QString>
#include <QWidget>
#include <cstdint>

#include "gui/logic/paint_math.h"

namespace rowsmith::gui {

class TGradBtn : public QWidget {
    Q_OBJECT
  public:
    explicit TGradBtn(QWidget* parent = nullptr);

    // Colours are $BBGGRR values.
    int32_t BeginColor() const { return begin_; }
    void SetBeginColor(int32_t colour);
    int32_t EndColor() const { return end_; }
    void SetEndColor(int32_t colour);
    // Exchange the two colours while the button is held down.
    bool SwapColors() const { return swap_; }
    void SetSwapColors(bool swap);
    TGradientStyle GradientStyle() const { return gradient_; }
    void SetGradientStyle(TGradientStyle style);
    TTextStyle TextStyle() const { return text_style_; }
    void SetTextStyle(TTextStyle style);
    TShadeType TextShadeType() const { return shade_; }
    void SetTextShadeType(TShadeType shade);
    TJustification Justification() const { return justification_; }
    void SetJustification(TJustification justification);
    bool ShowFocus() const { return show_focus_; }
    void SetShowFocus(bool show);
    int BtnFrameSize() const { return frame_size_; }
    // Taken only when it fits the button (at most width div 2 - 5 and height div 2 - 5).
    bool SetBtnFrameSize(int size);
    int32_t BtnHiliteClr() const { return btn_hilite_; }
    void SetBtnHiliteClr(int32_t colour);
    int32_t BtnShadowClr() const { return btn_shadow_; }
    void SetBtnShadowClr(int32_t colour);
    int32_t TxtHiliteClr() const { return txt_hilite_; }
    void SetTxtHiliteClr(int32_t colour);
    int32_t TxtShadowClr() const { return txt_shadow_; }
    void SetTxtShadowClr(int32_t colour);
    int32_t DisabledColor() const { return disabled_; }
    void SetDisabledColor(int32_t colour);
    // The caption's face colour (the font colour of the button).
    int32_t FontColor() const { return font_colour_; }
    void SetFontColor(int32_t colour);
    // Colour schemes for designing forms; setting one at run time changes nothing.
    TPreset Presets() const { return preset_; }
    void SetPresets(TPreset preset) { preset_ = preset; }
    // "&" marks the accelerator letter, "&&" is a literal "&".
    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);

    bool IsDown() const { return down_; }
    // The click path of mouse release, Enter and the accelerator: release the button, show the
    // released face, then emit clicked().
    void Click();

    QSize sizeHint() const override { return {75, 25}; }

  signals:
    void clicked();
    void mouseEntered();
    void mouseLeft();

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void ExchangeColours();
    // Left button held: moving back over the button presses it again, moving away releases it.
    void FollowHeldButton(bool inside);
    void UpdateShortcut();

    int32_t begin_ = 0x800000;  // RGB (0, 0, 128)
    int32_t end_ = 0xFFFF00;    // RGB (0, 255, 255)
    bool swap_ = true;
    TGradientStyle gradient_ = TGradientStyle::gsVertCenter;
    TTextStyle text_style_ = TTextStyle::tsRaised;
    TShadeType shade_ = TShadeType::stLight;
    TJustification justification_ = TJustification::jCenter;
    bool show_focus_ = true;
    int frame_size_ = 1;
    int32_t btn_hilite_ = 0;
    int32_t btn_shadow_ = 0;
    int32_t txt_hilite_ = 0;
    int32_t txt_shadow_ = 0;
    int32_t disabled_ = 0;
    int32_t font_colour_ = 0;
    TPreset preset_ = TPreset::None;
    QString caption_;

    QPixmap bitmap_;  // each paint is built here and copied to the screen once
    bool down_ = false;
    bool held_ = false;  // the left button went down on this button and is not released yet
    bool click_handled_ = false;
    int shortcut_id_ = 0;
};

}  // namespace rowsmith::gui
