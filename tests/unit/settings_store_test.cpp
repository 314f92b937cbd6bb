// The settings in the real per-user registry of the test prefix.

#include "code/controller_state.h"
#include "settings/error_codes.h"
#include "settings/settings_store.h"
#include "support/fresh_controller.h"
#include "support/registry.h"
#include "support/registry_faults.h"
#include "support/running_version.h"

#include <aclapi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Distinct values for every field, so that a field read from the wrong value shows.
void fillDistinct(int32_t base) {
    int32_t next = base;
    for (const StoredField& step : storedFields)
        if (step.field)
            controller.*step.field = next++;
}

std::vector<std::string> sortedValueNames(const char* keyPath) {
    std::vector<std::string> names = valueNames(keyPath);
    std::sort(names.begin(), names.end());
    return names;
}

class SettingsStore : public testing::Test {
  protected:
    void SetUp() override {
        startFreshController();
        makeVersionText();
    }
    void TearDown() override { deleteCorvaneKey(); }
};

TEST_F(SettingsStore, TheVersionTextComesFromTheExecutablesVersionResource) {
    EXPECT_STREQ(controller.version, runningVersion);
}

// A copy of this test program whose only resource is a version of 65535.65535.65535.65535.
class ProgramWithLongVersion {
  public:
    ProgramWithLongVersion() {
        char path[MAX_PATH];
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        copy_ = std::string(path) + ".long-version.exe";
        CopyFileA(path, copy_.c_str(), FALSE);
        HANDLE update = BeginUpdateResourceA(copy_.c_str(), TRUE);
        VersionBlock block;
        UpdateResourceA(update, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1),
                        MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), &block, sizeof(block));
        EndUpdateResourceA(update, FALSE);
        module_ = LoadLibraryExA(copy_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ~ProgramWithLongVersion() {
        if (module_)
            FreeLibrary(module_);
        DeleteFileA(copy_.c_str());
    }
    HMODULE module() const { return module_; }

  private:
    struct VersionBlock {
        WORD length = sizeof(VersionBlock);
        WORD valueLength = sizeof(VS_FIXEDFILEINFO);
        WORD type = 0;
        WCHAR key[16] = L"VS_VERSION_INFO";
        WORD padding = 0;
        VS_FIXEDFILEINFO value{0xFEEF04BD, 0x10000, 0xFFFFFFFF, 0xFFFFFFFF,       0xFFFFFFFF,
                               0xFFFFFFFF, 0x3F,    0,          VOS_NT_WINDOWS32, VFT_APP,
                               0,          0,       0};
    };
    std::string copy_;
    HMODULE module_ = nullptr;
};

TEST_F(SettingsStore, AVersionTooLongForTheFieldIsCutToFitIt) {
    ProgramWithLongVersion program;
    ASSERT_NE(program.module(), nullptr);
    controller.moduleInstance = program.module();
    controller.hardware = 0x5A5A5A5A;
    makeVersionText();
    EXPECT_STREQ(controller.version, "65535.65535.65535.6");
    EXPECT_EQ(controller.hardware, 0x5A5A5A5A) << "the field after the version was overwritten";
}

TEST_F(SettingsStore, ASaveWithResetWritesExactlyTheDefaultsWithTheirTypes) {
    fillDistinct(100);
    ASSERT_EQ(saveSettings(1), 1);
    EXPECT_EQ(controller.lastError, 0);

    EXPECT_EQ(sortedValueNames(testControllerKey),
              (std::vector<std::string>{"Active", "Reverse", "Tested", "Version"}));
    EXPECT_EQ(sortedValueNames(testSettingsKey),
              (std::vector<std::string>{"Hardware", "Hot-Key 1", "Hot-Key 2", "Hot-Key 3",
                                        "LCD Mode", "Mode"}));
    const std::vector<std::pair<const StoredField*, uint32_t>> defaults{
        {&storedFields[0], 0},   {&storedFields[1], 0},   {&storedFields[2], 0},
        {&storedFields[4], 0},   {&storedFields[5], 0},   {&storedFields[6], 0},
        {&storedFields[7], 633}, {&storedFields[8], 634}, {&storedFields[9], 635},
    };
    for (const auto& [step, expected] : defaults) {
        auto value = readValue(step->key, step->name);
        ASSERT_TRUE(value) << step->name;
        EXPECT_EQ(value->type, static_cast<DWORD>(REG_DWORD)) << step->name;
        EXPECT_EQ(value->dword(), expected) << step->name;
        EXPECT_EQ(controller.*step->field, static_cast<int32_t>(expected)) << step->name;
    }
    auto version = readValue(testControllerKey, "Version");
    ASSERT_TRUE(version);
    EXPECT_EQ(version->type, static_cast<DWORD>(REG_SZ));
    std::vector<BYTE> expected(20, 0);
    memcpy(expected.data(), runningVersion, sizeof(runningVersion) - 1);
    EXPECT_EQ(version->bytes, expected) << "Version is the text padded with zeros to 20 bytes";
}

