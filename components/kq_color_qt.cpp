#include "components/kq_color_qt.h"

namespace tarvix {
namespace {

QColor systemColor(int index, const QPalette& palette)
{
    switch (index) {
    case 0: return palette.color(QPalette::Mid);                                  // scroll bar
    case 1: return palette.color(QPalette::Dark);                                 // desktop
    case 2: return palette.color(QPalette::Active, QPalette::Highlight);          // active caption
    case 3: return palette.color(QPalette::Inactive, QPalette::Highlight);        // inactive caption
    case 4: return palette.color(QPalette::Window);                               // menu
    case 5: return palette.color(QPalette::Base);                                 // window background
    case 6: return palette.color(QPalette::Shadow);                               // window frame
    case 7: return palette.color(QPalette::WindowText);                           // menu text
    case 8: return palette.color(QPalette::WindowText);                           // window text
    case 9: return palette.color(QPalette::Active, QPalette::HighlightedText);    // caption text
    case 10: return palette.color(QPalette::Window);                              // active border
    case 11: return palette.color(QPalette::Window);                              // inactive border
    case 12: return palette.color(QPalette::Dark);                                // application workspace
    case 13: return palette.color(QPalette::Highlight);                           // selection
    case 14: return palette.color(QPalette::HighlightedText);                     // selected text
    case 15: return palette.color(QPalette::Button);                              // button face
    case 16: return palette.color(QPalette::Mid);                                 // button shadow
    case 17: return palette.color(QPalette::Disabled, QPalette::WindowText);      // grey text
    case 18: return palette.color(QPalette::ButtonText);                          // button text
    case 19: return palette.color(QPalette::Inactive, QPalette::HighlightedText); // inactive caption text
    case 20: return palette.color(QPalette::Light);                               // button highlight
    case 21: return palette.color(QPalette::Shadow);                              // 3-D dark shadow
    case 22: return palette.color(QPalette::Midlight);                            // 3-D light
    case 23: return palette.color(QPalette::ToolTipText);                         // info text
    case 24: return palette.color(QPalette::ToolTipBase);                         // info background
    case 26: return palette.color(QPalette::Link);                                // hot-tracked item
    case 27: return palette.color(QPalette::Active, QPalette::Highlight);         // gradient active caption
    case 28: return palette.color(QPalette::Inactive, QPalette::Highlight);       // gradient inactive caption
    case 29: return palette.color(QPalette::Highlight);                           // menu highlight
    case 30: return palette.color(QPalette::Window);                              // menu bar
    default: return palette.color(QPalette::Window);
    }
}

} // namespace

QColor ToQColor(TColor color, const QPalette& palette, const QColor& fallback)
{
    if (color == clNone)
        return QColor(Qt::transparent);
    if (color == clDefault)
        return fallback;
    if (IsSystemColor(color))
        return systemColor(SystemColorIndex(color), palette);
    return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

TColor FromQColor(const QColor& color)
{
    return RGBColor(color.red(), color.green(), color.blue());
}

} // namespace tarvix
