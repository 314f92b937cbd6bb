#include "app/tray_menu.h"

#include "app/menu_ids.h"
#include "code/command_table.h"

#include <span>

namespace {

struct MenuItem {
    MenuId id;
    const char* text;
};

constexpr MenuItem modeItems[] = {
    {MenuInterleaved, "Interleaved"},
    {MenuOverUnder, "Over/Under"},
    {MenuPageFlip, "Page Flip"},
};

// A command's item shows the command's label; the table's labels are string literals.
constexpr MenuItem commandItem(MenuId id, DisplayCommand command) {
    return {id, findCommand(command)->label.data()};
}

constexpr MenuItem stereoNormalItem = commandItem(MenuStereoNormal, StereoNormal);
constexpr MenuItem stereoReverseItem = commandItem(MenuStereoReverse, StereoReverse);
constexpr MenuItem stereoOffItem = commandItem(MenuStereoOff, StereoOff);
constexpr MenuItem stereoOnResyncItem = commandItem(MenuStereoOnResync, StereoOnResync);
constexpr MenuItem stereoOnItem = commandItem(MenuStereoOn, StereoOn);

// The stereo items a mode offers: its "on" item, in Interleaved also the reversed one, then
// "Stereo - Off". The item that matches active and reverse is checked.
struct StereoSection {
    StereoMode mode;
    MenuId modeItem;
    MenuItem onItem;
    const MenuItem* reverseItem;
};

constexpr StereoSection stereoSections[] = {
    {ModeInterleaved, MenuInterleaved, stereoNormalItem, &stereoReverseItem},
    {ModePageFlip, MenuPageFlip, stereoOnResyncItem, nullptr},
    {ModeOverUnder, MenuOverUnder, stereoOnItem, nullptr},
};

constexpr MenuItem lcdItems[] = {
    commandItem(MenuLcdMode1, LcdMode1),
    commandItem(MenuLcdMode2, LcdMode2),
    commandItem(MenuLcdModeOff, LcdModeOff),
};

constexpr MenuItem windowItems[] = {
    {MenuAbout, "About..."},
    {MenuProperties, "Properties..."},
};

constexpr MenuItem exitItem{MenuExit, "Exit"};

void append(HMENU menu, const MenuItem& item) {
    AppendMenuA(menu, MF_STRING, item.id, item.text);
}

void append(HMENU menu, std::span<const MenuItem> items) {
    for (const MenuItem& item : items)
        append(menu, item);
}

void appendSeparator(HMENU menu) {
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
}

void check(HMENU menu, MenuId id) {
    CheckMenuItem(menu, id, MF_BYCOMMAND | MF_CHECKED);
}

const StereoSection* stereoSectionOfMode(int32_t mode) {
    for (const StereoSection& section : stereoSections)
        if (section.mode == mode)
            return &section;
    return nullptr;
}

MenuId checkedStereoItem(const StereoSection& section) {
    if (!controller.active)
        return stereoOffItem.id;
    if (controller.reverse && section.reverseItem)
        return section.reverseItem->id;
    return section.onItem.id;
}

// A mode outside the known ones gets no stereo items, and no mode is checked.
void appendStereoSection(HMENU menu) {
    const StereoSection* section = stereoSectionOfMode(controller.mode);
    if (!section)
        return;
    check(menu, section->modeItem);
    append(menu, section->onItem);
    if (section->reverseItem)
        append(menu, *section->reverseItem);
    append(menu, stereoOffItem);
    check(menu, checkedStereoItem(*section));
}

MenuId checkedLcdItem() {
    switch (controller.lcdMode) {
    case 1:
        return MenuLcdMode1;
    case 2:
        return MenuLcdMode2;
    default:
        return MenuLcdModeOff;
    }
}

void appendLcdSection(HMENU menu) {
    appendSeparator(menu);
    append(menu, lcdItems);
    check(menu, checkedLcdItem());
}

} // namespace

void appendControllerMenu(HMENU menu) {
    append(menu, modeItems);
    appendSeparator(menu);
    appendStereoSection(menu);
    appendLcdSection(menu);
}

OwnedMenu createRightClickMenu() {
    OwnedMenu menu(CreatePopupMenu());
    if (!menu)
        return menu;
    // Other hardware than the default takes no commands from these sections.
    if (controller.hardware == 0) {
        appendControllerMenu(menu.get());
        appendSeparator(menu.get());
    }
    append(menu.get(), windowItems);
    appendSeparator(menu.get());
    append(menu.get(), exitItem);
    return menu;
}

OwnedMenu createLeftClickMenu() {
    OwnedMenu menu(CreatePopupMenu());
    if (menu)
        appendControllerMenu(menu.get());
    return menu;
}

void showPopupMenu(HWND owner, OwnedMenu menu) {
    // A tray click that arrives while a menu is open (the menu's loop hands it on) opens no second
    // menu inside the first.
    static bool menuOpen = false;
    if (!menu || menuOpen)
        return;
    menuOpen = true;
    // The owner must be in the foreground, or the menu would not close when the user clicks
    // elsewhere; the posted null message lets the menu's own loop finish cleanly.
    SetForegroundWindow(owner);
    SetCapture(owner);
    POINT cursor{};
    GetCursorPos(&cursor);
    TrackPopupMenu(menu.get(), TPM_LEFTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, cursor.x, cursor.y, 0,
                   owner, nullptr);
    PostMessageA(owner, WM_NULL, 0, 0);
    ReleaseCapture();
    menu.reset();
    menuOpen = false;
}
