#include "lumoauto/rule_store.h"

#include "common/names.h"

namespace {

std::optional<std::wstring> storedText(const RegistryKey& key, const std::wstring& name) {
    std::wstring text;
    if (key.queryText(name.c_str(), text) != ERROR_SUCCESS)
        return std::nullopt;
    return text;
}

void readRule(const RegistryKey& key, const std::wstring& name, StoredRules& stored) {
    Rule rule;
    rule.program = name;
    std::string problem = "not text";
    const std::optional<std::wstring> settings = storedText(key, name);
    if (settings && parseStoredSettings(*settings, rule, problem))
        stored.rules.push_back(rule);
    else
        stored.damaged.push_back({name, problem});
}

} // namespace

bool openRulesKey(RegistryKey& key, REGSAM access, bool create) {
    return create ? key.create(HKEY_CURRENT_USER, rulesKeyPath, access)
                  : key.open(HKEY_CURRENT_USER, rulesKeyPath, access);
}

StoredRules loadRules() {
    StoredRules stored;
    RegistryKey key;
    if (!openRulesKey(key, KEY_READ, false))
        return stored;
    std::wstring name;
    for (DWORD index = 0;; ++index) {
        const LONG status = key.valueName(index, name);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status == ERROR_SUCCESS)
            readRule(key, name, stored);
    }
    return stored;
}

namespace {

bool writeSettings(const RegistryKey& key, const std::wstring& name, const std::wstring& settings) {
    return key.setText(name.c_str(), settings) == ERROR_SUCCESS;
}

// The name a value is stored under, which may differ in case from the name asked for.
std::optional<std::wstring> storedName(const RegistryKey& key, const std::wstring& name) {
    std::wstring found;
    for (DWORD index = 0;; ++index) {
        const LONG status = key.valueName(index, found);
        if (status == ERROR_NO_MORE_ITEMS)
            return std::nullopt;
        if (status == ERROR_SUCCESS && sameText(found, name))
            return found;
    }
}

} // namespace

bool storeRule(const Rule& rule, std::optional<std::wstring>& replaced) {
    RegistryKey key;
    if (!openRulesKey(key, KEY_READ | KEY_SET_VALUE, true))
        return false;
    replaced.reset();
    const std::optional<std::wstring> stored = storedName(key, rule.program);
    if (stored)
        replaced = storedText(key, *stored).value_or(L"(damaged)");
    // The new settings first, over the old ones: a write that fails leaves the rule as it was.
    const std::wstring settings = storedSettings(rule);
    if (!writeSettings(key, stored.value_or(rule.program), settings))
        return false;
    if (!stored || *stored == rule.program)
        return true;
    // The program is named as given now, in another case: a value keeps the case it was made
    // with, so it is made again.
    return key.deleteValue(stored->c_str()) == ERROR_SUCCESS &&
           (writeSettings(key, rule.program, settings) || writeSettings(key, *stored, settings));
}

Removed removeRule(const std::wstring& program) {
    RegistryKey key;
    if (!openRulesKey(key, KEY_QUERY_VALUE | KEY_SET_VALUE, false) || !storedName(key, program))
        return Removed::NoRule;
    return key.deleteValue(program.c_str()) == ERROR_SUCCESS ? Removed::Done : Removed::Failed;
}
