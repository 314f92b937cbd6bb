#include "lumoauto/rule_store.h"

#include "common/names.h"

namespace {

// Registry value names are at most this long.
constexpr DWORD longestValueName = 16383;

std::optional<std::wstring> storedText(HKEY key, const std::wstring& name) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                         &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    // Stored text need not end in a null, or may hold several.
    text.resize(size / sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

void readRule(HKEY key, const std::wstring& name, StoredRules& stored) {
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
    std::wstring name(longestValueName + 1, L'\0');
    for (DWORD index = 0;; ++index) {
        DWORD length = longestValueName + 1;
        const LONG status = RegEnumValueW(key.get(), index, name.data(), &length, nullptr, nullptr,
                                          nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status == ERROR_SUCCESS)
            readRule(key.get(), name.substr(0, length), stored);
    }
    return stored;
}

namespace {

bool writeSettings(HKEY key, const std::wstring& name, const std::wstring& settings) {
    return RegSetValueExW(
               key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(settings.c_str()),
               static_cast<DWORD>((settings.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// The name a value is stored under, which may differ in case from the name asked for.
std::optional<std::wstring> storedName(HKEY key, const std::wstring& name) {
    std::wstring found(longestValueName + 1, L'\0');
    for (DWORD index = 0;; ++index) {
        DWORD length = longestValueName + 1;
        const LONG status =
            RegEnumValueW(key, index, found.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            return std::nullopt;
        if (status == ERROR_SUCCESS && sameText(found.substr(0, length), name))
            return found.substr(0, length);
    }
}

} // namespace

bool storeRule(const Rule& rule, std::optional<std::wstring>& replaced) {
    RegistryKey key;
    if (!openRulesKey(key, KEY_READ | KEY_SET_VALUE, true))
        return false;
    replaced.reset();
    const std::optional<std::wstring> stored = storedName(key.get(), rule.program);
    if (stored)
        replaced = storedText(key.get(), *stored).value_or(L"(damaged)");
    // The new settings first, over the old ones: a write that fails leaves the rule as it was.
    const std::wstring settings = storedSettings(rule);
    if (!writeSettings(key.get(), stored.value_or(rule.program), settings))
        return false;
    if (!stored || *stored == rule.program)
        return true;
    // The program is named as given now, in another case: a value keeps the case it was made
    // with, so it is made again.
    return RegDeleteValueW(key.get(), stored->c_str()) == ERROR_SUCCESS &&
           (writeSettings(key.get(), rule.program, settings) ||
            writeSettings(key.get(), *stored, settings));
}

Removed removeRule(const std::wstring& program) {
    RegistryKey key;
    if (!openRulesKey(key, KEY_QUERY_VALUE | KEY_SET_VALUE, false) ||
        !storedName(key.get(), program))
        return Removed::NoRule;
    return RegDeleteValueW(key.get(), program.c_str()) == ERROR_SUCCESS ? Removed::Done
                                                                        : Removed::Failed;
}
