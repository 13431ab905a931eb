// The frame's menu bar.
//
// Menus are numbered from 1 in the bar, items from 1 in their menu (item 0
// stands for the menu itself); separators count as items. The frame starts
// with the library's default menus: File (Print, Save, Exit), Edit (Copy),
// View (Status Bar), State (Pause), Window (Cascade, Tile) and Help (About).
//
// A routine runs on the GUI thread with the item's check mark. The empty
// routine (an empty function) serves titles and separators. Every function
// may be called from any thread; from other threads it waits for the GUI.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tarvex::platform {

using MenuRoutine = std::function<void(bool checked)>;

// Item flags; GRAYED and DISABLED both make the item unusable.
enum MenuFlags : unsigned {
    MENU_ENABLED = 0x0,
    MENU_GRAYED = 0x1,
    MENU_DISABLED = 0x2,
    MENU_CHECKED = 0x8,
    MENU_UNCHECKED = 0x0,
    MENU_SEPARATOR = 0x800,
};

// Appends an item to menu `menu`. False when there is no such menu.
bool append_menu_item(int menu, unsigned flags, std::string_view text, MenuRoutine routine);
// Inserts an item so that it becomes item `item` of menu `menu` (item may be
// one past the last); item 0 inserts a whole menu titled `text` so that it
// becomes menu `menu`.
bool insert_menu_item(int menu, int item, unsigned flags, std::string_view text, MenuRoutine routine);
// Deletes item `item` of menu `menu`; item 0 deletes the whole menu.
bool delete_menu_item(int menu, int item);
// Sets an item's flags (item 0: the menu's title; only the enabled state).
bool modify_menu_flags(int menu, int item, unsigned flags);

// Read-back, for the program and for tests.
struct MenuItemInfo {
    std::string text;
    bool enabled = false;
    bool checked = false;
    bool separator = false;
};
int menu_count();
int menu_item_count(int menu);
bool menu_item_info(int menu, int item, MenuItemInfo& info);
// Chooses an item as a click would: runs its routine on the GUI thread when
// the item (and its menu) is enabled. False when it did not run.
bool trigger_menu_item(int menu, int item);

}  // namespace tarvex::platform
