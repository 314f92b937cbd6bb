#pragma once
// Command identifiers of the tray menus, as they reach the main window in WM_COMMAND.

#include <windows.h>

enum MenuId : WORD {
    MenuExit = 40001,
    MenuProperties = 40002,
    MenuAbout = 40003,
    MenuPageFlip = 40004,
    MenuOverUnder = 40005,
    MenuInterleaved = 40006,
    MenuStereoNormal = 40011,
    MenuStereoReverse = 40012,
    MenuStereoOff = 40013,
    MenuStereoOnResync = 40014,
    MenuStereoOn = 40015,
    MenuLcdMode1 = 40501,
    MenuLcdMode2 = 40502,
    MenuLcdModeOff = 40505,
};
