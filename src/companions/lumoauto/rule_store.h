#pragma once
// The rules in the user's registry: one value a program under
// HKCU\Software\Corvane\Lumo Controller\Programs, named with the program, holding its settings
// as text (see storedSettings). The controller's own values beside it are never touched.

#include "lumoauto/rules.h"

#include "common/registry_key.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// A stored value that is no rule: of another type than text, or with settings that cannot be read.
struct DamagedRule {
    std::wstring program;
    std::string problem;
};

struct StoredRules {
    std::vector<Rule> rules;
    std::vector<DamagedRule> damaged;
};

// Every rule that can be read; the others, named, as damaged.
StoredRules loadRules();
// Stores the rule, in place of the one for the same program; that one's settings in replaced.
bool storeRule(const Rule& rule, std::optional<std::wstring>& replaced);
enum class Removed { Done, NoRule, Failed };
// Removes the rule for the program.
Removed removeRule(const std::wstring& program);

// Opens the rules key, creating it when asked to; false when it cannot.
bool openRulesKey(RegistryKey& key, REGSAM access, bool create);
