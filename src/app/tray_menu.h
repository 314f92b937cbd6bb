#pragma once
// The tray icon's pop-up menus, built anew from the controller state for every click.

#include <windows.h>

#include <memory>
#include <type_traits>

struct MenuDestroyer {
    void operator()(HMENU menu) const { DestroyMenu(menu); }
};
using OwnedMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDestroyer>;

// Appends the mode, stereo and LCD sections to a pop-up menu, the current choices checked.
void appendControllerMenu(HMENU menu);

// The menu of a right click: the controller sections (unless the hardware setting hides them),
// then About, Properties and Exit. Null when no menu can be made.
OwnedMenu createRightClickMenu();

// The menu of a left click: the controller sections alone.
OwnedMenu createLeftClickMenu();

// Shows a menu at the cursor, owned by the window, and destroys it afterwards; the chosen item
// reaches the window as WM_COMMAND. Shows nothing while another of these menus is open.
void showPopupMenu(HWND owner, OwnedMenu menu);
