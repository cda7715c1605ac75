#include "host/sdk/Dialog.h"

#include <algorithm>
#include <string>

#include "host/app/App.h"
#include "host/app/Localize.h"

CKavraDialog::CKavraDialog(const KvDialogTemplate& resource) : resource_(resource) {
  resource_.caption = KvLocalizeString(resource_.caption.c_str());
  for (KvDialogControl& control : resource_.controls)
    if (!control.text.IsEmpty()) control.text = KvLocalizeString(control.text.c_str());
}

int CKavraDialog::DoModal() {
  const int result = KavraApp().WindowToolkit().RunModalDialog(resource_, *this);
  window_ = nullptr;
  return result;
}

bool CKavraDialog::UpdateData(bool save) {
  if (!window_) return false;
  KvDataExchange dx(*window_, save);
  DoDataExchange(dx);
  // The user is told why the dialog stays open.
  if (dx.Failed())
    KavraMessageBox(nullptr, KvLocalizeString(L"Please enter a number."), window_->Caption(), MB_OK | MB_ICONEXCLAMATION);
  return !dx.Failed();
}

void CKavraDialog::DoDataExchange(KvDataExchange&) {}

void CKavraDialog::OnInitDialog(KvDialogWindow& window) {
  window_ = &window;
  OnInitDialog();
}

void CKavraDialog::OnInitDialog() { UpdateData(false); }

void CKavraDialog::OnCommand(int id) {
  if (id == IDOK) OnOK();
  else if (id == IDCANCEL) OnCancel();
  else OnButton(id);
}

void CKavraDialog::OnOK() {
  if (UpdateData(true)) EndDialog(IDOK);
}

void CKavraDialog::OnCancel() { EndDialog(IDCANCEL); }

void CKavraDialog::OnButton(int) {}

bool CKavraDialog::OnChar(int, wchar_t) { return true; }

void CKavraDialog::OnKillFocus(int) {}

void CKavraDialog::OnSpin(int id, int direction, int) {
  const auto range = spin_ranges_.find(id);
  const KvDialogControl* spin = resource_.Find(id);
  if (!window_ || range == spin_ranges_.end() || !spin) return;
  const long long now = std::wcstoll(window_->Text(spin->buddy).c_str(), nullptr, 10);
  const long long next = std::clamp<long long>(now + (direction > 0 ? 1 : -1), range->second.first, range->second.second);
  window_->SetText(spin->buddy, TK_wString(std::to_wstring(next)));
}

void CKavraDialog::SetSpinRange(int spin_id, int lowest, int highest) { spin_ranges_[spin_id] = {lowest, highest}; }

void CKavraDialog::EndDialog(int result) {
  if (window_) window_->EndDialog(result);
}
