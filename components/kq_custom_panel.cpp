#include "components/kq_custom_panel.h"

#include <QEvent>
#include <QPalette>

#include "components/kq_color_qt.h"

namespace tarvix {
namespace {

// The resolve-mask bits of the Window role in every colour group.
QPalette::ResolveMask windowRoleBits()
{
    QPalette probe;
    probe.setColor(QPalette::Window, Qt::black);
    return probe.resolveMask();
}

} // namespace

TKqCustomPanel::TKqCustomPanel(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
    ApplyColor();
}

void TKqCustomPanel::SetBorderWidth(int value)
{
    if (value < 0)
        return;
    FBorderWidth = value;
    setContentsMargins(value, value, value, value);
    update();
}

void TKqCustomPanel::SetColor(TColor value)
{
    if (value == FColor && !FParentColor)
        return;
    FColor = value;
    FParentColor = false;
    ApplyColor();
}

void TKqCustomPanel::SetParentColor(bool value)
{
    if (value == FParentColor)
        return;
    FParentColor = value;
    ApplyColor();
}

QColor TKqCustomPanel::EffectiveColor() const
{
    return palette().color(QPalette::Window);
}

void TKqCustomPanel::SetCaption(const QString& value)
{
    if (value == FCaption)
        return;
    FCaption = value;
    update();
}

void TKqCustomPanel::changeEvent(QEvent* event)
{
    // A system colour follows the palette the panel inherits: resolve it again when that changes.
    if (event->type() == QEvent::PaletteChange && !FApplyingColor && !FParentColor && IsSystemColor(FColor))
        ApplyColor();
    QFrame::changeEvent(event);
}

void TKqCustomPanel::ApplyColor()
{
    FApplyingColor = true;
    QPalette pal = palette();
    // Drop the panel's own Window role first, so that a system colour resolves against what it inherits.
    pal.setResolveMask(pal.resolveMask() & ~windowRoleBits());
    setPalette(pal);
    if (!FParentColor) {
        pal = palette();
        pal.setColor(QPalette::Window, ToQColor(FColor, pal));
        setPalette(pal);
    }
    FApplyingColor = false;
    update();
}

} // namespace tarvix
