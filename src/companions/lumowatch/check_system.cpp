#include "lumowatch/check_system.h"

#include "common/com_ptr.h"
#include "common/names.h"
#include "common/system_library.h"
#include "common/utf8.h"
#include "client/controller_client.h"
#include "lumowatch/check_verdict.h"

#include <windows.h>

#include <dxgi1_6.h>
#include <shellapi.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// A controller that does not answer within this long is said not to answer.
constexpr DWORD answerTimeoutMs = 5000;

std::optional<DisplayMode> primaryMode() {
    DEVMODEA mode{};
    mode.dmSize = sizeof(mode);
    if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode))
        return std::nullopt;
    return DisplayMode{mode.dmPelsWidth, mode.dmPelsHeight, mode.dmDisplayFrequency,
                       mode.dmBitsPerPel};
}

// The colour space of the output that shows the primary screen; DXGI 1.6 (later Windows 10)
// tells it; dxgi.dll is looked up at run time, as an older system lacks it or its newer parts.
std::optional<uint32_t> primaryColourSpace() {
    const SystemLibrary dxgi("dxgi.dll");
    using CreateFactory = HRESULT(WINAPI*)(REFIID, void**);
    const auto createFactory = dxgi.function<CreateFactory>("CreateDXGIFactory1");
    ComPtr<IDXGIFactory1> factory;
    if (!createFactory || FAILED(createFactory(__uuidof(IDXGIFactory1), factory.putVoid())))
        return std::nullopt;
    const HMONITOR primary = MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY);
    ComPtr<IDXGIAdapter1> adapter;
    for (UINT a = 0; factory->EnumAdapters1(a, adapter.put()) == S_OK; ++a) {
        ComPtr<IDXGIOutput> output;
        for (UINT o = 0; adapter->EnumOutputs(o, output.put()) == S_OK; ++o) {
            DXGI_OUTPUT_DESC desc{};
            if (FAILED(output->GetDesc(&desc)) || desc.Monitor != primary)
                continue;
            ComPtr<IDXGIOutput6> output6;
            DXGI_OUTPUT_DESC1 desc1{};
            if (FAILED(output->QueryInterface(__uuidof(IDXGIOutput6), output6.putVoid())) ||
                FAILED(output6->GetDesc1(&desc1)))
                return std::nullopt;
            return static_cast<uint32_t>(desc1.ColorSpace);
        }
    }
    return std::nullopt;
}

// The display path's own answers. The calls are looked up at run time; the Windows 11 24H2 query
// (DISPLAYCONFIG_DEVICE_INFO_GET_ADVANCED_COLOR_INFO_2 and its answer) is declared here to
// Microsoft's layout, as mingw's headers lack it.
constexpr UINT32 deviceInfoGetAdvancedColorInfo2 = 15;
struct AdvancedColorInfo2 {
    DISPLAYCONFIG_DEVICE_INFO_HEADER header;
    UINT32 flags; // advancedColorSupported, advancedColorActive, ... as bits
    UINT32 colorEncoding;
    UINT32 bitsPerColorChannel;
    UINT32 activeColorMode; // DISPLAYCONFIG_ADVANCED_COLOR_MODE
};
static_assert(sizeof(AdvancedColorInfo2) == sizeof(DISPLAYCONFIG_DEVICE_INFO_HEADER) + 16);
// A configuration that changes between asking its size and reading it is read again.
constexpr int displayConfigAttempts = 3;

using GetBufferSizes = LONG(WINAPI*)(UINT32, UINT32*, UINT32*);
using QueryConfig = LONG(WINAPI*)(UINT32, UINT32*, DISPLAYCONFIG_PATH_INFO*, UINT32*,
                                  DISPLAYCONFIG_MODE_INFO*, DISPLAYCONFIG_TOPOLOGY_ID*);
using GetDeviceInfo = LONG(WINAPI*)(DISPLAYCONFIG_DEVICE_INFO_HEADER*);

template <typename Function> Function user32Function(const char* name) {
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 ? reinterpret_cast<Function>(
                        reinterpret_cast<void (*)()>(GetProcAddress(user32, name)))
                  : nullptr;
}

std::vector<DISPLAYCONFIG_PATH_INFO> activeDisplayPaths() {
    const auto bufferSizes = user32Function<GetBufferSizes>("GetDisplayConfigBufferSizes");
    const auto query = user32Function<QueryConfig>("QueryDisplayConfig");
    if (!bufferSizes || !query)
        return {};
    for (int attempt = 0; attempt < displayConfigAttempts; ++attempt) {
        UINT32 pathCount = 0;
        UINT32 modeCount = 0;
        if (bufferSizes(QDC_ONLY_ACTIVE_PATHS, &pathCount, &modeCount) != ERROR_SUCCESS)
            return {};
        std::vector<DISPLAYCONFIG_PATH_INFO> paths(pathCount);
        std::vector<DISPLAYCONFIG_MODE_INFO> modes(modeCount);
        const LONG result = query(QDC_ONLY_ACTIVE_PATHS, &pathCount, paths.data(), &modeCount,
                                  modes.data(), nullptr);
        if (result == ERROR_SUCCESS) {
            paths.resize(pathCount);
            return paths;
        }
        if (result != ERROR_INSUFFICIENT_BUFFER)
            return {};
    }
    return {};
}

