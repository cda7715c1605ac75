#pragma once
// CKavraDialog: base of a plug-in's modal dialog. It runs the dialog built
// from its template through the application's window toolkit, exchanges its
// values with the controls (DoDataExchange, both ways), handles OK, Cancel
// and the spin buttons of its integer edits, and hands other buttons, typed
// characters and finished edits to the subclass. The caller owns the dialog
// and runs it on its own stack; it keeps a localised copy of the template.

#include <map>

#include "host/platform/NativeWindows.h"
#include "host/sdk/DataExchange.h"

class CKavraDialog : private KvDialogEvents {
public:
  // Every text of the template passes through the host's localisation.
  explicit CKavraDialog(const KvDialogTemplate& resource);
  virtual ~CKavraDialog() = default;
  CKavraDialog(const CKavraDialog&) = delete;
  CKavraDialog& operator=(const CKavraDialog&) = delete;

  // Shows the dialog until the user ends it; IDOK or IDCANCEL.
  int DoModal();
  const KvDialogTemplate& Resource() const { return resource_; }
  // The running dialog's controls; null outside DoModal.
  KvDialogWindow* Window() const { return window_; }

  // Controls to fields (save) or fields to controls. False when a control
  // holds no valid value (a message box says so); nothing then counts as
  // saved.
  bool UpdateData(bool save);

protected:
  // Exchanges the values; the base exchanges none.
  virtual void DoDataExchange(KvDataExchange& dx);
  // Fills the controls from the fields.
  virtual void OnInitDialog();
  // Saves the controls; ends with IDOK when that worked.
  virtual void OnOK();
  virtual void OnCancel();
  // A button other than OK and Cancel.
  virtual void OnButton(int id);
  // A typed character; accepted by default.
  bool OnChar(int id, wchar_t c) override;
  // An edit the user left; nothing by default.
  void OnKillFocus(int id) override;
  // A spin's arrow. A spin whose range was set steps its edit's integer by
  // one within that range; others do nothing.
  void OnSpin(int id, int direction, int held_ms) override;

  // The range a spin steps its edit's integer in.
  void SetSpinRange(int spin_id, int lowest, int highest);
  void EndDialog(int result);

private:
  void OnInitDialog(KvDialogWindow& window) final;
  void OnCommand(int id) final;

  KvDialogTemplate resource_;
  KvDialogWindow* window_ = nullptr;
  std::map<int, std::pair<int, int>> spin_ranges_;
};
