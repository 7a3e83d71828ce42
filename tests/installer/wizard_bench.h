// A bench for the main window's tests: a sandbox prefix (with or without a simulated Delphi 13, whose compiler is
// the simulated one of the build) made the current system, an installer packed from an edition of the library, a
// message pump whose Shift key the test holds down, and helpers to wait for the window and to find its controls.
// Tests that link it pass the simulated compiler as TARVIX_SIM_DCC32_HOST.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QWidget>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "components/qt_message_pump.h"
#include "platform/system.h"
#include "platform/wine/wine_prefix.h"
#include "tests/support/fake_message_pump.h"
#include "tests/support/modal_dialog_helper.h"
#include "tests/support/temp_dir.h"
#include "tools/prefix_builder.h"
#include "tools/tarvix_pack.h"

namespace tarvix::test {

// The Qt pump with a Shift key that the test presses.
class ShiftPump : public QtMessagePump {
public:
    uint16_t keyState(int virtualKey) const override
    {
        return virtualKey == platform::VirtualKey::Shift && shift ? 0x80 : QtMessagePump::keyState(virtualKey);
    }
    bool shift = false;
};

// Files of an edition (name → bytes), in the order they are packed.
using Edition = std::vector<std::pair<std::string, std::string>>;

inline const std::string PackageSourceOfTheEdition =
    "package TarvixLib370;\r\n\r\n{$R *.res}\r\n{$DESCRIPTION 'Tarvix Library - Components'}\r\n\r\n"
    "requires\r\n  rtl,\r\n  vcl;\r\n\r\ncontains\r\n\r\nend.\r\n";

// A small edition: the package source first, two units with a resource, a form and one resource file.
inline Edition SmallEdition()
{
    return {{"TarvixLib370.dpk", PackageSourceOfTheEdition},
            {"TarvixLib370.res", std::string("\0\0\0\0 resource", 13)},
            {"KqAlpha.dcu", "alpha unit"},
            {"KqAlpha.dcr", "alpha resource"},
            {"KqBeta.dcu", "beta unit"},
            {"KqBeta.dfm", "object Beta end"}};
}

// Packs an edition onto a stand-in for the setup program in `temp` (edition/, order.txt, setup.exe) and returns
// the installer made, temp/installer.exe.
// The installer sends its report to `reportUrl`; none by default, so that no test posts to the maker's endpoint.
inline std::filesystem::path PackEdition(const TempDir& temp, const Edition& edition,
                                         const pack::DescriptorValues& descriptor, const std::string& reportUrl = {})
{
    temp.write("setup.exe", "MZ stand-in for the setup program");
    std::string order;
    for (const auto& [name, bytes] : edition) {
        temp.write("edition/" + name, bytes);
        order += name + "\n";
    }
    temp.write("order.txt", order);
    pack::PackOptions pack;
    pack.executable = temp / "setup.exe";
    pack.folder = temp / "edition";
    pack.orderFile = temp / "order.txt";
    pack.descriptor = descriptor;
    pack.output = temp / "installer.exe";
    pack.reportUrl = reportUrl;
    pack::Pack(pack);
    return pack.output;
}

class WizardBench {
public:
    struct Options {
        bool delphi13 = true;
        int32_t version = 37;
        std::string package = "Edição de Teste";
        std::string files = "|KqAlpha|KqBeta|";
        // The IDE's bin\dcc32.exe; nothing leaves the prefix builder's placeholder, which cannot be started.
        std::optional<std::filesystem::path> compiler = std::filesystem::path(TARVIX_SIM_DCC32_HOST);
        // Whatever else a case changes in the IDE before it is registered.
        std::function<void(tools::IdeSetup&)> adjustIde;
        // Where the installer posts its report; empty: no report.
        std::string reportUrl;
    };

