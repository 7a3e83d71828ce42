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

TKqCustomPanel::TKqCustomPanel(QWidget* parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
    ApplyColor();
}

void TKqCustomPanel::SetBorderWidth(int value)
{
    if (value < 0)
        return;
    borderWidth_ = value;
    setContentsMargins(value, value, value, value);
    update();
}

void TKqCustomPanel::SetColor(TColor value)
{
    if (value == color_ && !parentColor_)
        return;
    color_ = value;
    parentColor_ = false;
    ApplyColor();
}

void TKqCustomPanel::SetParentColor(bool value)
{
    if (value == parentColor_)
        return;
    parentColor_ = value;
    ApplyColor();
}

QColor TKqCustomPanel::EffectiveColor() const
{
    return palette().color(QPalette::Window);
}

void TKqCustomPanel::SetCaption(const QString& value)
{
    if (value == caption_)
        return;
    caption_ = value;
    update();
}

void TKqCustomPanel::changeEvent(QEvent* event)
{
    // A system colour follows the palette the panel inherits: resolve it again when that changes.
    if (event->type() == QEvent::PaletteChange && !applyingColor_ && !parentColor_ && IsSystemColor(color_))
        ApplyColor();
    QFrame::changeEvent(event);
}

void TKqCustomPanel::ApplyColor()
{
    applyingColor_ = true;
    QPalette pal = palette();
    // Drop the panel's own Window role first, so that a system colour resolves against what it inherits.
    pal.setResolveMask(pal.resolveMask() & ~windowRoleBits());
    setPalette(pal);
    if (!parentColor_) {
        pal = palette();
        pal.setColor(QPalette::Window, ToQColor(color_, pal));
        setPalette(pal);
    }
    applyingColor_ = false;
    update();
}

} // namespace tarvix
