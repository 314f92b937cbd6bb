// RegServer and UnregServer on the real program: what it leaves in HKEY_CLASSES_ROOT (and in the
// 64-bit view); and their PerUser forms: the same under HKEY_CURRENT_USER\Software\Classes,
// nothing elsewhere. The machine's type library beside the user's.

#include "server/server_classes.h"
#include "server/server_module.h"
#include "server/server_registration.h"
#include "support/controller_process.h"
#include "support/registry.h"
#include "support/server_keys.h"
#include "support/test_host.h"
#include "zezizer.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

const std::string classKey = std::string("CLSID\\") + classIdText;
const std::string typeLibraryKey = std::string("TypeLib\\") + libraryIdText + "\\1.0";
const std::string interfaceKey = std::string("Interface\\") + interfaceIdText;
// The type library is built for the program's own word size.
constexpr const char* typeLibraryPlatform = sizeof(void*) == 8 ? "win64" : "win32";

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

constexpr char classesKey[] = "Software\\Classes\\";

// The registration's keys below a hive's classes, by their paths there (missing ones empty).
std::map<std::string, RegistryTree> registrationUnder(HKEY hive) {
    std::map<std::string, RegistryTree> trees;
    for (const std::string& key : serverKeyPaths())
        trees[key] = readRegistryTree(hive, classesKey + key);
    return trees;
}

// What a registration for the user must not touch: the machine's software keys whole in the
// harness's prefix, where nothing else writes them; elsewhere the registration's keys there.
std::map<std::string, RegistryTree> machineKeys() {
    if (underTestHarness())
        return {{"", readRegistryTree(HKEY_LOCAL_MACHINE, "Software")}};
    return registrationUnder(HKEY_LOCAL_MACHINE);
}

// Wine registers a type library "for the user" for the machine (its RegisterTypeLibForUser says
// so): the library's and the interface's keys are the system's doing there, not the program's.
void leaveOutWinesTypeLibrary(std::map<std::string, RegistryTree>& trees) {
    auto ofLibrary = [](const auto& named) {
        return named.first.find(libraryIdText) != std::string::npos ||
               named.first.find(interfaceIdText) != std::string::npos;
    };
    std::erase_if(trees, ofLibrary);
    for (auto& [name, tree] : trees)
        std::erase_if(tree, ofLibrary);
}

// Where 64-bit clients look the interface up; on a 32-bit system the one view.
bool inThe64BitView(HKEY hive, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(hive, (classesKey + path).c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key))
        return false;
    RegCloseKey(key);
    return true;
}

bool on64BitWindows() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
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
            const auto path = registryText(HKEY_CLASSES_ROOT, typeLibraryKey + "\\" + locale +
                                                                  "\\" + typeLibraryPlatform);
            ASSERT_TRUE(path.has_value()) << locale;
            EXPECT_EQ(lowered(*path), lowered(controllerPath())) << locale;
        }
        EXPECT_EQ(registryText(HKEY_CLASSES_ROOT, interfaceKey),
                  std::optional<std::string>("ILumoCode"));
        EXPECT_EQ(registryText(HKEY_CLASSES_ROOT, interfaceKey + "\\TypeLib"),
                  std::optional<std::string>(libraryIdText));
        EXPECT_TRUE(!on64BitWindows() ||
                    inThe64BitView(HKEY_LOCAL_MACHINE, interfaceKey + "\\ProxyStubClsid32"));
    }

    static void expectNothingRegistered() {
        for (const std::string& key :
             {classKey, std::string(progId), std::string(versionedProgId),
              std::string("AppID\\") + appIdText, std::string("AppID\\ZEZIZER.EXE"),
              std::string("TypeLib\\") + libraryIdText, interfaceKey})
            EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, key)) << key;
        EXPECT_FALSE(inThe64BitView(HKEY_LOCAL_MACHINE, interfaceKey));
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

