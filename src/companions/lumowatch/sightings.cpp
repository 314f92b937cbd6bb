#include "lumowatch/sightings.h"

#include <utility>

std::optional<Sighting> CodeTracker::observe(int64_t nowMs, const DecodedCode& code) {
    countTimeUntil(nowMs);
    if (code.reading == CodeReading::None)
        return finish(nowMs);
    if (current_ && continuesCurrent(code)) {
        note(nowMs, code);
        return std::nullopt;
    }
    std::optional<Sighting> ended = finish(nowMs);
    current_ = Sighting{};
    current_->appearedMs = nowMs;
    current_->family = code.family;
    note(nowMs, code);
    return ended;
}

std::optional<Sighting> CodeTracker::stop(int64_t nowMs) {
    countTimeUntil(nowMs);
    if (current_)
        current_->stillOnScreen = true;
    return finish(nowMs);
}

bool CodeTracker::continuesCurrent(const DecodedCode& code) const {
    return code.family == current_->family &&
           (code.command == current_->command || code.command == unknownCommand ||
            current_->command == unknownCommand);
}

void CodeTracker::note(int64_t nowMs, const DecodedCode& code) {
    if (code.command != unknownCommand)
        current_->command = code.command;
    lastPollDamaged_ = code.reading == CodeReading::Damaged;
    if (lastPollDamaged_ && !current_->damage)
        current_->damage = describeDamage(code);
    current_->seenExact |= code.reading == CodeReading::Exact;
    lastPollMs_ = nowMs;
}

// A reading holds from its poll to the next one.
void CodeTracker::countTimeUntil(int64_t nowMs) {
    if (current_ && lastPollDamaged_)
        current_->damagedMs += nowMs - lastPollMs_;
}

std::optional<Sighting> CodeTracker::finish(int64_t nowMs) {
    if (!current_)
        return std::nullopt;
    current_->durationMs = nowMs - current_->appearedMs;
    return std::exchange(current_, std::nullopt);
}
