// Resource numbers shared by the resource script and the program.
#pragma once

#define IDR_VERSION 1
#define IDS_TRAY_TIP 101
