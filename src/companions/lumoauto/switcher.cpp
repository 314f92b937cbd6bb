#include "lumoauto/switcher.h"

#include "client/commands.h"

#include <algorithm>

void Switcher::claim(DWORD processId, short command, bool offAfter) {
    release(processId);
    claims_.push_back({processId, command, offAfter});
}

void Switcher::release(DWORD processId) {
    const auto found = std::find_if(claims_.begin(), claims_.end(),
                                    [&](const Claim& c) { return c.processId == processId; });
    if (found == claims_.end())
        return;
    lastLetGoWithOff_ = found->offAfter;
    claims_.erase(found);
}

bool Switcher::claims(DWORD processId) const {
    return std::any_of(claims_.begin(), claims_.end(),
                       [&](const Claim& c) { return c.processId == processId; });
}

std::optional<short> Switcher::wantedNow() const {
    if (!claims_.empty())
        return claims_.back().command;
    if (lastLetGoWithOff_)
        return stereoOffCommand;
    return std::nullopt;
}

std::optional<short> Switcher::decide() {
    const std::optional<short> wanted = wantedNow();
    if (wanted == wanted_)
        return std::nullopt;
    wanted_ = wanted;
    return wanted;
}