TEST_F(ServerRegistrationSwitch, PerUserWritesTheMachinesKeysUnderTheUsersClassesAndNothingElse) {
    ASSERT_EQ(runController("/RegServer"), 0u);
    auto expected = registrationUnder(HKEY_LOCAL_MACHINE);
    ASSERT_EQ(runController("/UnregServer"), 0u);
    const auto machineBefore = machineKeys();

    bool windowSeen = true;
    EXPECT_EQ(runController("/RegServerPerUser", &windowSeen), 0u);
    EXPECT_FALSE(windowSeen);
    auto registered = registrationUnder(HKEY_CURRENT_USER);
    auto machineAfter = machineKeys();
    auto before = machineBefore;
    const std::string typeLibrary = std::string("TypeLib\\") + libraryIdText;
    const std::string neutralPath = std::string("1.0\\0\\") + typeLibraryPlatform;
    EXPECT_EQ(registered[typeLibrary][neutralPath], expected[typeLibrary][neutralPath]);
    if (!wineVersion().empty())
        for (auto* trees : {&before, &machineAfter, &expected, &registered})
            leaveOutWinesTypeLibrary(*trees);
    // Compared whole, not printed: the machine's keys fill megabytes.
    EXPECT_TRUE(machineAfter == before) << "the machine's keys changed";
    EXPECT_EQ(registered, expected);

    EXPECT_EQ(runController("-unregserverperuser", &windowSeen), 0u);
    EXPECT_FALSE(windowSeen);
    for (const auto& [key, tree] : registrationUnder(HKEY_CURRENT_USER))
        EXPECT_TRUE(tree.empty()) << key;
    EXPECT_FALSE(inThe64BitView(HKEY_CURRENT_USER, interfaceKey));
    EXPECT_TRUE(machineKeys() == machineBefore) << "the machine's keys changed";
    EXPECT_EQ(runController("/UnregServerPerUser"), 0u) << "with nothing registered";
}

// Windows writes a key that the user's classes hold through HKEY_CLASSES_ROOT to the user's hive.
TEST_F(ServerRegistrationSwitch, TheMachinesRegistrationGoesToTheMachineBesideTheUsers) {
    const std::string userClassKey = classesKey + classKey;
    HKEY planted = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, userClassKey.c_str(), &planted), ERROR_SUCCESS);
    RegCloseKey(planted);
    EXPECT_EQ(runController("/RegServer"), 0u);
    EXPECT_EQ(readRegistryTree(HKEY_LOCAL_MACHINE, classesKey + classKey), expectedClassKey());
    EXPECT_EQ(readRegistryTree(HKEY_CURRENT_USER, userClassKey), (RegistryTree{{"", {}}}));
}

// RegisterTypeLib writes through HKEY_CLASSES_ROOT, which Windows' merged view sends to the user's
// hive where the user's classes hold the key: this process's own mapping of it stands in for that.
TEST_F(ServerRegistrationSwitch, TheMachinesTypeLibraryGoesToTheMachineWhereverClassesRootLeads) {
    initServerModule(GetModuleHandleA(nullptr), serverClasses(), LIBID_ZEZIZERLib);
    const std::string elsewhere = "Software\\ZEZIZER classes test";
    HKEY mapped = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, elsewhere.c_str(), &mapped), ERROR_SUCCESS);
    for (const bool registering : {true, false}) {
        RegOverridePredefKey(HKEY_CLASSES_ROOT, mapped);
        if (registering)
            EXPECT_EQ(registerTypeLibrary(RegistrationScope::Machine), S_OK);
        else
            unregisterTypeLibrary(RegistrationScope::Machine);
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        for (const std::string& key : {typeLibraryKey, interfaceKey}) {
            EXPECT_EQ(registryKeyExists(HKEY_LOCAL_MACHINE, classesKey + key), registering) << key;
            EXPECT_FALSE(registryKeyExists(HKEY_CURRENT_USER, elsewhere + "\\" + key)) << key;
        }
    }
    RegCloseKey(mapped);
    RegDeleteTreeA(HKEY_CURRENT_USER, elsewhere.c_str());
}

TEST_F(ServerRegistrationSwitch, AfterTheUsersOwnRegistrationTheMachinesGoesToTheMachine) {
    SKIP_UNDER_WINE("its HKEY_CLASSES_ROOT has no merged view");
    ASSERT_EQ(runController("/RegServerPerUser"), 0u);
    const auto users = registrationUnder(HKEY_CURRENT_USER);
    for (const char* registration : {"/RegServer", "/UnregServer"}) {
        EXPECT_EQ(runController(registration), 0u);
        for (const std::string& key : {typeLibraryKey, interfaceKey})
            EXPECT_EQ(registryKeyExists(HKEY_LOCAL_MACHINE, classesKey + key),
                      registration == std::string("/RegServer"))
                << registration << " " << key;
        EXPECT_EQ(registrationUnder(HKEY_CURRENT_USER), users) << registration;
    }
}

TEST_F(ServerRegistrationSwitch, AFurtherArgumentBehindTheSwitchStartsTheControllerInstead) {
    ControllerProcess controller("/RegServer now");
    EXPECT_NE(controller.waitForMainWindow(), nullptr);
    EXPECT_EQ(controller.exit(), 0u);
    EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, classKey));
}

} // namespace
