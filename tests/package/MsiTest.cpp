// The Windows Installer package under Wine's msiexec, run silently as a deployment tool runs
// it: install, a major upgrade from the previous version's package, uninstall, its public
// properties, and the setup program's installation kept apart from it.
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>

#include <fstream>
#include <string>
#include <vector>

#include "Installation.h"
#include "ToolProcess.h"

namespace {

using namespace installation;

const char kUpgradeCode[] = "{3C1B6E52-9A4D-4F27-8E10-6B5D2C7A9F43}";
// Windows Installer ends with 1603 when an installation fails; Wine's msiexec with 1627 when a
// custom action failed it.
bool InstallFailed(DWORD exitCode)
{
    return exitCode == 1603 || exitCode == 1627;
}
// Where Wine's msiexec puts the shortcut (see ShortcutPath).
const int kShortcutFolder = CSIDL_PROGRAMS;

std::string MsiPath()
{
    return DistPath(KVX_MSI_NAME);
}

std::string OlderMsiPath()
{
    return TestDir() + "\\kvxucpl-1.00.msi";
}

// The installed versions of the package, found by its upgrade code as Windows Installer finds
// them: product code and version.
struct Product {
    std::string code;
    std::string version;
};

std::vector<Product> InstalledProducts()
{
    std::vector<Product> products;
    char code[39];
    for (DWORD i = 0; MsiEnumRelatedProductsA(kUpgradeCode, 0, i, code) == ERROR_SUCCESS; ++i) {
        char version[64] = {};
        DWORD size = sizeof version;
        MsiGetProductInfoA(code, INSTALLPROPERTY_VERSIONSTRING, version, &size);
        products.push_back({code, version});
    }
    return products;
}

std::string UninstallKeyOf(const std::string& productCode)
{
    return "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productCode;
}

// msiexec with the arguments, silent, with a verbose log beside this test: its exit code.
DWORD Msiexec(const std::string& arguments)
{
    static int runs = 0;
    const std::string log = TestDir() + "\\msiexec-" + std::to_string(++runs) + ".log";
    const DWORD code = RunToEnd("msiexec.exe " + arguments + " /qn /l*v " + Quoted(log), 120000);
    if (code != 0)
        std::printf("msiexec %s: %lu, log %s\n", arguments.c_str(), code, log.c_str());
    return code;
}

std::string WriteProfile(const std::string& name, const std::string& json)
{
    const std::string path = SimDriverProcess::TempPath(name);
    std::ofstream(path, std::ios::binary) << json;
    return path;
}

// What the stand-in driver holds for the ASIO buffer depth, as kvxuctl says it.
std::string AsioDepth()
{
    const std::string out = RunTool("kvxuctl.exe", "get asio-depth").output;
    return out.substr(0, out.find_first_of("\r\n"));
}

class MsiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Exists(MsiPath())) << MsiPath();
        ASSERT_TRUE(Exists(OlderMsiPath())) << OlderMsiPath();
        RemoveLeftovers();
    }
    void TearDown() override { RemoveLeftovers(); }

    // An installation left by an earlier, failed run would make this one pass or fail by chance.
    static void RemoveLeftovers()
    {
        for (const Product& product : InstalledProducts())
            Msiexec("/x " + product.code);
        if (Exists(InstallDir() + "\\Uninstall.exe"))
            UninstallSetupProgram();
    }

    // One version installed, with its entry in Add/Remove Programs.
    static void ExpectInstalled(const char* version, bool startsAtLogon = true)
    {
        ExpectProgramsInstalled(startsAtLogon, kShortcutFolder);
        const std::vector<Product> products = InstalledProducts();
        ASSERT_EQ(1u, products.size());
        EXPECT_EQ(version, products[0].version);
        const std::string key = UninstallKeyOf(products[0].code);
        EXPECT_EQ(kTitle, RegText(HKEY_LOCAL_MACHINE, key.c_str(), "DisplayName"));
        EXPECT_EQ("Volmar", RegText(HKEY_LOCAL_MACHINE, key.c_str(), "Publisher"));
    }

    static void ExpectRemoved(const std::vector<std::string>& productCodes)
    {
        ExpectNothingLeft();
        EXPECT_TRUE(InstalledProducts().empty());
        for (const std::string& code : productCodes)
            EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKeyOf(code).c_str())) << code;
    }
};

