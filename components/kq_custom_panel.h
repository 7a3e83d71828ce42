// Base of the library's panels (the step notebook, its pages and the gradient panel): a frame that aligns its
// children inside a border, has a background colour that its children inherit, and carries a caption.
#pragma once

#include <QFrame>
#include <QString>

#include "components/component.h"
#include "components/kq_color.h"

namespace tarvix {

class TKqCustomPanel : public QFrame, public TComponent {
    Q_OBJECT
    Q_PROPERTY(int BorderWidth READ BorderWidth WRITE SetBorderWidth)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(bool ParentColor READ ParentColor WRITE SetParentColor)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

public:
    explicit TKqCustomPanel(QWidget* parent = nullptr);

    // Child widgets (and the layout set on the panel) are kept this many pixels inside the panel's edge.
    // Negative values are ignored.
    int BorderWidth() const { return FBorderWidth; }
    virtual void SetBorderWidth(int value);

    // The background. It is the Window role of the panel's palette, so children that take their parent's
    // colour see it. Setting Color turns ParentColor off; ParentColor takes the parent's colour again.
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool value);
    // The colour the panel shows: its own, or its parent's while ParentColor is set.
    QColor EffectiveColor() const;

    QString Caption() const { return FCaption; }
    virtual void SetCaption(const QString& value);

protected:
    void changeEvent(QEvent* event) override;

private:
    void ApplyColor();

    int FBorderWidth = 0;
    TColor FColor = clBtnFace;
    bool FParentColor = false;
    bool FApplyingColor = false;
    QString FCaption;
};

} // namespace tarvix
