#include "host/platform/HeadlessDialog.h"

KvHeadlessDialog::KvHeadlessDialog(const KvDialogTemplate& dialog, KvDialogEvents& events)
    : template_(dialog), events_(events), caption_(dialog.caption) {
  for (const KvDialogControl& c : dialog.controls)
    if (c.id > 0) controls_[c.id].text = c.text;
}

int KvHeadlessDialog::Run(const Script& script) {
  events_.OnInitDialog(*this);
  if (script && !Ended()) script(*this);
  if (!Ended()) events_.OnCommand(IDCANCEL);  // closing the window
  return Ended() ? result_ : IDCANCEL;
}

TK_wString KvHeadlessDialog::Text(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? TK_wString() : it->second.text;
}

bool KvHeadlessDialog::Checked(int id) const {
  const auto it = controls_.find(id);
  return it != controls_.end() && it->second.checked;
}

bool KvHeadlessDialog::IsEnabled(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() || it->second.enabled;
}

COLORREF KvHeadlessDialog::Colour(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? 0 : it->second.colour;
}

void KvHeadlessDialog::SetListItems(int id, const std::vector<TK_wString>& items) {
  controls_[id].items = items;
  controls_[id].selection = -1;
}

int KvHeadlessDialog::ListSelection(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? -1 : it->second.selection;
}

void KvHeadlessDialog::SetListSelection(int id, int index) {
  Control& list = controls_[id];
  list.selection = index >= 0 && index < int(list.items.size()) ? index : -1;
}

const std::vector<TK_wString>& KvHeadlessDialog::ListItems(int id) const {
  static const std::vector<TK_wString> none;
  const auto it = controls_.find(id);
  return it == controls_.end() ? none : it->second.items;
}

void KvHeadlessDialog::Select(int id, int index) {
  if (!IsEnabled(id) || Ended()) return;
  SetListSelection(id, index);
  events_.OnCommand(id);
}

void KvHeadlessDialog::Type(int id, const std::wstring& typed) {
  if (!IsEnabled(id) || Ended()) return;
  controls_[id].text = TK_wString();
  for (wchar_t c : typed)
    if (events_.OnChar(id, c)) controls_[id].text += TK_wString(std::wstring(1, c));
  events_.OnKillFocus(id);
}

void KvHeadlessDialog::Click(int id) {
  if (!IsEnabled(id) || Ended()) return;
  const KvDialogControl* control = template_.Find(id);
  if (control && control->kind == KvDialogControl::Kind::check_box) controls_[id].checked = !controls_[id].checked;
  if (control && control->kind == KvDialogControl::Kind::radio_button) {
    for (const KvDialogControl& other : template_.controls)
      if (other.kind == KvDialogControl::Kind::radio_button && other.group == control->group) controls_[other.id].checked = false;
    controls_[id].checked = true;
  }
  events_.OnCommand(id);
}

void KvHeadlessDialog::Spin(int id, int direction, int held_ms) {
  if (IsEnabled(id) && !Ended()) events_.OnSpin(id, direction, held_ms);
}

void KvHeadlessDialog::PickColour(int id, COLORREF colour) {
  if (IsEnabled(id) && !Ended()) controls_[id].colour = colour;
}
