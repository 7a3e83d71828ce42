// startup_once INSTALLER: the program startup_bench times for the installer's start-up. It runs the installer's
// own window on the payload of INSTALLER (a file made by tarvix-pack) in the Wine prefix named by WINEPREFIX, the
// way tarvix-setup runs it: the payload unpacked into a work folder, the descriptor read, the IDEs found, the
// welcome page prepared. Once the window has painted the welcome page after that start-up sequence, it prints the
// window's size ("800x600") and ends at once, leaving the work folder to the caller: what it measures is the
// way from the process's start to the first picture of a usable wizard. Exit code 0 then; 1 when the start-up
// failed (the installer's own message is shown and answered nowhere: the bench's time-out ends it).
#include <QEvent>
#include <QFile>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>

#include "components/qt_message_pump.h"
#include "installer/application.h"
#include "installer/executar_instalador.h"
#include "installer/frm_main.h"
#include "platform/system.h"

namespace {

constexpr int kGiveUpMs = 60'000;

// Watches the window: once the start-up sequence has run, the next paint of the window is the welcome page as
// the user first sees it.
class WelcomePainted : public QObject {
public:
    explicit WelcomePainted(tarvix::TFrmMain& window) : window_(window)
    {
        window_.installEventFilter(this);
        poll_.setInterval(0);
        connect(&poll_, &QTimer::timeout, this, [this] { poll(); });
        poll_.start();
        // A start-up that stops at a message box would wait for an answer for ever.
        QTimer::singleShot(kGiveUpMs, this, [] {
            std::fputs("startup_once: no welcome page in time\n", stderr);
            std::_Exit(1);
        });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (armed_ && watched == &window_ && event->type() == QEvent::Paint) {
            armed_ = false;
            // The filter sees the event before the window paints; end once the painting is done.
            QTimer::singleShot(0, this, [this] {
                std::printf("%dx%d\n", window_.width(), window_.height());
                std::fflush(stdout);
                std::_Exit(0);
            });
        }
        return false;
    }

private:
    void poll()
    {
        if (!window_.Iniciada())
            return;
        poll_.stop();
        if (window_.Estado().IndiceDelphi < 0 || window_.Fechada()) {
            std::fputs("startup_once: the start-up sequence failed\n", stderr);
            std::_Exit(1);
        }
        armed_ = true;
        window_.update();
    }

    tarvix::TFrmMain& window_;
    QTimer poll_;
    bool armed_ = false;
};

} // namespace

int main(int argc, char** argv)
{
    tarvix::TApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        std::fputs("usage: startup_once INSTALLER\n", stderr);
        return 2;
    }
    tarvix::ScopedQtMessagePump pump;
    std::string installer;
    try {
        const std::filesystem::path host = std::filesystem::absolute(QFile::encodeName(arguments[1]).toStdString());
        installer = tarvix::platform::current().files().toWindowsPath(host.string());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "startup_once: %s\n", e.what());
        return 1;
    }
    tarvix::ExecutarInstalador(installer, [](tarvix::TFrmMain& window) -> std::function<int(int)> {
        auto watcher = std::make_shared<WelcomePainted>(window);
        return [watcher](int) { return 1; }; // the loop ended before the welcome page was painted
    });
    return 1;
}
