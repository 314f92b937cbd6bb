// Page flip through DXGI's flip model (Windows 8 and later): a Direct3D 11 device, a swap chain of
// two buffers made by the factory behind the device, each eye's frame drawn with GDI into a
// texture of its own and copied to the back buffer, presented with vertical sync; the statistics
// from IDXGISwapChain::GetFrameStatistics. d3d11.dll is looked up at run time and IDXGIFactory2
// asked for, so that the program still starts where either is missing (Windows 7).

#include "common/com_ptr.h"
#include "common/system_library.h"
#include "lumoeyes/page_flip.h"

#include <d3d11.h>
#include <dxgi1_2.h>

namespace {

// GDI draws into these: 32 bits in DXGI's order, as GetDC asks.
constexpr DXGI_FORMAT frameFormat = DXGI_FORMAT_B8G8R8A8_UNORM;
// A window that nobody sees takes no frames; a present then comes back at once.
constexpr DWORD occludedWaitMs = 15;

class DxgiFlipper : public PageFlipper {
  public:
    DxgiFlipper() { presenter_ = dxgiPresenter; }

    bool start(HWND window, SIZE screen, const TestViews& views,
               const std::wstring& lines) override;
    void redraw(const std::wstring& lines) override;
    void presentNext() override;
    std::string whyNoStatistics() const override;

  private:
    bool createSwapChain(HWND window);

    // The library first: it goes after everything that it made.
    SystemLibrary library_{"d3d11.dll"};
    ComPtr<ID3D11Device> device_;
    ComPtr<ID3D11DeviceContext> context_;
    ComPtr<IDXGISwapChain1> swapChain_;
    ComPtr<ID3D11Texture2D> backBuffer_;
    ComPtr<ID3D11Texture2D> frames_[2];
    ComPtr<IDXGISurface1> frameSurfaces_[2];
};

bool DxgiFlipper::start(HWND window, SIZE screen, const TestViews& views,
                        const std::wstring& lines) {
    views_ = &views;
    screen_ = screen;
    const auto createDevice = library_.function<PFN_D3D11_CREATE_DEVICE>("D3D11CreateDevice");
    if (!createDevice)
        return fail("Direct3D 11 is not installed", HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
    // BGRA: the frames are GDI's.
    HRESULT result =
        createDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, D3D11_CREATE_DEVICE_BGRA_SUPPORT,
                     nullptr, 0, D3D11_SDK_VERSION, device_.put(), nullptr, context_.put());
    if (FAILED(result))
        return fail("Direct3D 11 cannot start: no 3D device", result);
    if (!createSwapChain(window))
        return false;
    result = swapChain_->GetBuffer(0, __uuidof(ID3D11Texture2D), backBuffer_.putVoid());
    if (FAILED(result))
        return fail("the swap chain gives no back buffer", result);

    D3D11_TEXTURE2D_DESC frame{};
    frame.Width = static_cast<UINT>(screen.cx);
    frame.Height = static_cast<UINT>(screen.cy);
    frame.MipLevels = 1;
    frame.ArraySize = 1;
    frame.Format = frameFormat;
    frame.SampleDesc.Count = 1;
    frame.Usage = D3D11_USAGE_DEFAULT;
    // GDI may draw only into a texture that could be rendered to.
    frame.BindFlags = D3D11_BIND_RENDER_TARGET;
    frame.MiscFlags = D3D11_RESOURCE_MISC_GDI_COMPATIBLE;
    for (int eye = 0; eye < 2; ++eye) {
        result = device_->CreateTexture2D(&frame, nullptr, frames_[eye].put());
        if (SUCCEEDED(result))
            result = frames_[eye]->QueryInterface(__uuidof(IDXGISurface1),
                                                  frameSurfaces_[eye].putVoid());
        if (FAILED(result))
            return fail("Direct3D 11 cannot hold the frames", result);
    }
    DEVMODEW mode{};
    mode.dmSize = sizeof(mode);
    // 0 and 1 stand for the hardware's default rate, which the system does not name.
    if (EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode) && mode.dmDisplayFrequency > 1)
        refreshHz_ = mode.dmDisplayFrequency;
    redraw(lines);
    return true;
}