TEST_F(SettingsStore, LoadReadsBackWhatSaveWrote) {
    fillDistinct(7);
    ASSERT_EQ(saveSettings(0), 1);
    controller = ControllerState{};
    ASSERT_EQ(loadSettings(), 1);
    EXPECT_EQ(controller.lastError, 0);
    int32_t next = 7;
    for (const StoredField& step : storedFields) {
        if (step.field) {
            EXPECT_EQ(controller.*step.field, next++) << step.name;
        }
    }
    EXPECT_STREQ(controller.version, runningVersion);
}

TEST_F(SettingsStore, EachMissingValueStopsTheLoadWithItsOwnCode) {
    for (size_t missing = 0; missing < storedFields.size(); ++missing) {
        deleteCorvaneKey();
        fillDistinct(1000);
        ASSERT_EQ(saveSettings(0), 1);
        deleteValue(storedFields[missing].key, storedFields[missing].name);
        fillDistinct(5000);

        EXPECT_EQ(loadSettings(), 0) << storedFields[missing].name;
        EXPECT_EQ(controller.lastError, storedFields[missing].readFailure)
            << storedFields[missing].name;
        int32_t stored = 1000, old = 5000;
        for (size_t i = 0; i < storedFields.size(); ++i, ++stored, ++old) {
            if (!storedFields[i].field) {
                --stored, --old;
                continue;
            }
            const int32_t expected = i < missing ? stored : old;
            EXPECT_EQ(controller.*storedFields[i].field, expected)
                << storedFields[i].name << " with " << storedFields[missing].name << " missing";
        }
    }
}

TEST_F(SettingsStore, MissingKeysStopTheLoadWithTheirCodes) {
    EXPECT_EQ(loadSettings(), 0);
    EXPECT_EQ(controller.lastError, ErrorReadControllerKey);

    ASSERT_EQ(saveSettings(1), 1);
    RegDeleteTreeA(HKEY_CURRENT_USER, testSettingsKey);
    controller.active = 77;
    EXPECT_EQ(loadSettings(), 0);
    EXPECT_EQ(controller.lastError, ErrorReadSettingsKey);
    EXPECT_EQ(controller.active, 0) << "the fields of the first key were read";
}

TEST_F(SettingsStore, ADwordStoredWithAnotherTypeIsAcceptedWhenItIsFourBytesLong) {
    ASSERT_EQ(saveSettings(1), 1);
    const uint32_t mode = 2;
    writeValue(testSettingsKey, "Mode", REG_BINARY, &mode, sizeof(mode));
    ASSERT_EQ(loadSettings(), 1);
    EXPECT_EQ(controller.mode, 2);
}

