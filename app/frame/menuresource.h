// Menu resources: top-level menus with their items, each text named by a
// text id with a fallback (see resources/menus/README.md). Parsing needs
// no widgets.
#pragma once
#include <string>
#include <vector>

#include "platform/win32types.h"

struct MenuItemDef {
  plat::UINT command = 0;  // 0: separator
  int group = -1, entry = -1;  // -1: no language text
  std::string text;  // fallback, Windows-1252
};

struct MenuPopupDef {
  int group = -1, entry = -1;
  std::string text;
  std::vector<MenuItemDef> items;
};

struct MenuDef {
  std::vector<MenuPopupDef> popups;
};

// false with a message naming the line when the text is not a menu.
bool ParseMenu(const std::string& utf8, MenuDef* out, std::string* error);
// The shipped menu of a deliverable; false when there is none or it is
// broken (error says why).
bool LoadMenu(const std::string& deliverable, int id, MenuDef* out, std::string* error);
