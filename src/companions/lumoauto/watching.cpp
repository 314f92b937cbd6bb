#include "lumoauto/watching.h"

#include <algorithm>
#include <utility>

std::vector<WPARAM> Watching::setRules(const std::vector<Rule>& rules) {
    rules_ = rules;
    // A program refused before may be listed no longer, or listed under another name.
    refused_.clear();
    std::vector<WPARAM> dropped;
    for (auto watched = watched_.begin(); watched != watched_.end();) {
        const Rule* rule = ruleForProgram(rules_, watched->path);
        if (!rule) {
            const std::wstring path = watched->path;
            dropped.push_back(watched->serial);
            letGo(watched->processId);
            watched = watched_.erase(watched);
            tell(path, L"is no longer listed");
            continue;
        }
        const bool changed = rule->command != watched->rule.command ||
                             rule->when != watched->rule.when ||
                             rule->offAfter != watched->rule.offAfter;
        watched->rule = *rule;
        if (changed) {
            letGo(watched->processId);
            if (rule->when == When::Running)
                switcher_.claim(watched->processId, rule->command, rule->offAfter);
            tell(watched->path, L"has a changed rule");
        }
        ++watched;
    }
    return dropped;
}

bool Watching::worthALook(DWORD processId) const {
    return processId && !rules_.empty() &&
           std::none_of(watched_.begin(), watched_.end(),
                        [&](const Watched& w) { return w.processId == processId; }) &&
           std::find(refused_.begin(), refused_.end(), processId) == refused_.end();
}

void Watching::started(DWORD processId, WPARAM serial, const std::wstring& path, const Rule& rule,
                       const wchar_t* how) {
    watched_.push_back({processId, serial, rule, path});
    if (rule.when == When::Running)
        switcher_.claim(processId, rule.command, rule.offAfter);
    tell(path, how);
}

void Watching::refused(DWORD processId, const std::wstring& path) {
    refused_.push_back(processId);
    told_.push_back(
        {fileNameOf(path) + L" runs but is not watched: no more programs can be watched at once",
         std::nullopt});
}

bool Watching::ended(WPARAM serial) {
    const auto found = std::find_if(watched_.begin(), watched_.end(),
                                    [&](const Watched& w) { return w.serial == serial; });
    if (found == watched_.end())
        return false;
    const std::wstring path = found->path;
    letGo(found->processId);
    watched_.erase(found);
    tell(path, L"ended");
    const bool lookAgain = !refused_.empty();
    refused_.clear();
    return lookAgain;
}

// The front goes to a program with a front rule, or from it to anything else.
void Watching::frontIs(DWORD now) {
    if (!now || now == frontProcess_)
        return;
    Watched* front = watchedProcess(now);
    if (front && front->rule.when != When::Front)
        front = nullptr;
    if (!front && !frontProcess_)
        return;
    if (frontProcess_) {
        Watched* left = watchedProcess(frontProcess_);
        switcher_.release(frontProcess_);
        frontProcess_ = 0;
        if (!front && left)
            tell(left->path, L"left the front");
    }
    if (front) {
        frontProcess_ = now;
        switcher_.claim(now, front->rule.command, front->rule.offAfter);
        tell(front->path, L"came to the front");
    }
}

bool Watching::frontRuleRunning() const {
    return std::any_of(watched_.begin(), watched_.end(),
                       [](const Watched& w) { return w.rule.when == When::Front; });
}

std::vector<Watching::Told> Watching::takeTold() {
    return std::exchange(told_, {});
}

Watching::Watched* Watching::watchedProcess(DWORD processId) {
    const auto found = std::find_if(watched_.begin(), watched_.end(),
                                    [&](const Watched& w) { return w.processId == processId; });
    return found == watched_.end() ? nullptr : &*found;
}

void Watching::letGo(DWORD processId) {
    switcher_.release(processId);
    if (frontProcess_ == processId)
        frontProcess_ = 0;
}

void Watching::tell(const std::wstring& path, const wchar_t* what) {
    told_.push_back({fileNameOf(path) + L" " + what, switcher_.decide()});
}
