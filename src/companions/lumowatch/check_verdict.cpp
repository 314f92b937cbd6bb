#include "lumowatch/check_verdict.h"

#include "client/json_string.h"

namespace {

// The DXGI_COLOR_SPACE_TYPE values of an output: standard dynamic range, and advanced colour (HDR).
constexpr uint32_t colourSpaceSdr = 0;  // DXGI_COLOR_SPACE_RGB_FULL_G22_NONE_P709
constexpr uint32_t colourSpaceHdr = 12; // DXGI_COLOR_SPACE_RGB_FULL_G2084_NONE_P2020

constexpr int notificationNotPresent = 1; // QUNS_NOT_PRESENT
constexpr int notificationDirect3D = 3;   // QUNS_RUNNING_D3D_FULL_SCREEN
constexpr size_t rampEntries = 256;
constexpr WORD rampStep = 0x101;  // the identity maps entry i to i * 257
constexpr WORD rampFull = 0xFF00; // from here on a channel leaves the adapter as 255

std::string modeText(const std::optional<DisplayMode>& mode) {
    if (!mode)
        return "not reported";
    const std::string rate =
        mode->refreshHz > 1 ? std::to_string(mode->refreshHz) + " Hz" : "default refresh rate";
    return std::to_string(mode->width) + "x" + std::to_string(mode->height) + ", " + rate + ", " +
           std::to_string(mode->bitsPerPixel) + "-bit colour";
}

std::string colourText(const std::optional<uint32_t>& space) {
    if (!space)
        return "not reported";
    const std::string number = " (colour space " + std::to_string(*space) + ")";
    if (*space == colourSpaceSdr)
        return "off" + number;
    if (*space == colourSpaceHdr)
        return "on" + number;
    return "off, other output colour" + number;
}

const char* rampText(const std::optional<RampShape>& shape) {
    if (!shape)
        return "not reported";
    switch (*shape) {
    case RampShape::Identity:
        return "identity";
    case RampShape::EndsKept:
        return "changed between black and full colour; the code's colours pass";
    case RampShape::EndsChanged:
        break;
    }
    return "changes black or full colour";
}

const char* rampName(RampShape shape) {
    switch (shape) {
    case RampShape::Identity:
        return "identity";
    case RampShape::EndsKept:
        return "ends-kept";
    case RampShape::EndsChanged:
        break;
    }
    return "ends-changed";
}

std::string fullScreenText(const std::optional<int>& state) {
    if (!state)
        return "not reported";
    if (*state == notificationDirect3D)
        return "one runs now";
    if (*state == notificationNotPresent)
        return "none (screen locked, screen saver or another user logged on)";
    return "none";
}

std::string serverText(const CheckFacts& facts) {
    if (!facts.serverRegistered)
        return "not registered";
    if (!facts.serverAnswers)
        return "registered";
    return *facts.serverAnswers ? "registered, answers" : "registered, does not answer";
}

template <typename T> std::string jsonOptional(const std::optional<T>& value) {
    return value ? std::to_string(*value) : "null";
}

std::string jsonOptionalBool(const std::optional<bool>& value) {
    return value ? jsonBool(*value) : "null";
}

} // namespace

RampShape rampShape(GammaRamp ramp) {
    bool identity = true;
    bool endsKept = true;
    for (size_t channel = 0; channel < 3; ++channel) {
        const std::span<const WORD> entries = ramp.subspan(channel * rampEntries, rampEntries);
        for (size_t i = 0; i < rampEntries; ++i)
            // Drivers hand back i << 8 as often as i * 257: the same 8 bits leave the adapter.
            identity = identity && (entries[i] >> 8) == i;
        endsKept = endsKept && entries[0] < rampStep && entries[rampEntries - 1] >= rampFull;
    }
    return identity ? RampShape::Identity : endsKept ? RampShape::EndsKept : RampShape::EndsChanged;
}

