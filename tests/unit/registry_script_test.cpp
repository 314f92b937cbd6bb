// The registrar script interpreter on the real registry, under a key of its own in HKCU.

#include "server/registry_script.h"
#include "support/registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr char testKey[] = "Software\\ZEZIZER script test";

// The entries, placed under the test key, which itself is never removed.
std::string underTestKey(const std::string& entries) {
    return "HKCU\n{\n NoRemove Software\n {\n  NoRemove 'ZEZIZER script test'\n  {\n" + entries +
           "\n  }\n }\n}\n";
}

HRESULT run(const std::string& entries, ScriptMode mode,
            const std::vector<ScriptReplacement>& replacements = {}) {
    return runRegistryScript(underTestKey(entries), replacements, mode);
}

void plantKey(const std::string& path) {
    HKEY key = nullptr;
    RegCreateKeyA(HKEY_CURRENT_USER, (std::string(testKey) + "\\" + path).c_str(), &key);
    RegCloseKey(key);
}

class RegistryScript : public testing::Test {
  protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, testKey);
        plantKey("");
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, testKey); }

    static RegistryTree tree() { return readRegistryTree(HKEY_CURRENT_USER, testKey); }
};

TEST_F(RegistryScript, RegisterWritesKeysWithDefaultAndNamedTextValues) {
    EXPECT_EQ(run("Lumo.Thing = s 'Thing Class'\n"
                  "{\n"
                  "  val AppID = s '{1234}'\n"
                  "  'Inner Key' = s 'it''s here'\n"
                  "  {\n"
                  "    '1' = s '131473'\n"
                  "  }\n"
                  "  Empty\n"
                  "}\n"
                  "{AB-CD} = s 'braced name'",
                  ScriptMode::Register),
              S_OK);
    EXPECT_EQ(tree(), (RegistryTree{
                          {"", {}},
                          {"Lumo.Thing", {{"", "Thing Class"}, {"AppID", "{1234}"}}},
                          {"Lumo.Thing\\Inner Key", {{"", "it's here"}}},
                          {"Lumo.Thing\\Inner Key\\1", {{"", "131473"}}},
                          {"Lumo.Thing\\Empty", {}},
                          {"{AB-CD}", {{"", "braced name"}}},
                      }));
}

TEST_F(RegistryScript, ReplacementsAreMadeBeforeTheScriptIsRead) {
    const std::vector<ScriptReplacement> replacements{{"MODULE", "C:\\Lumo''s\\ZEZIZER.EXE"}};
    EXPECT_EQ(
        run("Server = s '%MODULE%, 101'\nPercent = s '100%%'", ScriptMode::Register, replacements),
        S_OK);
    EXPECT_EQ(registryText(HKEY_CURRENT_USER, std::string(testKey) + "\\Server"),
              std::optional<std::string>("C:\\Lumo's\\ZEZIZER.EXE, 101"));
    EXPECT_EQ(registryText(HKEY_CURRENT_USER, std::string(testKey) + "\\Percent"),
              std::optional<std::string>("100%"));
}

TEST_F(RegistryScript, ForceRemoveRebuildsItsKeyWhileAPlainKeyKeepsWhatItHad) {
    const std::string entries = "ForceRemove Forced = s 'new'\n{\n  Kept = s 'k'\n}\n"
                                "Plain = s 'p'";
    plantKey("Forced\\Stray\\Deep");
    plantKey("Plain\\Stray");
    EXPECT_EQ(run(entries, ScriptMode::Register), S_OK);
    EXPECT_EQ(tree(), (RegistryTree{
                          {"", {}},
                          {"Forced", {{"", "new"}}},
                          {"Forced\\Kept", {{"", "k"}}},
                          {"Plain", {{"", "p"}}},
                          {"Plain\\Stray", {}},
                      }));
}

TEST_F(RegistryScript, UnregisterDeletesWholeSubtreesButOnlyDescendsIntoNoRemoveKeys) {
    const std::string entries = "NoRemove Shared\n{\n  val Mine = s 'm'\n  Own = s 'o'\n}\n"
                                "Removed = s 'r'\n{\n  Child\n}";
    ASSERT_EQ(run(entries, ScriptMode::Register), S_OK);
    plantKey("Shared\\Foreign");
    plantKey("Removed\\Child\\Grandchild");

    EXPECT_EQ(run(entries, ScriptMode::Unregister), S_OK);
    EXPECT_EQ(tree(), (RegistryTree{{"", {}}, {"Shared", {}}, {"Shared\\Foreign", {}}}));
    EXPECT_EQ(run(entries, ScriptMode::Unregister), S_OK) << "with nothing left to remove";
}

TEST_F(RegistryScript, AScriptThatCannotBeReadChangesNothing) {
    const char* unreadable[] = {
        "Key = s 'never closed",
        "Key = s '%UNBOUND%'",
        "Key = s '%MODULE'",
        "Key = d '5'",
        "Key = s 'fine'\n{\n  Inner",
        "Key =",
        "val Lost",
    };
    for (const char* entries : unreadable) {
        EXPECT_EQ(run(entries, ScriptMode::Register, {{"MODULE", "m"}}), DISP_E_EXCEPTION)
            << entries;
        EXPECT_EQ(tree(), (RegistryTree{{"", {}}})) << entries;
    }
    EXPECT_EQ(runRegistryScript("HKNOWHERE\n{\n}\n", {}, ScriptMode::Register), DISP_E_EXCEPTION);
}

} // namespace
