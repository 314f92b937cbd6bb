#pragma once
// Waits on a thread of its own for handles to be signalled (listed programs' processes ending, the
// rules key changing) and posts a message to a window for each, with the id the handle came with.
// The thread sleeps in one wait without a timeout: nothing but a signal wakes it, unlike the
// system's thread pool, whose idle workers wake every few seconds under Wine.

#include "common/handle.h"

#include <windows.h>

#include <vector>

class Waiter {
  public:
    // message(wParam: the handle's id) goes to the window at each signal, and once with stoppedId
    // when the waiting fails and ends.
    Waiter(HWND window, UINT message);
    ~Waiter();
    Waiter(const Waiter&) = delete;
    Waiter& operator=(const Waiter&) = delete;

    // Takes the handle over and watches it: once, until its signal (a process), or for good (an
    // auto-reset event). False, with the handle closed, when it cannot watch more or no longer
    // waits.
    bool add(HANDLE handle, WPARAM id, bool once);
    // Stops watching the handle of the id and closes it.
    void remove(WPARAM id);
    // Whether the thread waits: false when it did not start or its wait failed.
    bool waiting();

    static constexpr WPARAM stoppedId = 0;

  private:
    struct Entry {
        Handle handle;
        WPARAM id;
        bool once;
    };
    // What one wait takes of an entry, outside the lock.
    struct Waited {
        HANDLE handle;
        WPARAM id;
    };
    // One wait takes the wake-up event and at most this many handles.
    static constexpr size_t mostHandles = MAXIMUM_WAIT_OBJECTS - 1;

    static DWORD WINAPI run(void* self);
    void work();
    // Under the lock: the entries to wait on, after closing those taken away.
    std::vector<Waited> entriesToWaitOn();
    void signalled(WPARAM id);

    HWND window_;
    UINT message_;
    SRWLOCK lock_ = SRWLOCK_INIT;
    std::vector<Entry> entries_;
    // Handles taken away while the thread may wait on them: it closes them after its wait.
    std::vector<Handle> closing_;
    bool stopping_ = false;
    bool failed_ = false;
    Handle wake_;
    Handle thread_;
};
