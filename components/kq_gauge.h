// The gauge: a progress indicator showing how far Progress has come between MinValue and MaxValue, as a row of
// boxes, one solid bar or a growing part of a picture, optionally with the percentage as centred text. Setting
// Progress redraws the bar area at once, so progress stays visible while the caller keeps the user-interface
// thread busy.
//
// In a Qt Designer form the gauge is a promoted widget; its own properties are written with stdset="0", so that
// uic sets them through setProperty() (enums by name, colours as numbers).
#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include "components/component.h"
#include "components/kq_color.h"

namespace tarvix {

class TKqGauge : public QWidget, public TComponent {
    Q_OBJECT
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
    Q_PROPERTY(TKqGaugeBevel BevelStyle READ BevelStyle WRITE SetBevelStyle)
    Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
    Q_PROPERTY(int BoxColor READ BoxColor WRITE SetBoxColor)
    Q_PROPERTY(int BoxNumber READ BoxNumber WRITE SetBoxNumber)
    Q_PROPERTY(int BoxSpace READ BoxSpace WRITE SetBoxSpace)
    Q_PROPERTY(TKqGaugeStyle GaugeStyle READ GaugeStyle WRITE SetGaugeStyle)
    Q_PROPERTY(QPixmap Image READ Image WRITE SetImage)
    Q_PROPERTY(int Margin READ Margin WRITE SetMargin)
    Q_PROPERTY(int MaxValue READ MaxValue WRITE SetMaxValue)
    Q_PROPERTY(int MinValue READ MinValue WRITE SetMinValue)
    Q_PROPERTY(int Progress READ Progress WRITE SetProgress)
    Q_PROPERTY(bool ShowPercent READ ShowPercent WRITE SetShowPercent)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(bool ParentColor READ ParentColor WRITE SetParentColor)
    Q_PROPERTY(int FontColor READ FontColor WRITE SetFontColor)
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)

public:
    enum TKqGaugeBevel { bvLowered, bvNone, bvRaised };
    Q_ENUM(TKqGaugeBevel)
    enum TKqGaugeStyle { gsBoxes, gsBar, gsImage };
    Q_ENUM(TKqGaugeStyle)
    enum TBorderStyle { bsNone, bsSingle };
    Q_ENUM(TBorderStyle)

    explicit TKqGauge(QWidget* parent = nullptr);

    // Setters ignore a value equal to the current one or outside the accepted range.

    // Size the control to its contents: the boxes (width only) or the picture. A layout that manages the
    // gauge's geometry has the last word.
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    TKqGaugeBevel BevelStyle() const { return FBevelStyle; }
    void SetBevelStyle(TKqGaugeBevel value);
    // bsSingle: a one-pixel frame in the window-frame colour.
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    TColor BoxColor() const { return FBoxColor; }
    void SetBoxColor(TColor value);
    // 2 to 100. With AutoSize the gauge then sizes itself to the boxes; without it the number is recomputed so
    // that boxes of the width `value` boxes would have cover the present width (rounded up, kept within 2..100).
    int BoxNumber() const { return FBoxNumber; }
    void SetBoxNumber(int value);
    // 1 to 10 pixels between boxes.
    int BoxSpace() const { return FBoxSpace; }
    void SetBoxSpace(int value);
    TKqGaugeStyle GaugeStyle() const { return FGaugeStyle; }
    void SetGaugeStyle(TKqGaugeStyle value);
    // The picture of gsImage; the gauge keeps its own copy.
    QPixmap Image() const { return FImage; }
    void SetImage(const QPixmap& value);
    // 0 to 9 pixels of background between the frame and the bar area.
    int Margin() const { return FMargin; }
    void SetMargin(int value);
    // MaxValue is always greater than MinValue; neither setter moves Progress back into the range.
    int MaxValue() const { return FMaxValue; }
    void SetMaxValue(int value);
    int MinValue() const { return FMinValue; }
    void SetMinValue(int value);
    // Clamped to MinValue..MaxValue; a new value redraws the bar area at once.
    int Progress() const { return FProgress; }
    void SetProgress(int value);
    bool ShowPercent() const { return FShowPercent; }
    void SetShowPercent(bool value);

    // The background; ParentColor takes the parent's (its palette's Window colour). Setting Color turns
    // ParentColor off.
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool value);
    // The colour of the percentage text (white by default); the text uses the widget's font.
    TColor FontColor() const { return FFontColor; }
    void SetFontColor(TColor value);
    // Free for the application (the skin engine counts paints in it); the gauge gives it no meaning.
    int Tag() const { return FTag; }
    void SetTag(int value) { FTag = value; }

    // Progress := Progress + value, then any pending paint is carried out at once.
    void Add(int value);
    // MinValue := min, MaxValue := max (each through its setter), Progress := 0, then any pending paint is
    // carried out at once.
    void Initialize(int min, int max);

    // Derived quantities. The frame inset is the distance from the edge to the bar area.
    int FrameInset() const;
    QRect BarArea() const;
    // The width of one box for `boxNumber` boxes in the present width; at least 1.
    int BoxWidth(int boxNumber) const;
    int BoxWidth() const { return BoxWidth(FBoxNumber); }
    // The filled fraction (Progress - MinValue) / (MaxValue - MinValue), in single precision.
    float FilledFraction() const;
    // True when a custom look is in effect: a Qt style sheet on the application, the gauge or one of its
    // parents. The frame then is one rectangle in the style's border colour (the palette's Dark role), and the
    // bar area takes the palette's Window colour as background and its Highlight colour for the bar.
    bool CustomStyle() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void AdjustSize();
    void RequestRepaint();
    void FlushPaint();
    void ComposeBar();

    bool FAutoSize = true;
    TKqGaugeBevel FBevelStyle = bvLowered;
    TBorderStyle FBorderStyle = bsNone;
    TColor FBoxColor = clNavy;
    int FBoxNumber = 20;
    int FBoxSpace = 1;
    TKqGaugeStyle FGaugeStyle = gsBoxes;
    QPixmap FImage;
    int FMargin = 1;
    int FMaxValue = 100;
    int FMinValue = 0;
    int FProgress = 20;
    bool FShowPercent = false;
    TColor FColor = clBtnFace;
    bool FParentColor = false;
    TColor FFontColor = clWhite;
    int FTag = 0;

    // The bar area is composed here and copied to the screen in one operation.
    QImage FBar;
    bool FPaintPending = false;
};

using TKqGaugeBevel = TKqGauge::TKqGaugeBevel;
using TKqGaugeStyle = TKqGauge::TKqGaugeStyle;

} // namespace tarvix
