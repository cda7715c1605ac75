#pragma once
// CKavraStackedDialogPage: base of a page that a plug-in adds to one of the
// host's dialogs (document properties, options, render properties). The
// dialog that shows a page owns it. The host's dialogs build on this base.

class CKavraStackedDialogPage {
public:
  CKavraStackedDialogPage() = default;
  virtual ~CKavraStackedDialogPage() = default;
  CKavraStackedDialogPage(const CKavraStackedDialogPage&) = delete;
  CKavraStackedDialogPage& operator=(const CKavraStackedDialogPage&) = delete;
};
