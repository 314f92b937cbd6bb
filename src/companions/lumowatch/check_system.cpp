#include "lumowatch/check_system.h"

#include "common/com_ptr.h"
#include "common/names.h"
#include "client/controller_client.h"
#include "lumowatch/check_verdict.h"

#include <windows.h>

#include <dxgi1_6.h>
#include <shellapi.h>

#include <array>
#include <cstdio>
#include <string>

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

// The library from the system folder only, never one of the same name beside the program.
class SystemLibrary {
  public:
    explicit SystemLibrary(const char* name) {
        char folder[MAX_PATH];
        const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
        if (length && length < MAX_PATH)
            module_ = LoadLibraryA((std::string(folder) + "\\" + name).c_str());
    }
    ~SystemLibrary() {
        if (module_)
            FreeLibrary(module_);
    }
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    FARPROC function(const char* name) const {
        return module_ ? GetProcAddress(module_, name) : nullptr;
    }

  private:
    HMODULE module_ = nullptr;
};

// The colour space of the output that shows the primary screen; DXGI 1.6 (later Windows 10)
// tells it; dxgi.dll is looked up at run time, as an older system lacks it or its newer parts.
std::optional<uint32_t> primaryColourSpace() {
    const SystemLibrary dxgi("dxgi.dll");
    using CreateFactory = HRESULT(WINAPI*)(REFIID, void**);
    const auto createFactory = reinterpret_cast<CreateFactory>(
        reinterpret_cast<void (*)()>(dxgi.function("CreateDXGIFactory1")));
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
