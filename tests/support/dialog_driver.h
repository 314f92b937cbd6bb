#pragma once
// Working a modal dialog as a user would: the dialog runs on the test's own thread, inside the
// code under test, while a second thread finds it on the screen, clicks, chooses, types and reads
// the controls back.

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

constexpr DWORD dialogAppearsMs = 5000;

// Runs open() on this thread, which shows a modal dialog and returns once it is closed, while
// user(dialog) works the dialog with the given title from a second thread. Dialogs of this
// process that are still open when the user is done get dismissed, so a failed check cannot
// leave the test hanging in a modal loop.
void driveDialog(const char* title, const std::function<void()>& open,
                 const std::function<void(HWND)>& user);

// The visible dialogs of this process with the title, or (null) with any.
std::vector<HWND> visibleDialogs(const char* title);
// A visible dialog of this process with the title, or null when none shows up in time.
HWND waitForDialog(const char* title, DWORD timeoutMs = dialogAppearsMs);

// Waits, from the user's thread, until the dialog's thread has handled everything posted to it
// so far (or sits in a modal loop of its own). Only within driveDialog.
void waitForDialogThread();

// A click as the button sends it to its dialog; returns when the dialog has handled it.
void click(HWND dialog, int id);
// The same click, posted: for buttons that open a modal window of their own.
void postClick(HWND dialog, int id);
// Selects an item of a combo box (-1 for none) and tells the dialog with the notification.
void choose(HWND dialog, int list, int index, WORD notification = CBN_SELENDOK);

std::vector<std::string> listItems(HWND dialog, int list);
int listSelection(HWND dialog, int list);
std::string controlText(HWND dialog, int id);
bool controlEnabled(HWND dialog, int id);

// Presses the keys together through the system's input queue and releases them in reverse order,
// as a user presses a hot-key.
void pressChord(std::initializer_list<WORD> virtualKeys);

// Presses and releases each key through the system's input queue once the dialog is in the
// foreground, and returns when the dialog's thread has taken every press from its queue: false
// when the dialog does not come to the foreground or a press is not taken in time. Only within
// driveDialog.
bool typeKeys(HWND dialog, std::initializer_list<WORD> virtualKeys);
