#pragma once
// KvQtToolkit: the window toolkit in Qt 6 Widgets. It needs the QApplication
// the program made (and must go before it); its frames are main windows,
// the plug-in's dialogs QDialogs built from their templates, the file,
// colour and print dialogs Qt's own, the clipboard the system's. Printing
// asks for a printer, or writes a PDF file without asking once a print file
// is set (for scripts and tests); dialogs play a script once one is set. The
// toolkit owns the help window it shows and the script.

#include <memory>
#include <string>
#include <vector>

#include "host/platform/NativeWindows.h"

class KvQtDialogScript;
class QDialog;
class QTextBrowser;
class QWidget;

class KvQtToolkit : public KvWindowToolkit {
public:
  // Throws std::logic_error without a QApplication.
  KvQtToolkit();
  ~KvQtToolkit() override;
  KvQtToolkit(const KvQtToolkit&) = delete;
  KvQtToolkit& operator=(const KvQtToolkit&) = delete;

  std::unique_ptr<KvFrameWindow> CreateFrameWindow(KvFrameEvents& events) override;
  // The dialog (a KvQtDialog) is modal over the active window.
  int RunModalDialog(const KvDialogTemplate& dialog, KvDialogEvents& events) override;
  // Qt's own open dialog for the image files the host reads, with a preview.
  std::optional<std::filesystem::path> AskOpenImagePath(const std::filesystem::path& folder,
                                                        const std::filesystem::path& name) override;
  void ProcessEvents() override;
  // A Qt (not native) save dialog; without an extension typed, the chosen
  // type's is added.
  std::optional<std::filesystem::path> AskSaveImagePath(KvFrameWindow* parent, const std::filesystem::path& folder,
                                                        const std::filesystem::path& name) override;
  bool CopyImageToClipboard(const COruDib& image) override;
  // The image as large as the page allows, its aspect kept, centred.
  bool PrintImage(KvFrameWindow* parent, const COruDib& image) override;
  int MessageBox(KvFrameWindow* parent, const TK_wString& text, const TK_wString& caption, UINT style) override;
  // The page rendered as Markdown in a help window that stays open beside
  // the others; a later page replaces it.
  bool ShowHelpPage(const std::filesystem::path& page, const TK_wString& title) override;

  // Printing writes this PDF file instead of asking; empty: ask again.
  void SetPrintFile(const std::filesystem::path& pdf) { print_file_ = pdf; }
  // The help window, null before the first page.
  QDialog* HelpWindow() const { return help_.get(); }

  // A scripted run: from now on each modal dialog plays its part of the
  // script's lines (see KvQtDialogScript), and the colour and file dialogs
  // and message boxes it opens answer from the script, or close at once.
  void SetDialogScript(const std::vector<std::string>& lines);
  // The script's first fault, empty without one (or without a script).
  std::string DialogScriptFault() const;

private:
  std::optional<COLORREF> ChooseColour(COLORREF current, QWidget* parent);

  std::unique_ptr<KvQtDialogScript> script_;
  std::filesystem::path print_file_;
  std::unique_ptr<QDialog> help_;
  QTextBrowser* help_text_ = nullptr;  // the help window's
};