template <typename Request>
bool askDevice(GetDeviceInfo get, Request& request, UINT32 type, LUID adapter, UINT32 id) {
    request.header.type = static_cast<DISPLAYCONFIG_DEVICE_INFO_TYPE>(type);
    request.header.size = sizeof(request);
    request.header.adapterId = adapter;
    request.header.id = id;
    return get(&request.header) == ERROR_SUCCESS;
}

// How many displays there are, the primary one's names and what its display path says of colour;
// of a duplicated primary, the first path that shows it, the others counted.
void askPrimaryDisplay(CheckFacts& facts) {
    facts.displays = static_cast<uint32_t>(GetSystemMetrics(SM_CMONITORS));
    MONITORINFOEXW monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor))
        return;
    facts.primaryDevice = narrow(monitor.szDevice);
    const auto get = user32Function<GetDeviceInfo>("DisplayConfigGetDeviceInfo");
    if (!get)
        return;
    bool first = true;
    for (const DISPLAYCONFIG_PATH_INFO& path : activeDisplayPaths()) {
        DISPLAYCONFIG_SOURCE_DEVICE_NAME source{};
        if (!askDevice(get, source, DISPLAYCONFIG_DEVICE_INFO_GET_SOURCE_NAME,
                       path.sourceInfo.adapterId, path.sourceInfo.id) ||
            _wcsicmp(source.viewGdiDeviceName, monitor.szDevice) != 0)
            continue;
        if (!first) {
            ++facts.duplicates;
            continue;
        }
        first = false;
        const LUID adapter = path.targetInfo.adapterId;
        const UINT32 target = path.targetInfo.id;
        DISPLAYCONFIG_TARGET_DEVICE_NAME name{};
        if (askDevice(get, name, DISPLAYCONFIG_DEVICE_INFO_GET_TARGET_NAME, adapter, target) &&
            name.monitorFriendlyDeviceName[0])
            facts.primaryMonitor = narrow(name.monitorFriendlyDeviceName);
        DISPLAYCONFIG_GET_ADVANCED_COLOR_INFO colour{};
        if (askDevice(get, colour, DISPLAYCONFIG_DEVICE_INFO_GET_ADVANCED_COLOR_INFO, adapter,
                      target))
            facts.advancedColour = AdvancedColour{
                colour.advancedColorSupported != 0, colour.advancedColorEnabled != 0,
                colour.wideColorEnforced != 0, static_cast<uint32_t>(colour.colorEncoding),
                colour.bitsPerColorChannel};
        AdvancedColorInfo2 colour2{};
        if (askDevice(get, colour2, deviceInfoGetAdvancedColorInfo2, adapter, target))
            facts.colourMode = colour2.activeColorMode;
    }
}

std::optional<RampShape> primaryGammaRamp() {
    HDC screen = GetDC(nullptr);
    std::array<WORD, 3 * 256> ramp{};
    const bool read = screen && GetDeviceGammaRamp(screen, ramp.data());
    if (screen)
        ReleaseDC(nullptr, screen);
    if (!read)
        return std::nullopt;
    return rampShape(ramp);
}

std::optional<int> notificationState() {
    QUERY_USER_NOTIFICATION_STATE state{};
    if (FAILED(SHQueryUserNotificationState(&state)))
        return std::nullopt;
    return static_cast<int>(state);
}

DWORD WINAPI askController(void* answered) {
    const ComApartment apartment;
    *static_cast<bool*>(answered) = SUCCEEDED(reachController());
    return 0;
}

// In a thread of its own: a hung controller would hold the call for ever. The answer is read only
// once the thread has ended.
bool controllerAnswers() {
    static bool answered = false;
    HANDLE thread = CreateThread(nullptr, 0, askController, &answered, 0, nullptr);
    if (!thread)
        return false;
    const bool ended = WaitForSingleObject(thread, answerTimeoutMs) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return ended && answered;
}

CheckFacts gatherFacts() {
    CheckFacts facts;
    facts.mode = primaryMode();
    askPrimaryDisplay(facts);
    facts.colourSpace = primaryColourSpace();
    facts.gamma = primaryGammaRamp();
    facts.notificationState = notificationState();
    facts.controllerRunning = FindWindowA(controllerWindowClass, nullptr) != nullptr;
    {
        const ComApartment apartment;
        facts.serverRegistered = controllerClassRegistered();
    }
    // Only a running controller is asked: COM would start one that does not run.
    if (facts.controllerRunning && facts.serverRegistered)
        facts.serverAnswers = controllerAnswers();
    return facts;
}

} // namespace

int runCheck(bool json) {
    const CheckFacts facts = gatherFacts();
    if (json)
        std::printf("%s\n", checkJson(facts).c_str());
    else
        std::fputs(checkText(facts).c_str(), stdout);
    std::fflush(stdout);
    return checkExitCode(facts);
}
