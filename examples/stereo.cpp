// Switches the glasses to stereo, normal eye order, early bound through ILumoCode: build it with
// the header and GUIDs that widl makes from zezizer.idl, e.g.
//   widl -h -o zezizer.h zezizer.idl && widl -u -o zezizer_i.c zezizer.idl
//   g++ stereo.cpp zezizer_i.c -lole32 -loleaut32
// Exit code 0 when the command was sent.
#include <windows.h>

#include "zezizer.h"

int main() {
    if (FAILED(CoInitialize(nullptr)))
        return 1;
    HRESULT result = E_FAIL;
    ILumoCode* glasses = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_LumoCode, nullptr, CLSCTX_LOCAL_SERVER, IID_ILumoCode,
                                   reinterpret_cast<void**>(&glasses)))) {
        result = glasses->SendCode(1);
        glasses->Release();
    }
    CoUninitialize();
    return SUCCEEDED(result) ? 0 : 1;
}
