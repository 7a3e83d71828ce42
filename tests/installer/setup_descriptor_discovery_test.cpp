// The descriptor and the choice of the target installation with the real installations collection, on sandbox
// prefixes with IDEs registered the way their installers do.
#include "installer/setup_descriptor.h"

#include "ideservices/ide_installations.h"
#include "tests/support/sandbox_system.h"

#include <gtest/gtest.h>

namespace tarvix {
namespace {

class RecordingWindow : public TWizardWindow {
public:
    std::vector<std::string> calls;
    int MsgError(const std::string& markup) override { return record("error: " + markup); }
    int MsgWarning(const std::string& markup) override { return record("warning: " + markup); }
    int MsgInformation(const std::string& markup) override { return record("information: " + markup); }
    int MsgConfirmation(const std::string& markup) override { return record("confirmation: " + markup); }
    void PostClose() override { calls.push_back("close"); }

private:
    int record(std::string call)
    {
        calls.push_back(std::move(call));
        return 1;
    }
};

class DescriptorDiscoveryTest : public ::testing::Test {
protected:
    // Unpacked payload: the work folder under the user's temporary folder with the descriptor in it.
    void writeDescriptor(std::string_view version)
    {
        state.PastaTemp = sandbox.builder().tempFolder() + "\\1804289383";
        sandbox.builder().writeFile(state.PastaTemp + "\\instalar.inf",
                                    "[SETUP]\r\nVersion=" + std::string(version) + "\r\nPackage=Tarvix\r\n");
    }

    test::SandboxSystem sandbox;
    TWizardState state;
    RecordingWindow window;
};

TEST_F(DescriptorDiscoveryTest, SelectsTheDelphiOfTheDescriptorsVersion)
{
    sandbox.builder().registerIde(tools::IdeSetup::cppBuilder6());
    sandbox.builder().registerIde(tools::IdeSetup::delphi7());
    sandbox.builder().registerIde(tools::IdeSetup::delphi13());
    writeDescriptor("$25");
    LerConfiguracao(state);
    ASSERT_EQ(state.Version, 37);

    const TIdeBorRADToolInstallations instalacoes;
    ASSERT_EQ(instalacoes.Count(), 3);
    LocalizarDelphi(state, window, instalacoes);
    ASSERT_GE(state.IndiceDelphi, 0);
    EXPECT_EQ(instalacoes.Installations(state.IndiceDelphi)->IDEVersionNumberStr(), "d37");
    EXPECT_TRUE(window.calls.empty());
    EXPECT_FALSE(state.Finalizado);
}

TEST_F(DescriptorDiscoveryTest, NoInstallationOfTheVersionFailsTheStep)
{
    sandbox.builder().registerIde(tools::IdeSetup::delphi13());
    writeDescriptor("29");
    LerConfiguracao(state);

    const TIdeBorRADToolInstallations instalacoes;
    LocalizarDelphi(state, window, instalacoes);
    EXPECT_EQ(state.IndiceDelphi, -1);
    EXPECT_TRUE(state.Finalizado);
    EXPECT_EQ(
        window.calls,
        (std::vector<std::string>{
            "error: O <b>Delphi 12 - Athens<b> parece não estar corretamente instalado neste computador.", "close"}));
}

} // namespace
} // namespace tarvix