TEST_F(SettingsStore, AValueOfAnotherSizeIsRefusedInsteadOfHalfRead) {
    for (DWORD size : {0u, 2u, 8u}) {
        ASSERT_EQ(saveSettings(1), 1);
        const BYTE bytes[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
        writeValue(testSettingsKey, "Hot-Key 2", REG_BINARY, bytes, size);
        controller.hotKey2 = 0x12345678;
        EXPECT_EQ(loadSettings(), 0) << size << " bytes";
        EXPECT_EQ(controller.lastError, ErrorReadHotKey2);
        EXPECT_EQ(controller.hotKey2, 0x12345678) << size << " bytes";
    }
}

TEST_F(SettingsStore, AStoredVersionFillingAllTwentyBytesIsReadWithoutOverrun) {
    ASSERT_EQ(saveSettings(1), 1);
    const char unterminated[20] = {'2', '.', '7', '.', '0', '.', '0', 'x', 'x', 'x',
                                   'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    writeValue(testControllerKey, "Version", REG_SZ, unterminated, sizeof(unterminated));
    controller.hardware = 0x5A5A5A5A;
    EXPECT_FALSE(storedVersionMatches(runningVersion));
    ASSERT_EQ(loadSettings(), 1);
    EXPECT_EQ(controller.version[19], '\0') << "the field keeps its terminator";
    EXPECT_EQ(std::string(controller.version), std::string(unterminated, 19));
    EXPECT_EQ(controller.hardware, 0) << "the field after the version was read, not overwritten";
}

TEST_F(SettingsStore, TheVersionCheckComparesTheWholeStoredText) {
    ASSERT_EQ(saveSettings(1), 1);
    EXPECT_TRUE(storedVersionMatches(runningVersion));
    const std::string version = runningVersion;
    EXPECT_FALSE(storedVersionMatches(version.substr(0, version.rfind('.')).c_str()));
    EXPECT_FALSE(storedVersionMatches((version + "0").c_str()));
    writeText(testControllerKey, "Version", version + " ");
    EXPECT_FALSE(storedVersionMatches(runningVersion));
    writeText(testControllerKey, "Version", std::string(25, '2'));
    EXPECT_FALSE(storedVersionMatches(std::string(25, '2').c_str()));
    EXPECT_EQ(controller.lastError, ErrorReadVersion) << "a value over 20 bytes cannot be read";
    deleteCorvaneKey();
    EXPECT_FALSE(storedVersionMatches(runningVersion));
    EXPECT_EQ(controller.lastError, ErrorReadControllerKey);
}

TEST_F(SettingsStore, EveryFailingValueWriteLeavesItsCodeAndKeepsWhatWasWrittenBefore) {
    for (size_t failing = 0; failing < storedFields.size(); ++failing) {
        deleteCorvaneKey();
        fillDistinct(300);
        RegistryWriteWatch watch(static_cast<int>(failing) + 1);
        ASSERT_TRUE(watch.active());
        EXPECT_EQ(saveSettings(0), 0) << storedFields[failing].name;
        EXPECT_EQ(controller.lastError, storedFields[failing].writeFailure)
            << storedFields[failing].name;
        for (size_t i = 0; i < storedFields.size(); ++i) {
            auto value = readValue(storedFields[i].key, storedFields[i].name);
            EXPECT_EQ(value.has_value(), i < failing)
                << storedFields[i].name << " with " << storedFields[failing].name << " failing";
        }
    }
}

// Gives a key a security descriptor that lets nobody open it for writing.
void makeReadOnly(const char* keyPath) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    EXPLICIT_ACCESSA access{};
    access.grfAccessPermissions = KEY_READ | WRITE_DAC | DELETE;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = NO_INHERITANCE;
    BuildTrusteeWithNameA(&access.Trustee, const_cast<char*>("EVERYONE"));
    PACL acl = nullptr;
    ASSERT_EQ(SetEntriesInAclA(1, &access, nullptr, &acl), ERROR_SUCCESS);
    ASSERT_EQ(SetSecurityInfo(key, SE_REGISTRY_KEY,
                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, acl, nullptr),
              ERROR_SUCCESS);
    LocalFree(acl);
    RegCloseKey(key);
}

TEST_F(SettingsStore, KeysThatCannotBeOpenedForWritingLeaveCodes1And2) {
    makeReadOnly(testControllerKey);
    EXPECT_EQ(saveSettings(0), 0);
    EXPECT_EQ(controller.lastError, ErrorWriteControllerKey);
    EXPECT_TRUE(valueNames(testControllerKey).empty());

    deleteCorvaneKey();
    makeReadOnly(testSettingsKey);
    EXPECT_EQ(saveSettings(0), 0);
    EXPECT_EQ(controller.lastError, ErrorWriteSettingsKey);
    EXPECT_EQ(valueNames(testControllerKey).size(), 4u) << "the first key was written before";
    EXPECT_TRUE(valueNames(testSettingsKey).empty());
}

TEST_F(SettingsStore, StartingWithoutStoredSettingsWritesTheDefaults) {
    fillDistinct(40);
    EXPECT_EQ(loadOrResetSettings(), 1);
    EXPECT_EQ(controller.hotKey1, 633);
    EXPECT_EQ(controller.mode, 0);
    EXPECT_EQ(readDword(testSettingsKey, "Hot-Key 3"), 635u);
    EXPECT_EQ(readValue(testControllerKey, "Version")->bytes.size(), 20u);
}

TEST_F(SettingsStore, StartingWithSettingsOfThisVersionLoadsThemAndRewritesNothing) {
    fillDistinct(40);
    ASSERT_EQ(saveSettings(0), 1);
    fillDistinct(900);
    RegistryWriteWatch watch;
    ASSERT_TRUE(watch.active());
    EXPECT_EQ(loadOrResetSettings(), 1);
    EXPECT_EQ(watch.calls(), 0);
    EXPECT_EQ(controller.active, 40);
    EXPECT_EQ(controller.hotKey3, 48);
}

TEST_F(SettingsStore, StartingWithSettingsOfAnotherVersionOrNoneReplacesThemAll) {
    for (const char* stored : {"2.5", "2.7.0.1", ""}) {
        deleteCorvaneKey();
        fillDistinct(40);
        ASSERT_EQ(saveSettings(0), 1);
        if (*stored)
            writeText(testControllerKey, "Version", stored);
        else
            deleteValue(testControllerKey, "Version");
        EXPECT_EQ(loadOrResetSettings(), 1) << stored;
        EXPECT_EQ(readDword(testControllerKey, "Active"), 0u) << stored;
        EXPECT_EQ(readDword(testSettingsKey, "Hot-Key 1"), 633u) << stored;
        EXPECT_EQ(readValue(testControllerKey, "Version")->bytes.size(), 20u) << stored;
        EXPECT_EQ(controller.hotKey2, 634) << stored;
    }
}

TEST_F(SettingsStore, AFailedStartUpLoadIsHandedToTheCaller) {
    ASSERT_EQ(saveSettings(1), 1);
    deleteValue(testSettingsKey, "Hot-Key 3");
    EXPECT_EQ(loadOrResetSettings(), 0);
    EXPECT_EQ(controller.lastError, ErrorReadHotKey3);
    EXPECT_FALSE(readValue(testSettingsKey, "Hot-Key 3")) << "nothing was rewritten";
}

} // namespace
