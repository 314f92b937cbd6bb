#include "support/registry_tree.h"

#include <vector>

namespace {

class OpenKey {
  public:
    OpenKey(HKEY root, const std::string& path) {
        if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~OpenKey() {
        if (key_)
            RegCloseKey(key_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    HKEY get() const { return key_; }

  private:
    HKEY key_ = nullptr;
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
