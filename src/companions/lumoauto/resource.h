#pragma once
// The ids of lumoauto's dialogs and controls, shared by its resource script and its code.

// The first icon: the one the shell shows for the program.
#define IDI_LUMOAUTO 1

#define IDD_PROGRAMS 100
#define IDD_RULE 101

#define IDC_RULES 1001
#define IDC_ADD 1002
#define IDC_EDIT 1003
#define IDC_REMOVE 1004
// The Exit button: WM_COMMAND with this id, posted by the installer too, ends lumoauto.
#define IDC_EXIT 1005
#define IDC_STATUS 1006
#define IDC_PROBLEMS 1007

#define IDC_PROGRAM 1101
#define IDC_BROWSE 1102
#define IDC_COMMAND 1103
#define IDC_WHEN 1104
#define IDC_OFF_AFTER 1105
