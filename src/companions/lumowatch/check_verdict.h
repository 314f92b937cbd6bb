#pragma once
// lumowatch --check: what the system says of the path from the controller to the glasses' box, and
// what of it would keep a code from reaching the box. Pure: the system's answers come in as facts.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct DisplayMode {
    uint32_t width;
    uint32_t height;
    // 0 and 1 stand for the hardware's default rate.
    uint32_t refreshHz;
    uint32_t bitsPerPixel;
};

// How a gamma ramp treats the code's colours, whose channels are all either 0 or 255.
enum class RampShape { Identity, EndsKept, EndsChanged };

// Red, green and blue, 256 entries each, as GetDeviceGammaRamp fills them.
using GammaRamp = std::span<const WORD, 3 * 256>;
RampShape rampShape(GammaRamp ramp);

// What the system answered; nothing where it gives no answer.
struct CheckFacts {
    std::optional<DisplayMode> mode;
    // The DXGI_COLOR_SPACE_TYPE of the primary screen's output (DXGI 1.6).
    std::optional<uint32_t> colourSpace;
    std::optional<RampShape> gamma;
    // SHQueryUserNotificationState's QUERY_USER_NOTIFICATION_STATE.
    std::optional<int> notificationState;
    bool controllerRunning = false;
    bool serverRegistered = false;
    // Asked only of a running controller.
    std::optional<bool> serverAnswers;
};

// One line for each finding that would keep a code from reaching the box, saying what to change.
std::vector<std::string> changesNeeded(const CheckFacts& facts);

// The report for a person, every line ended, and for a script, one JSON object on one line.
std::string checkText(const CheckFacts& facts);
std::string checkJson(const CheckFacts& facts);

// 0 when nothing stands in the way, 1 when something does.
int checkExitCode(const CheckFacts& facts);
