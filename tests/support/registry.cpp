#include "support/registry.h"

#include "common/registry_key.h"

#include <vector>

namespace {

// An existing key opened for reading.
class OpenKey : public RegistryKey {
  public:
    OpenKey(HKEY root, const std::string& path) { open(root, path.c_str(), KEY_READ); }
};

RegistryValues readValues(HKEY key) {
    RegistryValues values;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameSize = sizeof(name);
        BYTE data[2048] = {};
        DWORD dataSize = sizeof(data) - 1;
        DWORD type = 0;
        if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize) !=
            ERROR_SUCCESS)
            return values;
        values[name] = type == REG_SZ ? std::string(reinterpret_cast<char*>(data))
                                      : "<type " + std::to_string(type) + ">";
    }
}

void readInto(HKEY root, const std::string& path, const std::string& relative, RegistryTree& tree) {
    OpenKey key(root, path);
    if (!key.get())
        return;
    tree[relative] = readValues(key.get());
    std::vector<std::string> subkeys;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameSize = sizeof(name);
        if (RegEnumKeyExA(key.get(), index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        subkeys.push_back(name);
    }
    for (const std::string& subkey : subkeys)
        readInto(root, path + "\\" + subkey, relative.empty() ? subkey : relative + "\\" + subkey,
                 tree);
}

} // namespace

std::optional<uint32_t> StoredValue::dword() const {
    if (bytes.size() != sizeof(uint32_t))
        return std::nullopt;
    uint32_t value = 0;
    memcpy(&value, bytes.data(), sizeof(value));
    return value;
}

void deleteCorvaneKey() {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Corvane");
}

std::optional<StoredValue> readValue(const char* keyPath, const char* name) {
    OpenKey key(HKEY_CURRENT_USER, keyPath);
    StoredValue value;
    DWORD size = 0;
    if (!key.get() ||
        RegQueryValueExA(key.get(), name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.bytes.resize(size);
    if (RegQueryValueExA(key.get(), name, nullptr, &value.type, value.bytes.data(), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    value.bytes.resize(size);
    return value;
}

std::optional<uint32_t> readDword(const char* keyPath, const char* name) {
    return registryNumber(HKEY_CURRENT_USER, keyPath, name);
}

std::vector<std::string> valueNames(const char* keyPath) {
    std::vector<std::string> names;
    OpenKey key(HKEY_CURRENT_USER, keyPath);
    if (key.get())
        for (const auto& [name, value] : readValues(key.get()))
            names.push_back(name);
    return names;
}

bool keyExists(const char* keyPath) {
    return registryKeyExists(HKEY_CURRENT_USER, keyPath);
}

void writeValue(const char* keyPath, const char* name, DWORD type, const void* data, DWORD size) {
    RegistryKey key;
    if (key.create(HKEY_CURRENT_USER, keyPath, KEY_WRITE))
        RegSetValueExA(key.get(), name, 0, type, static_cast<const BYTE*>(data), size);
}

void writeDword(const char* keyPath, const char* name, uint32_t value) {
    writeValue(keyPath, name, REG_DWORD, &value, sizeof(value));
}

void writeText(const char* keyPath, const char* name, const std::string& text) {
    writeValue(keyPath, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void deleteValue(const char* keyPath, const char* name) {
    RegistryKey key;
    if (key.open(HKEY_CURRENT_USER, keyPath, KEY_SET_VALUE))
        RegDeleteValueA(key.get(), name);
}

RegistryTree readRegistryTree(HKEY root, const std::string& path) {
    RegistryTree tree;
    readInto(root, path, "", tree);
    return tree;
}

bool registryKeyExists(HKEY root, const std::string& path) {
    return OpenKey(root, path).get() != nullptr;
}

std::optional<std::string> registryText(HKEY root, const std::string& path,
                                        const std::string& name) {
    OpenKey key(root, path);
    if (!key.get())
        return std::nullopt;
    RegistryValues values = readValues(key.get());
    auto found = values.find(name);
    if (found == values.end())
        return std::nullopt;
    return found->second;
}

std::optional<DWORD> registryNumber(HKEY root, const std::string& path, const std::string& name) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueA(root, path.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return value;
}
