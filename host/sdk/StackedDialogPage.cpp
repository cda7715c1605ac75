#include "host/sdk/StackedDialogPage.h"

#include <algorithm>


namespace {

// The page's controls with OK, Cancel and Help in a row below them.
KvDialogTemplate WithButtons(const KvDialogTemplate& page) {
  KvDialogTemplate dialog = page;
  dialog.caption = TK_wString(L"Document Properties");
  const int top = page.size.cy + 6, right = std::max(page.size.cx, 180);
  using Kind = KvDialogControl::Kind;
  const struct { Kind kind; int id; const wchar_t* text; int x; } buttons[] = {
      {Kind::default_button, IDOK, L"OK", right - 162}, {Kind::push_button, IDCANCEL, L"Cancel", right - 108},
      {Kind::push_button, CKavraStackedDialogPage::kHelpButton, L"Help", right - 54}};
  for (const auto& b : buttons)
    dialog.controls.push_back(KvDialogControl{b.kind, b.id, TK_wString(b.text), RECT{b.x, top, b.x + 50, top + 14}});
  dialog.size = SIZE{right + 4, top + 20};
  return dialog;
}

}  // namespace

CKavraStackedDialogPage::CKavraStackedDialogPage(const KvDialogTemplate& page) : CKavraDialog(WithButtons(page)) {}

TK_wString CKavraStackedDialogPage::Title() const { return {}; }

bool CKavraStackedDialogPage::Apply() { return UpdateData(true); }

KvCommandResult CKavraStackedDialogPage::RunCommandLineForm(CKavraDoc&) { return KvCommandResult::nothing; }

void CKavraStackedDialogPage::OnInitDialog() {
  const TK_wString title = Title();
  if (!title.IsEmpty()) Window()->SetCaption(Window()->Caption() + TK_wString(L" - ") + title);
  CKavraDialog::OnInitDialog();
}

void CKavraStackedDialogPage::OnOK() {
  if (Apply()) EndDialog(IDOK);
}

void CKavraStackedDialogPage::OnButton(int id) {
  if (id == kHelpButton) OnHelp();
}

void CKavraStackedDialogPage::OnHelp() {}
