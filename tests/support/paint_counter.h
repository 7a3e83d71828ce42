// Counts the paint events a widget receives and remembers the last painted rectangle (install it as an event
// filter on the widget).
#pragma once

#include <QEvent>
#include <QObject>
#include <QPaintEvent>
#include <QRect>

namespace tarvix::test {

struct PaintCounter : QObject {
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            last = static_cast<QPaintEvent*>(event)->rect();
        }
        return false;
    }
    int paints = 0;
    QRect last;
};

} // namespace tarvix::test
