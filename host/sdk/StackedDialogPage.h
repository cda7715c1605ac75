#pragma once
// CKavraStackedDialogPage: base of a page that a plug-in adds to one of the
// host's dialogs (document properties, options). The host shows a page in
// a dialog of its own: the page's controls above OK, Cancel and Help; OK
// applies the page and closes the dialog when Apply answers true. A page may
// also offer a command-line form of itself. CKavraOptionsDialogPage is the
// kind the document properties dialog takes. Whoever shows a page owns it.

#include "host/sdk/CommandContext.h"
#include "host/sdk/Dialog.h"

class CKavraStackedDialogPage : public CKavraDialog {
public:
  static constexpr int kHelpButton = 9;

  // The dialog: the page's controls with the host's buttons below them.
  explicit CKavraStackedDialogPage(const KvDialogTemplate& page);

  // The page's name in the dialog's caption; empty by default.
  virtual TK_wString Title() const;
  // Writes the page's values back; false keeps the dialog open. The default
  // saves the controls into the fields.
  virtual bool Apply();
  // The page's settings on the command line instead of the dialog; the
  // default has none and answers nothing.
  virtual KvCommandResult RunCommandLineForm(CKavraDoc& doc);

protected:
  // The caption names the page, then the page initialises.
  void OnInitDialog() override;
  void OnOK() override;
  void OnButton(int id) override;
  // The Help button; nothing by default.
  virtual void OnHelp();
};

class CKavraOptionsDialogPage : public CKavraStackedDialogPage {
public:
  using CKavraStackedDialogPage::CKavraStackedDialogPage;
};