std::vector<std::string> changesNeeded(const CheckFacts& facts) {
    std::vector<std::string> changes;
    if (facts.colourSpace == colourSpaceHdr)
        changes.push_back("Advanced colour (HDR) is on and Windows converts the code's colours: "
                          "switch \"Use HDR\" off for this display in the display settings.");
    else if (facts.colourSpace && *facts.colourSpace != colourSpaceSdr)
        changes.push_back("The display's output reports a colour space that is neither standard "
                          "nor HDR: set full-range RGB (4:4:4) in the graphics driver's settings.");
    if (facts.gamma == RampShape::EndsChanged)
        changes.push_back("The gamma ramp changes the code's colours (a calibration, night light "
                          "or a colour tool): switch it off or reset the calibration.");
    if (facts.notificationState == notificationDirect3D)
        changes.push_back("A full-screen Direct3D program runs: switch before it goes full "
                          "screen (lumoauto does) or play borderless or windowed.");
    if (facts.notificationState == notificationNotPresent)
        changes.push_back("The desktop is not shown (locked, screen saver or another user logged "
                          "on): codes show once the user's desktop is back.");
    if (!facts.controllerRunning)
        changes.push_back("The controller does not run: start the Lumo Controller "
                          "(ZEZIZER.exe); its hot-keys and menus act only while it runs.");
    if (!facts.serverRegistered)
        changes.push_back(
            "The controller's automation class is not registered, so programs "
            "cannot send codes: run ZEZIZER.exe /RegServerPerUser (or /RegServer as an "
            "administrator) or install it again.");
    else if (facts.serverAnswers == false)
        changes.push_back("The controller does not answer programs: end it from its menu and "
                          "start it again.");
    return changes;
}

std::string checkText(const CheckFacts& facts) {
    std::string text =
        "Primary display: " + modeText(facts.mode) +
        "\nAdvanced colour (HDR): " + colourText(facts.colourSpace) +
        "\nGamma ramp: " + rampText(facts.gamma) +
        "\nFull-screen Direct3D program: " + fullScreenText(facts.notificationState) +
        "\nController: " + (facts.controllerRunning ? "running" : "not running") +
        "\nAutomation server: " + serverText(facts) + "\n";
    const std::vector<std::string> changes = changesNeeded(facts);
    if (changes.empty())
        return text + "Nothing stands in the way of a code.\n";
    for (const std::string& change : changes)
        text += "Change: " + change + "\n";
    return text;
}

std::string checkJson(const CheckFacts& facts) {
    const std::optional<DisplayMode>& mode = facts.mode;
    std::string changes;
    for (const std::string& change : changesNeeded(facts)) {
        if (!changes.empty())
            changes += ",";
        changes += jsonString(change);
    }
    std::string json = "{\"width\":";
    json += mode ? std::to_string(mode->width) : "null";
    json += ",\"height\":";
    json += mode ? std::to_string(mode->height) : "null";
    json += ",\"refreshHz\":";
    json += mode ? std::to_string(mode->refreshHz) : "null";
    json += ",\"bitsPerPixel\":";
    json += mode ? std::to_string(mode->bitsPerPixel) : "null";
    json += ",\"colourSpace\":" + jsonOptional(facts.colourSpace);
    json += ",\"hdr\":";
    json += facts.colourSpace ? jsonBool(*facts.colourSpace == colourSpaceHdr) : "null";
    json += ",\"gammaRamp\":";
    json += facts.gamma ? jsonString(rampName(*facts.gamma)) : "null";
    json += ",\"notificationState\":" + jsonOptional(facts.notificationState);
    json += ",\"fullScreenDirect3D\":";
    json += facts.notificationState ? jsonBool(*facts.notificationState == notificationDirect3D)
                                    : "null";
    json += ",\"controllerRunning\":";
    json += jsonBool(facts.controllerRunning);
    json += ",\"serverRegistered\":";
    json += jsonBool(facts.serverRegistered);
    json += ",\"serverAnswers\":" + jsonOptionalBool(facts.serverAnswers);
    json += ",\"changes\":[" + changes + "]}";
    return json;
}

int checkExitCode(const CheckFacts& facts) {
    return changesNeeded(facts).empty() ? 0 : 1;
}