TEST_F(MsiTest, InstallsUpgradesFromThePreviousVersionAndUninstallsSilently)
{
    ASSERT_EQ(0u, Msiexec("/i " + Quoted(OlderMsiPath()) + " STARTATLOGON=0"));
    ExpectInstalled("1.0.0", false);
    const std::string olderCode = InstalledProducts().at(0).code;

    // A major upgrade: the previous version goes, its entry with it.
    ASSERT_EQ(0u, Msiexec("/i " + Quoted(MsiPath())));
    ExpectInstalled(KVX_MSI_VERSION);
    const std::string code = InstalledProducts().at(0).code;
    EXPECT_NE(olderCode, code);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKeyOf(olderCode).c_str()));

    ASSERT_EQ(0u, Msiexec("/x " + Quoted(MsiPath())));
    ExpectRemoved({olderCode, code});
}

TEST_F(MsiTest, AProfileIsLoadedIntoTheDriverOneThatDoesNotLoadRefusesTheInstallation)
{
    SimDriverProcess sim; // msiexec, and kvxuctl under it, inherit its pipe's name
    ASSERT_TRUE(sim.Start()) << sim.Log();
    const std::string depthBefore = AsioDepth();
    ASSERT_NE("asio-depth 8000", depthBefore);

    const std::string refused =
        WriteProfile("kvx-msi-bad.kvxsettings",
                     R"({"format": "kvx-usb-settings", "version": 1, "asioBufferDepthUs": 8500})");
    EXPECT_TRUE(InstallFailed(Msiexec("/i " + Quoted(MsiPath()) + " PROFILE=" + Quoted(refused))));
    ExpectRemoved({});
    EXPECT_EQ(depthBefore, AsioDepth());

    const std::string profile =
        WriteProfile("kvx-msi.kvxsettings",
                     R"({"format": "kvx-usb-settings", "version": 1, "asioBufferDepthUs": 8000})");
    ASSERT_EQ(0u, Msiexec("/i " + Quoted(MsiPath()) + " PROFILE=" + Quoted(profile)));
    ExpectInstalled(KVX_MSI_VERSION);
    EXPECT_EQ("asio-depth 8000", AsioDepth());

    // No driver yet (it is deployed after this package): the installation stays all the same.
    ASSERT_TRUE(sim.Stop());
    RemoveLeftovers();
    ASSERT_EQ(0u, Msiexec("/i " + Quoted(MsiPath()) + " PROFILE=" + Quoted(profile)));
    ExpectInstalled(KVX_MSI_VERSION);
    DeleteFileA(refused.c_str());
    DeleteFileA(profile.c_str());
}

TEST_F(MsiTest, TheSetupProgramsInstallationAndThePackageRefuseEachOther)
{
    ASSERT_EQ(0u, RunToEnd(Quoted(DistPath(KVX_SETUP_NAME)) + " /S"));
    EXPECT_EQ(1603u, Msiexec("/i " + Quoted(MsiPath())));
    EXPECT_TRUE(InstalledProducts().empty());
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kSetupUninstallKey));
    RemoveLeftovers();

    ASSERT_EQ(0u, Msiexec("/i " + Quoted(MsiPath())));
    EXPECT_EQ(2u, RunToEnd(Quoted(DistPath(KVX_SETUP_NAME)) + " /S"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kSetupUninstallKey));
    ExpectInstalled(KVX_MSI_VERSION);
}

} // namespace
