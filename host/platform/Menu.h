#pragma once
// A menu described as data: a popup has items, a separator has no text and
// no id, a command has text and id. Window toolkits build their menu bars
// from it; the plug-in's resources declare theirs this way.

#include <vector>

#include "host/toolkit/String.h"

struct KvMenuItem {
  TK_wString text;
  int id = 0;
  std::vector<KvMenuItem> items;
  // A popup of a menu bar that sits at its far end (the Help popup).
  bool right_justified = false;

  bool IsSeparator() const { return text.IsEmpty() && id == 0 && items.empty(); }
  bool IsPopup() const { return !items.empty(); }
};

// What a command's menu item shows when the menu is opened.
struct KvCommandState {
  bool enabled = true;
  bool checked = false;
  bool operator==(const KvCommandState&) const = default;
};
