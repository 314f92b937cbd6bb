#include "server/registry_script.h"

#include "common/registry_key.h"
#include "common/utf8.h"

#include <optional>
#include <utility>
#include <vector>

namespace {

constexpr HRESULT scriptSyntaxError = DISP_E_EXCEPTION;
constexpr char replacementMark = '%';
constexpr char quote = '\'';

enum class KeyFlag { Plain, NoRemove, ForceRemove };

struct NamedValue {
    std::string name;
    std::string text;
};

struct ScriptKey {
    std::string name;
    KeyFlag flag = KeyFlag::Plain;
    std::optional<std::string> defaultValue;
    std::vector<NamedValue> values;
    std::vector<ScriptKey> subkeys;
};

struct ScriptRoot {
    HKEY handle;
    ScriptKey body;
};

struct RootName {
    const char* name;
    HKEY handle;
};

const RootName rootNames[] = {
    {"HKCR", HKEY_CLASSES_ROOT},  {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKCU", HKEY_CURRENT_USER},  {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKLM", HKEY_LOCAL_MACHINE}, {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKU", HKEY_USERS},          {"HKEY_USERS", HKEY_USERS},
};

bool sameWord(std::string_view word, const char* keyword) {
    return lstrcmpiA(std::string(word).c_str(), keyword) == 0;
}

// The script with every "%NAME%" replaced; nothing when a name is not bound or a mark is open.
std::optional<std::string> expand(std::string_view script,
                                  std::span<const ScriptReplacement> replacements) {
    std::string expanded;
    size_t position = 0;
    for (;;) {
        const size_t mark = script.find(replacementMark, position);
        expanded += script.substr(position, mark - position);
        if (mark == std::string_view::npos)
            return expanded;
        const size_t close = script.find(replacementMark, mark + 1);
        if (close == std::string_view::npos)
            return std::nullopt;
        const std::string_view name = script.substr(mark + 1, close - mark - 1);
        if (name.empty()) {
            expanded += replacementMark;
        } else {
            const ScriptReplacement* bound = nullptr;
            for (const ScriptReplacement& replacement : replacements)
                if (sameWord(name, replacement.name))
                    bound = &replacement;
            if (!bound)
                return std::nullopt;
            expanded += bound->text;
        }
        position = close + 1;
    }
}

struct Token {
    std::string text;
    bool quoted;

    bool is(const char* word) const { return !quoted && sameWord(text, word); }
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Splits the script into tokens; nothing when a quoted text does not end.
std::optional<std::vector<Token>> tokenize(std::string_view script) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < script.size()) {
        if (isBlank(script[i])) {
            ++i;
        } else if (script[i] == quote) {
            Token token{"", true};
            for (++i;; ++i) {
                if (i >= script.size())
                    return std::nullopt;
                if (script[i] == quote) {
                    if (i + 1 >= script.size() || script[i + 1] != quote)
                        break;
                    ++i;
                }
                token.text += script[i];
            }
            ++i;
            tokens.push_back(std::move(token));
        } else {
            const size_t start = i;
            while (i < script.size() && !isBlank(script[i]))
                ++i;
            tokens.push_back({std::string(script.substr(start, i - start)), false});
        }
    }
    return tokens;
}

class ScriptParser {
  public:
    explicit ScriptParser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    bool parse(std::vector<ScriptRoot>& roots) {
        while (!atEnd()) {
            ScriptRoot root{};
            if (!parseRootName(root.handle) || !expect("{") || !parseBody(root.body))
                return false;
            root.body.flag = KeyFlag::NoRemove;
            roots.push_back(std::move(root));
        }
        return true;
    }

  private:
    bool atEnd() const { return next_ >= tokens_.size(); }
    bool peekIs(const char* word) const { return !atEnd() && tokens_[next_].is(word); }
    bool expect(const char* word) {
        if (!peekIs(word))
            return false;
        ++next_;
        return true;
    }
    bool take(std::string& text) {
        if (atEnd())
            return false;
        text = tokens_[next_++].text;
        return true;
    }

    bool parseRootName(HKEY& handle) {
        std::string name;
        if (!take(name))
            return false;
        for (const RootName& root : rootNames)
            if (sameWord(name, root.name)) {
                handle = root.handle;
                return true;
            }
        return false;
    }

    // "= s 'TEXT'"
    bool parseStringValue(std::string& text) { return expect("=") && expect("s") && take(text); }

