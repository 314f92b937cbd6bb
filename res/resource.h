// Resource numbers shared by the resource script and the program.
#pragma once

// Version, type library and strings
#define IDR_VERSION 1
#define IDR_TYPELIB 1
#define IDS_TRAY_TIP 101

// Registry scripts (resource type "REGISTRY")
#define IDR_APPLICATION_SCRIPT 100
#define IDR_CLASS_SCRIPT 102

// Icon and bitmaps
#define IDI_CONTROLLER 104
#define IDB_INTERLEAVE_TEST 108
#define IDB_INTERLEAVE_TEST_WIDE 109

// Dialogs
#define IDD_ABOUT 103
#define IDD_PROPERTIES 106
#define IDD_INTERLEAVE_TEST 112

// Controls that the program never addresses
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Properties dialog controls
#define IDC_LCD_MODE_LIST 201
#define IDC_LCD_SET 202
#define IDC_HARDWARE_LIST 1000
#define IDC_MODE_LIST 1001
#define IDC_TEST 1002
#define IDC_PROPERTIES_OK 1003
#define IDC_PROPERTIES_CANCEL 1004
#define IDC_PROPERTIES_APPLY 1005
#define IDC_HOTKEY1 1016
#define IDC_HOTKEY2 1017
#define IDC_HOTKEY3 1018
#define IDC_HOTKEY1_LABEL 1019
#define IDC_HOTKEY2_LABEL 1020
#define IDC_HOTKEY3_LABEL 1021

// About box controls
#define IDC_ABOUT_VERSION 1008

// Interleave test dialog controls
#define IDC_TEST_TOGGLE 1014
#define IDC_TEST_PICTURE 1015
