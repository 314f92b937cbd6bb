#pragma once
// The controller's tray menus as a user reads them (one line an item, as describeMenu writes
// them), written out independently of the program.

#include <string>
#include <vector>

using MenuLines = std::vector<std::string>;

// The controller's items in Interleaved mode with stereo and the LCD mode off, as at a first start.
inline const MenuLines interleavedOffMenu{
    "[x] Interleaved (40006)", "Over/Under (40005)",       "Page Flip (40004)",        "---",
    "Stereo - Normal (40011)", "Stereo - Reverse (40012)", "[x] Stereo - Off (40013)", "---",
    "LCD Mode 1 (40501)",      "LCD Mode 2 (40502)",       "[x] LCD Mode Off (40505)"};

// The window's own items, which end the right click's menu.
inline const MenuLines windowMenuItems{"About... (40003)", "Properties... (40002)", "---",
                                       "Exit (40001)"};

// The right click's menu: the controller's items, a separator and the window's items.
inline MenuLines rightClickMenuOf(const MenuLines& controllerItems) {
    MenuLines lines = controllerItems;
    lines.push_back("---");
    lines.insert(lines.end(), windowMenuItems.begin(), windowMenuItems.end());
    return lines;
}