bool DxgiFlipper::createSwapChain(HWND window) {
    // The factory that made the device's adapter makes its swap chains.
    ComPtr<IDXGIDevice1> dxgiDevice;
    HRESULT result = device_->QueryInterface(__uuidof(IDXGIDevice1), dxgiDevice.putVoid());
    ComPtr<IDXGIAdapter> adapter;
    if (SUCCEEDED(result))
        result = dxgiDevice->GetAdapter(adapter.put());
    if (FAILED(result))
        return fail("the Direct3D 11 device has no DXGI adapter", result);
    dxgiDevice->SetMaximumFrameLatency(frameLatency);
    ComPtr<IDXGIFactory2> factory;
    result = adapter->GetParent(__uuidof(IDXGIFactory2), factory.putVoid());
    if (FAILED(result))
        return fail("DXGI 1.2 is missing (Windows 8 and later have it)", result);

    DXGI_SWAP_CHAIN_DESC1 chain{};
    chain.Width = static_cast<UINT>(screen_.cx);
    chain.Height = static_cast<UINT>(screen_.cy);
    chain.Format = frameFormat;
    chain.SampleDesc.Count = 1;
    chain.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    chain.BufferCount = flipBuffers;
    chain.Scaling = DXGI_SCALING_STRETCH;
    chain.AlphaMode = DXGI_ALPHA_MODE_IGNORE;
    // Discard where the system has it (Windows 10), else sequential (Windows 8).
    for (const DXGI_SWAP_EFFECT effect :
         {DXGI_SWAP_EFFECT_FLIP_DISCARD, DXGI_SWAP_EFFECT_FLIP_SEQUENTIAL}) {
        chain.SwapEffect = effect;
        result = factory->CreateSwapChainForHwnd(device_.get(), window, &chain, nullptr, nullptr,
                                                 swapChain_.put());
        if (SUCCEEDED(result))
            break;
    }
    if (FAILED(result))
        return fail("DXGI makes no flip-model swap chain for the window", result);
    // Alt+Enter leaves the picture as it is: windowed, under the controller's code window.
    factory->MakeWindowAssociation(window, DXGI_MWA_NO_ALT_ENTER);
    return true;
}

void DxgiFlipper::redraw(const std::wstring& lines) {
    const RECT whole{0, 0, screen_.cx, screen_.cy};
    for (int eye = 0; eye < 2; ++eye) {
        HDC dc = nullptr;
        // The whole frame is drawn again: what it held before goes.
        if (FAILED(frameSurfaces_[eye]->GetDC(TRUE, &dc)))
            continue;
        views_->draw(dc, whole, eye == 0 ? Eye::Left : Eye::Right, lines);
        frameSurfaces_[eye]->ReleaseDC(nullptr);
    }
}

void DxgiFlipper::presentNext() {
    // In the flip model buffer 0 is always the one to draw: the copy goes to the next frame.
    context_->CopyResource(backBuffer_.get(), frames_[nextEye_].get());
    if (swapChain_->Present(1, 0) == DXGI_STATUS_OCCLUDED)
        Sleep(occludedWaitMs);
    ++presentCalls_;
    nextEye_ = 1 - nextEye_;
    DXGI_FRAME_STATISTICS statistics{};
    const HRESULT result = swapChain_->GetFrameStatistics(&statistics);
    addReading(result, {statistics.PresentCount, statistics.PresentRefreshCount});
}

std::string DxgiFlipper::whyNoStatistics() const {
    return statisticsFailure("IDXGISwapChain::GetFrameStatistics");
}

} // namespace

std::unique_ptr<PageFlipper> dxgiFlipper() {
    return std::make_unique<DxgiFlipper>();
}
