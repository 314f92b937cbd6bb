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

// DISPLAYCONFIG_GET_ADVANCED_COLOR_INFO of the display path that shows the primary screen.
struct AdvancedColour {
    bool supported;
    bool enabled;
    bool wideColourEnforced;
    // A DISPLAYCONFIG_COLOR_ENCODING: what the cable carries.
    uint32_t encoding;
    uint32_t bitsPerChannel;
};

// What the system answered; nothing where it gives no answer.
struct CheckFacts {
    std::optional<DisplayMode> mode;
    // The primary display's device name (\\.\DISPLAY1) and its monitor's name.
    std::optional<std::string> primaryDevice;
    std::optional<std::string> primaryMonitor;
    // Displays on the desktop; a duplicated one counts once.
    std::optional<uint32_t> displays;
    // Further outputs that duplicate the primary display; the colour facts are of its first.
    uint32_t duplicates = 0;
    // From the display path itself (Windows 10 1703 on).
    std::optional<AdvancedColour> advancedColour;
    // Its DISPLAYCONFIG_ADVANCED_COLOR_MODE (Windows 11 24H2 on): standard, wide colour or HDR.
    std::optional<uint32_t> colourMode;
    // The DXGI_COLOR_SPACE_TYPE of the primary screen's output (DXGI 1.6). DXGI sees no wide
    // colour on a standard display and tells defaults for a duplicated one: only its HDR is taken.
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

// One line for each unanswered question whose answer could stand in the way.
std::vector<std::string> notSeen(const CheckFacts& facts);

// The report for a person, every line ended, and for a script, one JSON object on one line.
std::string checkText(const CheckFacts& facts);
std::string checkJson(const CheckFacts& facts);

// 0 when nothing stands in the way, 1 when something does.
int checkExitCode(const CheckFacts& facts);
