#include "lumoauto/sender.h"

#include "client/controller_client.h"

namespace {

constexpr DWORD endWaitMs = 2000;

} // namespace

Sender::Sender(HWND window, UINT message) : window_(window), message_(message) {
    thread_ = CreateThread(nullptr, 0, run, this, 0, nullptr);
}

Sender::~Sender() {
    AcquireSRWLockExclusive(&lock_);
    stopping_ = true;
    ReleaseSRWLockExclusive(&lock_);
    WakeConditionVariable(&changed_);
    if (thread_ && WaitForSingleObject(thread_, endWaitMs) == WAIT_OBJECT_0)
        CloseHandle(thread_);
    // Past the wait the thread is left to the end of the process, which follows.
}

void Sender::send(short command) {
    AcquireSRWLockExclusive(&lock_);
    waiting_ = command;
    ReleaseSRWLockExclusive(&lock_);
    WakeConditionVariable(&changed_);
}

DWORD WINAPI Sender::run(void* self) {
    static_cast<Sender*>(self)->work();
    return 0;
}

void Sender::work() {
    const ComApartment apartment(COINIT_MULTITHREADED);
    for (;;) {
        AcquireSRWLockExclusive(&lock_);
        while (!waiting_ && !stopping_)
            SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
        const bool stop = stopping_;
        const short command = waiting_.value_or(0);
        waiting_.reset();
        ReleaseSRWLockExclusive(&lock_);
        if (stop)
            return;
        const SendResult result = sendToController(command);
        PostMessageW(window_, message_, static_cast<WPARAM>(static_cast<unsigned short>(command)),
                     static_cast<LPARAM>(result.outcome));
    }
}
