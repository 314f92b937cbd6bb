#include "lumowatch/check_verdict.h"

#include "client/json_string.h"

namespace {

// The DXGI_COLOR_SPACE_TYPE of an output in HDR.
constexpr uint32_t colourSpaceHdr = 12; // DXGI_COLOR_SPACE_RGB_FULL_G2084_NONE_P2020

// DISPLAYCONFIG_COLOR_ENCODING.
constexpr uint32_t encodingRgb = 0;
constexpr uint32_t encodingYcbcr444 = 1;
constexpr uint32_t encodingYcbcr422 = 2;
constexpr uint32_t encodingYcbcr420 = 3;
constexpr uint32_t encodingIntensity = 4;

// DISPLAYCONFIG_ADVANCED_COLOR_MODE.
constexpr uint32_t colourModeSdr = 0;
constexpr uint32_t colourModeWcg = 1;
constexpr uint32_t colourModeHdr = 2;

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

// How Windows treats the desktop's colours on the primary display. Advanced colour on without
// wide colour enforced is HDR, or on Windows 11 automatic colour management: only the colour mode
// of Windows 11 24H2 tells the two apart.
enum class ColourHandling { Standard, WideColour, Hdr, AdvancedOn };

std::optional<ColourHandling> colourHandling(const CheckFacts& facts) {
    if (facts.colourMode == colourModeSdr)
        return ColourHandling::Standard;
    if (facts.colourMode == colourModeWcg)
        return ColourHandling::WideColour;
    if (facts.colourMode == colourModeHdr)
        return ColourHandling::Hdr;
    if (const std::optional<AdvancedColour>& path = facts.advancedColour) {
        if (!path->enabled)
            return ColourHandling::Standard;
        return path->wideColourEnforced ? ColourHandling::WideColour : ColourHandling::AdvancedOn;
    }
    if (facts.colourSpace == colourSpaceHdr)
        return ColourHandling::Hdr;
    return std::nullopt;
}

std::string colourText(const CheckFacts& facts) {
    const std::optional<ColourHandling> handling = colourHandling(facts);
    if (!handling && facts.colourSpace)
        return "not reported (DXGI reports no HDR; it cannot see wide colour)";
    if (!handling)
        return "not reported";
    const bool fromDxgi = !facts.colourMode && !facts.advancedColour;
    switch (*handling) {
    case ColourHandling::Standard:
        return facts.advancedColour && !facts.advancedColour->supported ? "off, not supported"
                                                                        : "off";
    case ColourHandling::WideColour:
        return "on, wide colour (automatic colour management)";
    case ColourHandling::Hdr:
        return fromDxgi ? "on, HDR (DXGI colour space 12)" : "on, HDR";
    case ColourHandling::AdvancedOn:
        break;
    }
    return "on (HDR, or automatic colour management)";
}

const char* colourName(const std::optional<ColourHandling>& handling) {
    if (!handling)
        return nullptr;
    switch (*handling) {
    case ColourHandling::Standard:
        return "off";
    case ColourHandling::WideColour:
        return "wcg";
    case ColourHandling::Hdr:
        return "hdr";
    case ColourHandling::AdvancedOn:
        break;
    }
    return "on";
}

// Each encoding as the report says it and as its JSON names it.
struct NamedEncoding {
    uint32_t encoding;
    const char* text;
    const char* name;
};
constexpr NamedEncoding encodings[] = {
    {encodingRgb, "RGB", "rgb"},
    {encodingYcbcr444, "YCbCr 4:4:4", "ycbcr444"},
    {encodingYcbcr422, "YCbCr 4:2:2", "ycbcr422"},
    {encodingYcbcr420, "YCbCr 4:2:0", "ycbcr420"},
    {encodingIntensity, "intensity only", "intensity"},
};

std::string encodingName(uint32_t encoding, bool forJson) {
    for (const NamedEncoding& named : encodings)
        if (named.encoding == encoding)
            return forJson ? named.name : named.text;
    return (forJson ? "" : "encoding ") + std::to_string(encoding);
}

std::string pathText(const std::optional<AdvancedColour>& path) {
    if (!path)
        return "not reported";
    return encodingName(path->encoding, false) + ", " + std::to_string(path->bitsPerChannel) +
           " bits per channel";
}

std::string primaryText(const CheckFacts& facts) {
    std::string name;
    if (facts.primaryMonitor && !facts.primaryMonitor->empty())
        name =
            *facts.primaryMonitor + (facts.primaryDevice ? " (" + *facts.primaryDevice + ")" : "");
    else if (facts.primaryDevice)
        name = *facts.primaryDevice;
    return (name.empty() ? "" : name + ", ") + modeText(facts.mode);
}

std::string displaysText(const std::optional<uint32_t>& displays) {
    if (!displays)
        return "not reported";
    if (*displays < 2)
        return std::to_string(*displays);
    return std::to_string(*displays) +
           "; a code shows on the primary one only, so the box must sit in its cable (Windows' "
           "display settings make another display the main one)";
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

std::string jsonOptionalString(const std::optional<std::string>& value) {
    return value ? jsonString(*value) : "null";
}

std::string jsonList(const std::vector<std::string>& lines) {
    std::string list;
    for (const std::string& line : lines) {
        if (!list.empty())
            list += ",";
        list += jsonString(line);
    }
    return "[" + list + "]";
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
    switch (colourHandling(facts).value_or(ColourHandling::Standard)) {
    case ColourHandling::Standard:
        break;
    case ColourHandling::Hdr:
        changes.push_back("HDR is on for the primary display and Windows converts the code's "
                          "colours: switch \"Use HDR\" off for this display in the display "
                          "settings.");
        break;
    case ColourHandling::WideColour:
        changes.push_back("Automatic colour management (wide colour) is on for the primary "
                          "display and Windows converts the code's colours: switch \"Automatically "
                          "manage color for apps\" off for this display in the display settings.");
        break;
    case ColourHandling::AdvancedOn:
        changes.push_back("Advanced colour is on for the primary display and Windows converts the "
                          "code's colours: switch \"Use HDR\" and \"Automatically manage color for "
                          "apps\" off for this display in the display settings.");
        break;
    }
    const std::optional<AdvancedColour>& path = facts.advancedColour;
    if (path && path->encoding == encodingYcbcr420)
        changes.push_back("The cable carries YCbCr 4:2:0, which shares colour between neighbouring "
                          "rows, and each row of a code is one pixel high: choose RGB or YCbCr "
                          "4:4:4 output in the graphics driver's settings (a lower refresh rate or "
                          "resolution may be needed for it).");
    if (path && path->encoding == encodingIntensity)
        changes.push_back("The cable carries intensity only, without colour: choose RGB output in "
                          "the graphics driver's settings.");
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

std::vector<std::string> notSeen(const CheckFacts& facts) {
    std::vector<std::string> lines;
    if (!colourHandling(facts))
        lines.push_back("whether advanced colour (HDR or wide colour) converts the code's colours");
    if (!facts.advancedColour)
        lines.push_back("the colour encoding on the cable (YCbCr 4:2:0 keeps a code from the box)");
    if (facts.duplicates)
        lines.push_back("the colour path of the " + std::to_string(facts.duplicates) +
                        " further output(s) that duplicate the primary display: the lines above "
                        "are of its first");
    if (!facts.gamma)
        lines.push_back("the gamma ramp (a calibration may change the code's colours)");
    if (!facts.notificationState)
        lines.push_back("whether a full-screen Direct3D program runs");
    return lines;
}

std::string checkText(const CheckFacts& facts) {
    std::string text = "Primary display: " + primaryText(facts) + "\n";
    text += "Displays: " + displaysText(facts.displays) + "\n";
    text += "Colour path: " + pathText(facts.advancedColour) + "\n";
    text += "Advanced colour: " + colourText(facts) + "\n";
    text += std::string("Gamma ramp: ") + rampText(facts.gamma) + "\n";
    text += "Full-screen Direct3D program: " + fullScreenText(facts.notificationState) + "\n";
    text +=
        std::string("Controller: ") + (facts.controllerRunning ? "running" : "not running") + "\n";
    text += "Automation server: " + serverText(facts) + "\n";
    const std::vector<std::string> changes = changesNeeded(facts);
    const std::vector<std::string> unseen = notSeen(facts);
    for (const std::string& line : unseen)
        text += "Not seen: " + line + "\n";
    if (changes.empty())
        return text + (unseen.empty() ? "Nothing stands in the way of a code.\n"
                                      : "Nothing that was seen stands in the way of a code.\n");
    for (const std::string& change : changes)
        text += "Change: " + change + "\n";
    return text;
}

std::string checkJson(const CheckFacts& facts) {
    const std::optional<DisplayMode>& mode = facts.mode;
    const std::optional<AdvancedColour>& path = facts.advancedColour;
    const std::optional<ColourHandling> handling = colourHandling(facts);
    const char* handlingName = colourName(handling);
    std::string json = "{\"width\":";
    json += mode ? std::to_string(mode->width) : "null";
    json += ",\"height\":";
    json += mode ? std::to_string(mode->height) : "null";
    json += ",\"refreshHz\":";
    json += mode ? std::to_string(mode->refreshHz) : "null";
    json += ",\"bitsPerPixel\":";
    json += mode ? std::to_string(mode->bitsPerPixel) : "null";
    json += ",\"primaryDevice\":" + jsonOptionalString(facts.primaryDevice);
    json += ",\"primaryMonitor\":" + jsonOptionalString(facts.primaryMonitor);
    json += ",\"displays\":" + jsonOptional(facts.displays);
    json += ",\"duplicates\":" + std::to_string(facts.duplicates);
    json += ",\"colourEncoding\":";
    json += path ? jsonString(encodingName(path->encoding, true)) : "null";
    json += ",\"bitsPerChannel\":";
    json += path ? std::to_string(path->bitsPerChannel) : "null";
    json += ",\"advancedColourSupported\":";
    json += path ? jsonBool(path->supported) : "null";
    json += ",\"advancedColour\":";
    json += handlingName ? jsonString(handlingName) : "null";
    json += ",\"colourSpace\":" + jsonOptional(facts.colourSpace);
    json += ",\"hdr\":";
    json += handling && handling != ColourHandling::AdvancedOn
                ? jsonBool(handling == ColourHandling::Hdr)
                : "null";
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
    json += ",\"notSeen\":" + jsonList(notSeen(facts));
    json += ",\"changes\":" + jsonList(changesNeeded(facts)) + "}";
    return json;
}

int checkExitCode(const CheckFacts& facts) {
    return changesNeeded(facts).empty() ? 0 : 1;
}
