#include "lumoauto/rules_notice.h"

#include "common/names.h"

namespace {

constexpr DWORD watchedChanges = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;

} // namespace

RulesNotice::RulesNotice(Waiter& waiter, WPARAM id) {
    event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (event_ && !waiter.add(event_, id, false))
        event_ = nullptr;
}

bool RulesNotice::arm() {
    if (!event_)
        return false;
    // A key deleted meanwhile (with the whole of the user's settings) is watched anew. Closing a
    // watched key signals the event once more, so a key still there is kept.
    if (key_.get() &&
        RegQueryInfoKeyW(key_.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) == ERROR_KEY_DELETED)
        key_.close();
    if (!key_.get() && !key_.create(HKEY_CURRENT_USER, rulesKeyPath, KEY_NOTIFY | KEY_QUERY_VALUE))
        return false;
    // The notice belongs to this (the window's) thread, which lives as long as the watching.
    return RegNotifyChangeKeyValue(key_.get(), FALSE, watchedChanges, event_, TRUE) ==
           ERROR_SUCCESS;
}