    // Entries up to and with the closing brace.
    bool parseBody(ScriptKey& key) {
        while (!expect("}")) {
            if (atEnd())
                return false;
            if (expect("val")) {
                NamedValue value;
                if (!take(value.name) || !parseStringValue(value.text))
                    return false;
                key.values.push_back(std::move(value));
            } else {
                ScriptKey subkey;
                if (!parseKey(subkey))
                    return false;
                key.subkeys.push_back(std::move(subkey));
            }
        }
        return true;
    }

    // [NoRemove | ForceRemove] NAME [= s 'TEXT'] [{ ... }]
    bool parseKey(ScriptKey& key) {
        if (expect("NoRemove"))
            key.flag = KeyFlag::NoRemove;
        else if (expect("ForceRemove"))
            key.flag = KeyFlag::ForceRemove;
        if (peekIs("{") || peekIs("}") || !take(key.name))
            return false;
        if (peekIs("=")) {
            std::string text;
            if (!parseStringValue(text))
                return false;
            key.defaultValue = std::move(text);
        }
        return !expect("{") || parseBody(key);
    }

    std::vector<Token> tokens_;
    size_t next_ = 0;
};

LONG setText(const RegistryKey& key, const std::string* name, const std::string& text) {
    return key.setText(name ? widen(*name).c_str() : nullptr, widen(text));
}

LONG writeKeyContents(const RegistryKey& opened, const ScriptKey& key);

LONG writeKey(const RegistryKey& parent, const ScriptKey& key) {
    const std::wstring name = widen(key.name);
    if (key.flag == KeyFlag::ForceRemove) {
        const LONG removed = parent.deleteTree(name.c_str());
        if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND)
            return removed;
    }
    RegistryKey opened;
    if (!opened.create(parent.get(), name.c_str(), KEY_ALL_ACCESS))
        return opened.status();
    if (key.defaultValue) {
        const LONG written = setText(opened, nullptr, *key.defaultValue);
        if (written != ERROR_SUCCESS)
            return written;
    }
    return writeKeyContents(opened, key);
}

LONG writeKeyContents(const RegistryKey& opened, const ScriptKey& key) {
    for (const NamedValue& value : key.values) {
        const LONG written = setText(opened, &value.name, value.text);
        if (written != ERROR_SUCCESS)
            return written;
    }
    for (const ScriptKey& subkey : key.subkeys) {
        const LONG written = writeKey(opened, subkey);
        if (written != ERROR_SUCCESS)
            return written;
    }
    return ERROR_SUCCESS;
}

bool isGone(LONG result) {
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

LONG removeKeyContents(const RegistryKey& opened, const ScriptKey& key);

LONG removeKey(const RegistryKey& parent, const ScriptKey& key) {
    const std::wstring name = widen(key.name);
    if (key.flag != KeyFlag::NoRemove) {
        const LONG removed = parent.deleteTree(name.c_str());
        return isGone(removed) ? ERROR_SUCCESS : removed;
    }
    RegistryKey opened;
    if (!opened.open(parent.get(), name.c_str(), KEY_ALL_ACCESS))
        return isGone(opened.status()) ? ERROR_SUCCESS : opened.status();
    return removeKeyContents(opened, key);
}

// Whatever fails, the rest is still removed; the first failure is the result.
LONG removeKeyContents(const RegistryKey& opened, const ScriptKey& key) {
    LONG result = ERROR_SUCCESS;
    auto keepFirstFailure = [&](LONG step) {
        if (!isGone(step) && result == ERROR_SUCCESS)
            result = step;
    };
    for (const NamedValue& value : key.values)
        keepFirstFailure(opened.deleteValue(widen(value.name).c_str()));
    for (const ScriptKey& subkey : key.subkeys)
        keepFirstFailure(removeKey(opened, subkey));
    return result;
}

} // namespace

HRESULT runRegistryScript(std::string_view script, std::span<const ScriptReplacement> replacements,
                          ScriptMode mode, HKEY classesRoot) {
    const std::optional<std::string> expanded = expand(script, replacements);
    std::optional<std::vector<Token>> tokens;
    if (expanded)
        tokens = tokenize(*expanded);
    std::vector<ScriptRoot> roots;
    if (!tokens || !ScriptParser(std::move(*tokens)).parse(roots))
        return scriptSyntaxError;
    for (const ScriptRoot& root : roots) {
        RegistryKey opened;
        LONG result = ERROR_SUCCESS;
        if (!opened.open(root.handle == HKEY_CLASSES_ROOT ? classesRoot : root.handle, L"",
                         KEY_ALL_ACCESS))
            result = opened.status();
        else if (mode == ScriptMode::Register)
            result = writeKeyContents(opened, root.body);
        else
            result = removeKeyContents(opened, root.body);
        if (result != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(result);
    }
    return S_OK;
}
