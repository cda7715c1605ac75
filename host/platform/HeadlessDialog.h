#pragma once
// A modal dialog of the headless toolkit: its controls' texts, check states,
// enabled flags and colours, kept by id from the template on. A script plays
// the user: it types, clicks, spins and picks colours through the same
// events a toolkit with a display sends, and ends the dialog with OK or
// Cancel (a script that leaves it open closes it: Cancel).

#include <functional>
#include <map>

#include "host/platform/NativeWindows.h"

class KvHeadlessDialog : public KvDialogWindow {
public:
  using Script = std::function<void(KvHeadlessDialog&)>;

  KvHeadlessDialog(const KvDialogTemplate& dialog, KvDialogEvents& events);
  // Initialises, plays the script, answers the result.
  int Run(const Script& script);

  TK_wString Text(int id) const override;
  void SetText(int id, const TK_wString& text) override { controls_[id].text = text; }
  bool Checked(int id) const override;
  void SetChecked(int id, bool checked) override { controls_[id].checked = checked; }
  bool IsEnabled(int id) const override;
  void Enable(int id, bool enabled) override { controls_[id].enabled = enabled; }
  COLORREF Colour(int id) const override;
  void SetColour(int id, COLORREF colour) override { controls_[id].colour = colour; }
  void SetListItems(int id, const std::vector<TK_wString>& items) override;
  int ListSelection(int id) const override;
  void SetListSelection(int id, int index) override;
  TK_wString Caption() const override { return caption_; }
  void SetCaption(const TK_wString& caption) override { caption_ = caption; }
  void SetIcon(const KvIcon& icon) override { icon_ = icon; }
  void EndDialog(int result) override { result_ = result; }

  // The user's actions. Type replaces the edit's text by what the edit
  // accepts of `typed`, character by character, then leaves the edit.
  void Type(int id, const std::wstring& typed);
  // A click: a check box toggles first, a radio button is checked and the
  // others of its group cleared. Disabled controls take no clicks.
  void Click(int id);
  // Picks a drop-down list's item.
  void Select(int id, int index);
  const std::vector<TK_wString>& ListItems(int id) const;
  void Spin(int id, int direction, int held_ms = 0);
  void PickColour(int id, COLORREF colour);

  const KvIcon& Icon() const { return icon_; }
  bool Ended() const { return result_ != 0; }
  const KvDialogTemplate& Template() const { return template_; }

private:
  struct Control {
    TK_wString text;
    bool checked = false;
    bool enabled = true;
    COLORREF colour = 0;
    std::vector<TK_wString> items;
    int selection = -1;
  };
  const KvDialogTemplate& template_;
  KvDialogEvents& events_;
  std::map<int, Control> controls_;
  TK_wString caption_;
  KvIcon icon_;
  int result_ = 0;
};
