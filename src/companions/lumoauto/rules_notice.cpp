#include "lumoauto/rules_notice.h"

#include "lumoauto/rule_store.h"

namespace {

constexpr DWORD watchedChanges = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;

} // namespace

RulesNotice::RulesNotice(Waiter& waiter, WPARAM id) {
    event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (event_ && !waiter.add(event_, id, false))
        event_ = nullptr;
}

RulesNotice::~RulesNotice() {
    if (key_)
        RegCloseKey(key_);
}

bool RulesNotice::arm() {
    if (!event_)
        return false;
    // A key deleted meanwhile (with the whole of the user's settings) is watched anew. Closing a
    // watched key signals the event once more, so a key still there is kept.
    if (key_ &&
        RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) == ERROR_KEY_DELETED) {
        RegCloseKey(key_);
        key_ = nullptr;
    }
    if (!key_ &&
        RegCreateKeyExW(HKEY_CURRENT_USER, rulesKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_NOTIFY | KEY_QUERY_VALUE, nullptr, &key_, nullptr) != ERROR_SUCCESS) {
        key_ = nullptr;
        return false;
    }
    // The notice belongs to this (the window's) thread, which lives as long as the watching.
    return RegNotifyChangeKeyValue(key_, FALSE, watchedChanges, event_, TRUE) == ERROR_SUCCESS;
}
