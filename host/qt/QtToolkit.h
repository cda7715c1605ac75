#pragma once
// KvQtToolkit: the window toolkit in Qt 6 Widgets. It needs the QApplication
// the program made (and must go before it); its frames are main windows,
// its dialogs Qt's own, the clipboard the system's. Printing asks for a
// printer, or writes a PDF file without asking once a print file is set
// (for scripts and tests). The toolkit owns the help window it shows.

#include <memory>

#include "host/platform/NativeWindows.h"

class QDialog;
class QTextBrowser;

class KvQtToolkit : public KvWindowToolkit {
public:
  // Throws std::logic_error without a QApplication.
  KvQtToolkit();
  ~KvQtToolkit() override;
  KvQtToolkit(const KvQtToolkit&) = delete;
  KvQtToolkit& operator=(const KvQtToolkit&) = delete;

  std::unique_ptr<KvFrameWindow> CreateFrameWindow(KvFrameEvents& events) override;
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

private:
  std::filesystem::path print_file_;
  std::unique_ptr<QDialog> help_;
  QTextBrowser* help_text_ = nullptr;  // the help window's
};