    WizardBench() : WizardBench(Options{}) {}
    explicit WizardBench(const Options& options, const Edition& edition = SmallEdition())
    {
        qtApplication();
        tools::PrefixOptions prefixOptions;
        prefixOptions.mode = tools::PrefixMode::Minimal;
        prefixOptions.userName = "ana";
        auto builder = tools::PrefixBuilder::create(temp_ / "prefix", prefixOptions);
        if (options.delphi13) {
            tools::IdeSetup ide = tools::IdeSetup::delphi13();
            ide.dcc32Host = options.compiler;
            if (options.adjustIde)
                options.adjustIde(ide);
            builder.registerIde(ide);
        }
        system_ = std::make_unique<platform::WinePrefix>(temp_ / "prefix");
        scope_ = std::make_unique<platform::ScopedCurrentSystem>(*system_);

        installer_ = PackEdition(temp_, edition,
                                 pack::DescriptorValues{options.version, options.package, false, options.files, ""},
                                 options.reportUrl);
    }

    // Uses an installer made elsewhere instead.
    void UseInstaller(const std::filesystem::path& installer) { installer_ = installer; }

    // The installer as the window opens it (a Windows path in the prefix).
    std::string InstallerPath() const { return system_->files().toWindowsPath(installer_.string()); }
    const std::filesystem::path& InstallerHostPath() const { return installer_; }

    platform::WinePrefix& System() { return *system_; }
    const TempDir& Temp() const { return temp_; }
    std::filesystem::path PrefixDir() const { return temp_ / "prefix"; }
    std::filesystem::path Host(const std::string& windowsPath) const
    {
        return system_->files().toHostPath(windowsPath);
    }

    ShiftPump& Pump() { return pump_; }

private:
    TempDir temp_;
    std::unique_ptr<platform::WinePrefix> system_;
    std::unique_ptr<platform::ScopedCurrentSystem> scope_;
    std::filesystem::path installer_;
    ShiftPump pump_;
    ScopedMessagePump pumpScope_{pump_};
};

// Processes events until `condition` holds or `ms` have passed; returns whether it holds.
inline bool WaitFor(const std::function<bool()>& condition, int ms = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

template <typename T>
T* Control(QWidget& window, const char* name)
{
    T* control = window.findChild<T*>(QLatin1String(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
}

// From the welcome page of a started window to the confirmation page, with the buttons and the agreement box as
// a user goes; Next then reads "&Instalar".
inline void WalkToTheConfirmationPage(QWidget& window)
{
    auto* next = Control<QPushButton>(window, "BtnAvancar");
    next->click();
    Control<QAbstractButton>(window, "ChxContrato")->click();
    next->click();
    next->click();
}

// A program that shows as a running Delphi IDE in a prefix: /bin/sleep run under the name bds.exe with the
// prefix in its environment.
class RunningIde {
public:
    RunningIde(const std::filesystem::path& folder, const std::filesystem::path& prefix)
    {
        const std::filesystem::path program = folder / "bds.exe";
        std::filesystem::copy_file("/bin/sleep", program, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::permissions(program, std::filesystem::perms::owner_all);
        const std::string env = "WINEPREFIX=" + prefix.string();
        pid_ = fork();
        if (pid_ == 0) {
            const std::string path = program.string();
            char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>("30"), nullptr};
            char* envp[] = {const_cast<char*>(env.c_str()), nullptr};
            execve(path.c_str(), argv, envp);
            _exit(127);
        }
        // Until the child runs the program under its new name.
        for (int i = 0; i < 500; ++i) {
            std::ifstream cmdline("/proc/" + std::to_string(pid_) + "/cmdline");
            std::string text((std::istreambuf_iterator<char>(cmdline)), std::istreambuf_iterator<char>());
            if (text.find("bds.exe") != std::string::npos)
                break;
            usleep(10000);
        }
    }
    ~RunningIde()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    RunningIde(const RunningIde&) = delete;
    RunningIde& operator=(const RunningIde&) = delete;

private:
    pid_t pid_ = -1;
};

} // namespace tarvix::test
