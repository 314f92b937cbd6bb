#pragma once
// Turns the readings of successive polls into codes that came and went.

#include "decoder/code_decoder.h"

#include <cstdint>
#include <optional>
#include <string>

// One code from the poll that first saw it to the poll that no longer did.
struct Sighting {
    int64_t appearedMs = 0;
    int64_t durationMs = 0;
    CodeFamily family = CodeFamily::Stereo;
    int32_t command = unknownCommand;
    // Seen exactly at least once: the code reached the screen as the glasses' box needs it.
    bool seenExact = false;
    // What was wrong the first time it was seen damaged; none when it never was.
    std::optional<std::string> damage;
    int64_t damagedMs = 0;
    // The watch ended while the code was still shown.
    bool stillOnScreen = false;
};

// Polls that read a code of the same family, whose commands do not differ (one of them may be
// unknown, as while a window is half painted or half covered), see the same code; a code of
// another family or command means the first one went and the second came.
class CodeTracker {
  public:
    // The reading of one poll at nowMs; the code that has just disappeared, if any.
    std::optional<Sighting> observe(int64_t nowMs, const DecodedCode& code);

    // The end of the watch at nowMs: the code still on screen, if any.
    std::optional<Sighting> stop(int64_t nowMs);

  private:
    bool continuesCurrent(const DecodedCode& code) const;
    void note(int64_t nowMs, const DecodedCode& code);
    void countTimeUntil(int64_t nowMs);
    std::optional<Sighting> finish(int64_t nowMs);

    std::optional<Sighting> current_;
    int64_t lastPollMs_ = 0;
    bool lastPollDamaged_ = false;
};
