// RegServer and UnregServer on the real program: what it leaves in HKEY_CLASSES_ROOT.

#include "support/controller_process.h"
#include "support/registry.h"
#include "support/server_keys.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string classKey = std::string("CLSID\\") + classIdText;
const std::string typeLibraryKey = std::string("TypeLib\\") + libraryIdText + "\\1.0";
const std::string interfaceKey = std::string("Interface\\") + interfaceIdText;

std::string shortControllerPath() {
    char shortPath[MAX_PATH];
    const DWORD length = GetShortPathNameA(controllerPath().c_str(), shortPath, MAX_PATH);
    return length ? shortPath : controllerPath();
}

RegistryTree expectedClassKey() {
    const std::string server = shortControllerPath();
    return {
        {"", {{"", "LumoCode Class"}, {"AppID", appIdText}}},
        {"ProgID", {{"", "ZEZIZER.LumoCode.1"}}},
        {"VersionIndependentProgID", {{"", "ZEZIZER.LumoCode"}}},
        {"Programmable", {}},
        {"LocalServer32", {{"", server}}},
        {"Control", {}},
        {"ToolboxBitmap32", {{"", server + ", 101"}}},
        {"MiscStatus", {{"", "0"}}},
        {"MiscStatus\\1", {{"", "131473"}}},
        {"TypeLib", {{"", libraryIdText}}},
        {"Version", {{"", "1.0"}}},
    };
}

std::string lowered(std::string text) {
    CharLowerA(text.data());
    return text;
}

class ServerRegistrationSwitch : public testing::Test {
  protected:
    void SetUp() override {
        SKIP_UNLESS_ELEVATED();
        removeServerKeys();
    }
    void TearDown() override { removeServerKeys(); }

    static void expectEverythingRegistered() {
        EXPECT_EQ(readRegistryTree(HKEY_CLASSES_ROOT, classKey), expectedClassKey());
        EXPECT_EQ(readRegistryTree(HKEY_CLASSES_ROOT, versionedProgId),
                  (RegistryTree{{"", {{"", "LumoCode Class"}}}, {"CLSID", {{"", classIdText}}}}));
        EXPECT_EQ(readRegistryTree(HKEY_CLASSES_ROOT, progId),
                  (RegistryTree{{"", {{"", "LumoCode Class"}}},
                                {"CLSID", {{"", classIdText}}},
                                {"CurVer", {{"", "ZEZIZER.LumoCode.1"}}}}));
        EXPECT_EQ(readRegistryTree(HKEY_CLASSES_ROOT, std::string("AppID\\") + appIdText),
                  (RegistryTree{{"", {{"", "ZEZIZER"}}}}));
        EXPECT_EQ(readRegistryTree(HKEY_CLASSES_ROOT, "AppID\\ZEZIZER.EXE"),
                  (RegistryTree{{"", {{"AppID", appIdText}}}}));

        EXPECT_EQ(registryText(HKEY_CLASSES_ROOT, typeLibraryKey),
                  std::optional<std::string>("ZEZIZER 1.0 Type Library"));
        // For the library's own locale, and for the neutral one that marshalers look up.
        for (const char* locale : {"409", "0"}) {
            const auto path =
                registryText(HKEY_CLASSES_ROOT, typeLibraryKey + "\\" + locale + "\\win32");
            ASSERT_TRUE(path.has_value()) << locale;
            EXPECT_EQ(lowered(*path), lowered(controllerPath())) << locale;
        }
        EXPECT_EQ(registryText(HKEY_CLASSES_ROOT, interfaceKey),
                  std::optional<std::string>("ILumoCode"));
        EXPECT_EQ(registryText(HKEY_CLASSES_ROOT, interfaceKey + "\\TypeLib"),
                  std::optional<std::string>(libraryIdText));
    }

    static void expectNothingRegistered() {
        for (const std::string& key :
             {classKey, std::string(progId), std::string(versionedProgId),
              std::string("AppID\\") + appIdText, std::string("AppID\\ZEZIZER.EXE"),
              std::string("TypeLib\\") + libraryIdText, interfaceKey})
            EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, key)) << key;
        EXPECT_TRUE(registryKeyExists(HKEY_CLASSES_ROOT, "AppID"));
        EXPECT_TRUE(registryKeyExists(HKEY_CLASSES_ROOT, "CLSID"));
    }
};

TEST_F(ServerRegistrationSwitch, RegistersTheTablesInAnyCaseAfterEitherSeparatorWithoutAWindow) {
    for (const char* spelling : {"/RegServer", "-regserver", "/REGSERVER"}) {
        removeServerKeys();
        bool windowSeen = true;
        EXPECT_EQ(runController(spelling, &windowSeen), 0u) << spelling;
        EXPECT_FALSE(windowSeen) << spelling << " opened the tray program";
        expectEverythingRegistered();
    }
}

TEST_F(ServerRegistrationSwitch, RegisteringAgainRebuildsTheClassKeyFromScratch) {
    ASSERT_EQ(runController("/RegServer"), 0u);
    HKEY planted = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, (classKey + "\\Planted").c_str(), &planted),
              ERROR_SUCCESS);
    RegCloseKey(planted);
    ASSERT_EQ(RegSetKeyValueA(HKEY_CLASSES_ROOT, (classKey + "\\LocalServer32").c_str(), nullptr,
                              REG_SZ, "C:\\elsewhere.exe", 17),
              ERROR_SUCCESS);

    EXPECT_EQ(runController("/RegServer"), 0u);
    expectEverythingRegistered();
}

TEST_F(ServerRegistrationSwitch, UnregisteringRemovesAllButTheSharedKeysAndAlwaysSucceeds) {
    ASSERT_EQ(runController("/RegServer"), 0u);
    bool windowSeen = true;
    EXPECT_EQ(runController("/UnregServer", &windowSeen), 0u);
    EXPECT_FALSE(windowSeen);
    expectNothingRegistered();

    EXPECT_EQ(runController("-unregserver"), 0u) << "with nothing registered";
    expectNothingRegistered();
}

TEST_F(ServerRegistrationSwitch, AFurtherArgumentBehindTheSwitchStartsTheControllerInstead) {
    ControllerProcess controller("/RegServer now");
    EXPECT_NE(controller.waitForMainWindow(), nullptr);
    EXPECT_EQ(controller.exit(), 0u);
    EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, classKey));
}

} // namespace
