#pragma once
// A dialog described as data, as a dialog resource describes it: a caption,
// a size and controls placed in dialog units (one unit is a quarter of the
// average character width across, an eighth of the character height down).
// A window toolkit builds its dialog from it; the plug-in's resources
// declare theirs this way.

#include <vector>

#include "host/platform/WinTypes.h"
#include "host/toolkit/String.h"

// Buttons every dialog knows, and the results of a modal run.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

struct KvDialogControl {
  enum class Kind {
    label,         // static text
    heading,       // a group's title with a line under it
    separator,     // a horizontal line
    edit,          // one line of text
    check_box,
    push_button,
    default_button,  // the push button Enter presses
    colour_button,   // shows a colour; choosing a new one is the toolkit's
    spin,            // up and down arrows beside the edit `buddy`
    radio_button,    // one of the radio buttons sharing its `group`
    drop_down_list,  // a list to pick one item of; a new pick is a command
  };
  Kind kind = Kind::label;
  int id = 0;  // 0 (or -1) for controls nobody addresses
  TK_wString text;
  RECT rect;   // dialog units
  int buddy = 0;  // a spin's edit
  bool visible = true;
  int group = 0;  // radio buttons of one group exclude each other
};

struct KvDialogTemplate {
  TK_wString caption;
  SIZE size;  // dialog units
  std::vector<KvDialogControl> controls;

  const KvDialogControl* Find(int id) const {
    for (const KvDialogControl& c : controls)
      if (c.id == id) return &c;
    return nullptr;
  }
};
