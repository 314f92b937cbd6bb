// Page flip through Direct3D 9Ex (its flip model where the system has it, Windows 7 on), or
// through Direct3D 9 where 9Ex is missing: the frames drawn with GDI into offscreen surfaces,
// copied to the back buffer, presented with vertical sync; the statistics from
// IDirect3DSwapChain9Ex::GetPresentStats.

#include "common/com_ptr.h"
#include "common/system_library.h"
#include "lumoeyes/page_flip.h"

#include <d3d9.h>

namespace {

using Direct3DCreate9Function = IDirect3D9*(WINAPI*)(UINT);
using Direct3DCreate9ExFunction = HRESULT(WINAPI*)(UINT, IDirect3D9Ex**);

class Direct3D9Flipper : public PageFlipper {
  public:
    Direct3D9Flipper() { presenter_ = direct3d9ExPresenter; }

    bool start(HWND window, SIZE screen, const TestViews& views,
               const std::wstring& lines) override;
    void redraw(const std::wstring& lines) override;
    void presentNext() override;
    std::string whyNoStatistics() const override;

  private:
    // The library first: it goes after everything that it made.
    SystemLibrary library_{"d3d9.dll"};
    ComPtr<IDirect3D9> direct3d_;
    ComPtr<IDirect3DDevice9> device_;
    ComPtr<IDirect3DDevice9Ex> deviceEx_;
    ComPtr<IDirect3DSwapChain9Ex> swapChainEx_;
    ComPtr<IDirect3DSurface9> frames_[2];
};

bool Direct3D9Flipper::start(HWND window, SIZE screen, const TestViews& views,
                             const std::wstring& lines) {
    views_ = &views;
    screen_ = screen;
    if (!library_.loaded())
        return fail("Direct3D 9 is not installed", HRESULT_FROM_WIN32(GetLastError()));
    // Direct3D 9Ex, and with it the frame statistics and the flip model, came with Vista and 7.
    const auto createEx = library_.function<Direct3DCreate9ExFunction>("Direct3DCreate9Ex");
    const auto create = library_.function<Direct3DCreate9Function>("Direct3DCreate9");
    ComPtr<IDirect3D9Ex> direct3dEx;
    if (createEx && SUCCEEDED(createEx(D3D_SDK_VERSION, direct3dEx.put()))) {
        direct3d_ = ComPtr<IDirect3D9>(direct3dEx.get());
    } else if (create) {
        presenter_ = direct3d9Presenter;
        *direct3d_.put() = create(D3D_SDK_VERSION);
    }
    if (!direct3d_)
        return fail("Direct3D cannot start: no 3D device", E_FAIL);
    D3DDISPLAYMODE mode{};
    if (SUCCEEDED(direct3d_->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode)))
        refreshHz_ = mode.RefreshRate;

    D3DPRESENT_PARAMETERS parameters{};
    parameters.BackBufferWidth = static_cast<UINT>(screen.cx);
    parameters.BackBufferHeight = static_cast<UINT>(screen.cy);
    parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
    parameters.BackBufferCount = flipBuffers;
    parameters.hDeviceWindow = window;
    parameters.Windowed = TRUE;
    parameters.PresentationInterval = D3DPRESENT_INTERVAL_ONE;
    // Windowed, so that the controller's code window can open above the picture.
    const DWORD behaviour = D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE;
    HRESULT result = E_FAIL;
    if (direct3dEx) {
        // The flip model (Windows 7 and later), else the classic copy.
        for (const D3DSWAPEFFECT effect : {D3DSWAPEFFECT_FLIPEX, D3DSWAPEFFECT_DISCARD}) {
            parameters.SwapEffect = effect;
            D3DPRESENT_PARAMETERS asked = parameters;
            result = direct3dEx->CreateDeviceEx(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                                behaviour, &asked, nullptr, deviceEx_.put());
            if (SUCCEEDED(result))
                break;
        }
        if (SUCCEEDED(result)) {
            device_ = ComPtr<IDirect3DDevice9>(deviceEx_.get());
            deviceEx_->SetMaximumFrameLatency(frameLatency);
            ComPtr<IDirect3DSwapChain9> swapChain;
            if (SUCCEEDED(device_->GetSwapChain(0, swapChain.put())))
                swapChain->QueryInterface(__uuidof(IDirect3DSwapChain9Ex), swapChainEx_.putVoid());
        }
    } else {
        parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
        parameters.BackBufferCount = 1;
        result = direct3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, behaviour,
                                         &parameters, device_.put());
    }
    if (FAILED(result))
        return fail("Direct3D cannot start: no 3D device", result);
    for (ComPtr<IDirect3DSurface9>& frame : frames_) {
        result = device_->CreateOffscreenPlainSurface(static_cast<UINT>(screen.cx),
                                                      static_cast<UINT>(screen.cy), D3DFMT_X8R8G8B8,
                                                      D3DPOOL_DEFAULT, frame.put(), nullptr);
        if (FAILED(result))
            return fail("Direct3D cannot hold the frames", result);
    }
    redraw(lines);
    return true;
}

void Direct3D9Flipper::redraw(const std::wstring& lines) {
    const RECT whole{0, 0, screen_.cx, screen_.cy};
    for (int eye = 0; eye < 2; ++eye) {
        HDC dc = nullptr;
        if (FAILED(frames_[eye]->GetDC(&dc)))
            continue;
        views_->draw(dc, whole, eye == 0 ? Eye::Left : Eye::Right, lines);
        frames_[eye]->ReleaseDC(dc);
    }
}

void Direct3D9Flipper::presentNext() {
    ComPtr<IDirect3DSurface9> backBuffer;
    if (SUCCEEDED(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, backBuffer.put())))
        device_->StretchRect(frames_[nextEye_].get(), nullptr, backBuffer.get(), nullptr,
                             D3DTEXF_NONE);
    backBuffer.reset();
    if (deviceEx_)
        deviceEx_->PresentEx(nullptr, nullptr, nullptr, nullptr, 0);
    else
        device_->Present(nullptr, nullptr, nullptr, nullptr);
    ++presentCalls_;
    nextEye_ = 1 - nextEye_;
    if (!swapChainEx_)
        return;
    D3DPRESENTSTATS statistics{};
    const HRESULT result = swapChainEx_->GetPresentStats(&statistics);
    addReading(result, {statistics.PresentCount, statistics.PresentRefreshCount});
}

std::string Direct3D9Flipper::whyNoStatistics() const {
    if (!deviceEx_)
        return "Direct3D 9Ex is missing, and with it the present statistics";
    if (!swapChainEx_)
        return "Direct3D 9Ex: the swap chain has no present statistics (IDirect3DSwapChain9Ex)";
    return statisticsFailure("IDirect3DSwapChain9Ex::GetPresentStats");
}

} // namespace

std::unique_ptr<PageFlipper> direct3d9Flipper() {
    return std::make_unique<Direct3D9Flipper>();
}
