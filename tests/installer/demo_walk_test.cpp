// The demo's walk alongside the installer's run, as tarvix-setup-demo-walk runs it: the installer's own
// application object, window and run, the walk pressing its way to "Fechar" on a small edition, a picture of every
// page, and a report that shows what was registered. The exit code is the walk's.
#include <QString>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "installer/demo_autowalk.h"
#include "installer/executar_instalador.h"
#include "tests/installer/installer_application.h"
#include "tests/installer/wizard_bench.h"
#include "tests/support/temp_dir.h"

namespace tarvix {
namespace {

TEST(DemoWalk, WalksTheInstallersRunToFecharAndReportsWhatWasRegistered)
{
    test::InstallerApplication();
    test::WizardBench bench;
    test::TempDir pictures;

    testing::internal::CaptureStdout();
    const int result =
        ExecutarInstalador(bench.InstallerPath(), CaminhadaDemo(QString::fromStdString(pictures.path().string())));
    const std::string report = testing::internal::GetCapturedStdout();

    EXPECT_EQ(result, 0) << report;
    for (const char* page : {"1-bem-vindo", "2-contrato", "3-caminho", "4-confirmar", "5-copiar", "6-registrar"})
        EXPECT_TRUE(std::filesystem::is_regular_file(pictures / (std::string(page) + ".png"))) << page;
    for (const char* line : {"demo: the registration log:", "Known Packages:", "Library\\Win32:",
                             "\"Caminho D37\" = \"C:\\Morvane\\TarvixComps\\D37\"",
                             "demo: the installation succeeded and the wizard was closed"})
        EXPECT_NE(report.find(line), std::string::npos) << line << "\n" << report;
}

TEST(DemoWalk, AnInstallerWithoutAPayloadEndsTheWalkWithOne)
{
    test::InstallerApplication();
    test::WizardBench bench;
    test::TempDir pictures;
    const std::filesystem::path bare = pictures / "bare.exe";
    pictures.write("bare.exe", "MZ without a payload");

    testing::internal::CaptureStdout();
    const int result = ExecutarInstalador(bench.System().files().toWindowsPath(bare.string()),
                                          CaminhadaDemo(QString::fromStdString(pictures.path().string())));
    const std::string report = testing::internal::GetCapturedStdout();

    EXPECT_EQ(result, 1) << report;
    EXPECT_NE(report.find("demo: the wizard closed before the registration step ended"), std::string::npos) << report;
}

} // namespace
} // namespace tarvix
