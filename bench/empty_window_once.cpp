// empty_window_once WIDTH HEIGHT: the floor of startup_bench. A Qt program that shows one empty window of that
// size and ends at once when the window has first been painted. Exit code 0.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace {

class FirstPaint : public QObject {
public:
    explicit FirstPaint(QWidget& window) : window_(window) { window_.installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!seen_ && watched == &window_ && event->type() == QEvent::Paint) {
            seen_ = true;
            QTimer::singleShot(0, this, [] { std::_Exit(0); });
        }
        return false;
    }

private:
    QWidget& window_;
    bool seen_ = false;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: empty_window_once WIDTH HEIGHT\n", stderr);
        return 2;
    }
    QWidget window;
    window.setFixedSize(std::atoi(argv[1]), std::atoi(argv[2]));
    FirstPaint watcher(window);
    window.show();
    return QApplication::exec();
}
