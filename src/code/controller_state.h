#pragma once
// The one process-wide record of the controller: its stored settings and its run-time handles.

#include <windows.h>

#include <cstdint>

// A command for the glasses. Values outside the named ones are accepted and do nothing.
enum DisplayCommand : int32_t {
    StereoNormal = 1,
    StereoReverse = 2,
    StereoOnResync = 3,
    StereoOn = 4,
    LcdMode1 = 5,
    LcdMode2 = 6,
    LcdModeOff = 7,
    StereoOff = 1000,
};

constexpr int versionTextSize = 20;

enum StereoMode : int32_t { ModeInterleaved = 0, ModePageFlip = 1, ModeOverUnder = 2 };

struct ControllerState {
    // Stored in the registry.
    char version[versionTextSize];
    int32_t hardware;
    int32_t mode;
    int32_t lcdMode;
    int32_t tested;
    int32_t active;
    int32_t reverse;
    int32_t hotKey1;
    int32_t hotKey2;
    int32_t hotKey3;

    // Run-time only.
    HINSTANCE moduleInstance;
    HWND mainWindow;
    HWND propertiesWindow;
    int32_t currentCode;
    int32_t lastError;
};

extern ControllerState controller;
