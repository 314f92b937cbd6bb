#pragma once
// One command sent to the controller through its automation class ZEZIZER.LumoCode, as any client
// sends it.

#include <windows.h>

#include <objbase.h>

enum class SendOutcome { Sent, NotRegistered, Unreachable };

struct SendResult {
    SendOutcome outcome;
    HRESULT error;
};

// Sends one command through a new object of ZEZIZER.LumoCode: SendCode, or with property the
// DisplayCode property. COM starts the controller when it does not run. The calling thread is in
// an apartment already.
SendResult sendToController(short command, bool property = false);

// Whether the class ZEZIZER.LumoCode is registered.
bool controllerClassRegistered();

// Makes an object of ZEZIZER.LumoCode and asks it the id of SendCode, a round trip that sends no
// command; S_OK when it answered. COM starts the controller when it does not run. The calling
// thread is in an apartment already.
HRESULT reachController();

// This thread's apartment for as long as the object lives.
class ComApartment {
  public:
    explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED)
        : result_(CoInitializeEx(nullptr, model)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    HRESULT result_;
};
