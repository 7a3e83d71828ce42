// The gradient panel: a container that paints itself. A flat frame of BevelColor, BevelWidth pixels wide, along
// its edge; an interior that is a plain fill of Color or a colour gradient in one of four patterns (from
// Gradient.FadeColor to Color); and its caption as a single line. A spacer panel is a plain, captionless filler.
//
// In a Qt Designer form the panel is a promoted widget; its own properties (the gradient's as GradientEnabled,
// GradientFadeColor and GradientDirection) are written with stdset="0", so that uic sets them through
// setProperty().
#pragma once

#include <QColor>
#include <QRect>
#include <QString>

#include <memory>

#include "components/kq_custom_panel.h"

class QPainter;

namespace tarvix {

class TKqGradientOptions;

class TKqPanel : public TKqCustomPanel {
    Q_OBJECT
    Q_PROPERTY(int BevelColor READ BevelColor WRITE SetBevelColor)
    Q_PROPERTY(int BevelWidth READ BevelWidth WRITE SetBevelWidth)
    Q_PROPERTY(bool Spacer READ Spacer WRITE SetSpacer)
    Q_PROPERTY(TAlignment Alignment READ Alignment WRITE SetAlignment)
    Q_PROPERTY(int FontColor READ FontColor WRITE SetFontColor)
    // The gradient settings, flat for a form description (Gradient.Enabled and so on in code).
    Q_PROPERTY(bool GradientEnabled READ GradientEnabled WRITE SetGradientEnabled)
    Q_PROPERTY(int GradientFadeColor READ GradientFadeColor WRITE SetGradientFadeColor)
    Q_PROPERTY(TKqGradientDirection GradientDirection READ GradientDirection WRITE SetGradientDirection)

public:
    enum TKqGradientDirection { dgHorizontal, dgVertical, dgRadial, dgButtonized };
    Q_ENUM(TKqGradientDirection)
    enum TAlignment { taLeftJustify, taRightJustify, taCenter };
    Q_ENUM(TAlignment)

    // Takes its parent's colour (ParentColor) and a one-pixel frame and border.
    explicit TKqPanel(QWidget* parent = nullptr);
    ~TKqPanel() override;

    TColor BevelColor() const { return FBevelColor; }
    void SetBevelColor(TColor value);
    // 0 draws no frame; negative values are ignored.
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int value);
    // True clears the caption and the frame (BorderWidth stays); False gives back a one-pixel frame and takes
    // the border away.
    bool Spacer() const { return FSpacer; }
    void SetSpacer(bool value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    // The caption's colour (the window-text colour by default); the caption uses the widget's font.
    TColor FontColor() const { return FFontColor; }
    void SetFontColor(TColor value);

    // The gradient settings; the panel owns them.
    TKqGradientOptions& Gradient() { return *FGradient; }
    const TKqGradientOptions& Gradient() const { return *FGradient; }

    bool GradientEnabled() const;
    void SetGradientEnabled(bool value);
    TColor GradientFadeColor() const;
    void SetGradientFadeColor(TColor value);
    TKqGradientDirection GradientDirection() const;
    void SetGradientDirection(TKqGradientDirection value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    TColor FBevelColor = 12819829;
    int FBevelWidth = 1;
    bool FSpacer = false;
    TAlignment FAlignment = taCenter;
    TColor FFontColor = clWindowText;
    std::unique_ptr<TKqGradientOptions> FGradient;
};

using TKqGradientDirection = TKqPanel::TKqGradientDirection;

// The gradient settings of a panel. Each setter, on a change, stores the value and repaints the panel.
class TKqGradientOptions {
public:
    explicit TKqGradientOptions(TKqPanel* owner) : FOwner(owner) {}
    TKqGradientOptions(const TKqGradientOptions&) = delete;
    TKqGradientOptions& operator=(const TKqGradientOptions&) = delete;

    // Paint the interior as a gradient.
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    // The colour the gradient starts from; it runs to the panel's Color.
    TColor FadeColor() const { return FFadeColor; }
    void SetFadeColor(TColor value);
    TKqGradientDirection Direction() const { return FDirection; }
    void SetDirection(TKqGradientDirection value);

    TKqPanel* Owner() const { return FOwner; }

private:
    TKqPanel* FOwner;
    bool FEnabled = true;
    TColor FFadeColor = clWhite;
    TKqGradientDirection FDirection = TKqPanel::dgRadial;
};

// The gradient fills, on any painter. The colour of step i (0 to 255) is, per channel,
// start + (i * (end - start)) div 255, so step 0 is `start` and step 255 would be `end`.
QColor GradientStep(const QColor& start, const QColor& end, int step);
// 255 stripes from left to right.
void FillHorizontalGradient(QPainter& painter, const QRect& rect, const QColor& start, const QColor& end);
// 255 stripes from top to bottom.
void FillVerticalGradient(QPainter& painter, const QRect& rect, const QColor& start, const QColor& end);
// 256 diagonal bands from the top-left corner to the bottom-right one, composed off-screen and copied at once.
void FillRadialGradient(QPainter& painter, const QRect& rect, const QColor& start, const QColor& end);
// A glossy two-part look: the upper part runs from `start` to 45 % of the way, the lower part from `end` back to
// 15 % of the way.
void FillButtonizedGradient(QPainter& painter, const QRect& rect, const QColor& start, const QColor& end);

} // namespace tarvix
