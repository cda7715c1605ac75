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
  events_.OnCommand(id);
}

void KvHeadlessDialog::Spin(int id, int direction, int held_ms) {
  if (IsEnabled(id) && !Ended()) events_.OnSpin(id, direction, held_ms);
}

void KvHeadlessDialog::PickColour(int id, COLORREF colour) {
  if (IsEnabled(id) && !Ended()) controls_[id].colour = colour;
}
