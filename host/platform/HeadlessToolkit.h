#pragma once
// The window toolkit without a display. Windows keep what a screen would
// show (caption, message line, menu, icon, sizes, scroll bars, capture,
// cursor, the area waiting for a paint) and paint into a bitmap, the
// screen, when someone looks at it, so that painting costs nothing until
// then. Dialogs and the file dialogs answer from scripts; the clipboard is
// the toolkit's own; there is no printer. The program renders through it when
// no display is wanted, and tests read its windows' state and pixels.

#include <deque>
#include <vector>

#include "host/platform/HeadlessDialog.h"
#include "host/platform/NativeWindows.h"
#include "host/platform/OruDib.h"

class KvHeadlessToolkit;

class KvHeadlessViewWindow : public KvViewWindow {
public:
  KvHeadlessViewWindow(const KvHeadlessToolkit& toolkit, SIZE& frame_client, KvViewEvents& events);

  SIZE ClientSize() const override;
  bool ScrollBarsShown() const override { return scroll_bars_; }
  void ShowScrollBars(bool show) override { scroll_bars_ = show; }
  void SetScrollInfo(int bar, int range, int page, int position) override;
  void SetScrollPos(int bar, int position) override;
  void SetCapture() override { capture_ = true; }
  void ReleaseCapture() override { capture_ = false; }
  bool HasCapture() const override { return capture_; }
  void SetCursor(const KvCursorShape* shape) override { cursor_ = shape; }
  void Invalidate(const RECT& area, bool erase) override;
  void UpdateWindow() override;

  struct ScrollBar {
    int range = 0;
    int page = 0;
    int position = 0;
    bool operator==(const ScrollBar&) const = default;
  };
  const ScrollBar& Bar(int bar) const { return bars_[bar == SB_VERT ? 1 : 0]; }
  const KvCursorShape* Cursor() const { return cursor_; }
  // What waits for a paint (empty when nothing does), and whether any of it
  // asked for erasing.
  const RECT& InvalidArea() const { return invalid_; }
  bool EraseRequested() const { return erase_; }
  // Immediate repaints asked for so far, and the area the last one covered.
  int RepaintCount() const { return repaints_; }
  const RECT& LastRepaintArea() const { return last_repaint_; }
  // The client area as painted: what waits is painted first.
  const COruDib& Screen();

private:
  void TakeInvalidArea();
  void Paint(const RECT& area, bool erase);

  const KvHeadlessToolkit& toolkit_;
  SIZE& frame_client_;
  KvViewEvents& events_;
  bool scroll_bars_ = false;
  ScrollBar bars_[2];
  bool capture_ = false;
  const KvCursorShape* cursor_ = nullptr;
  RECT invalid_{};
  bool erase_ = false;
  int repaints_ = 0;
  RECT last_repaint_{};
  // Painted since the last look at the screen, not yet drawn.
  RECT pending_{};
  bool pending_erase_ = false;
  COruDib screen_;
};

class KvHeadlessFrameWindow : public KvFrameWindow {
public:
  KvHeadlessFrameWindow(KvHeadlessToolkit& toolkit, KvFrameEvents& events);

  KvWindowToolkit& Toolkit() const override;
  std::unique_ptr<KvViewWindow> CreateViewWindow(KvViewEvents& events) override;
  void SetCaption(const TK_wString& caption) override { caption_ = caption; }
  void SetMessageText(const TK_wString& text) override { message_ = text; }
  void SetMenu(const KvMenuItem& bar) override { menu_ = bar; }
  void SetIcon(const KvIcon& icon) override { icon_ = icon; }
  SIZE WindowSize() const override { return size_; }
  void SetWindowSize(SIZE size) override;
  SIZE MaximizedWindowSize() const override;
  void Show() override { shown_ = true; }
  void Hide() override { shown_ = false; }

  const TK_wString& Caption() const { return caption_; }
  const TK_wString& MessageText() const { return message_; }
  const KvMenuItem& Menu() const { return menu_; }
  const KvIcon& Icon() const { return icon_; }
  bool Shown() const { return shown_; }
  KvFrameEvents& Events() const { return events_; }

private:
  KvHeadlessToolkit& toolkit_;
  KvFrameEvents& events_;
  TK_wString caption_;
  TK_wString message_;
  KvMenuItem menu_;
  KvIcon icon_;
  SIZE size_;
  SIZE client_;  // the view's outer size: the window less the border
  bool shown_ = false;
};

class KvHeadlessToolkit : public KvWindowToolkit {
public:
  struct Metrics {
    SIZE border{0, 0};                   // what a frame adds around its view
    SIZE maximized{1 << 20, 1 << 20};    // no screen: any window fits
    int scroll_bar = 16;                 // a scroll bar's thickness
  };
  KvHeadlessToolkit() = default;
  explicit KvHeadlessToolkit(const Metrics& metrics) : metrics_(metrics) {}

  std::unique_ptr<KvFrameWindow> CreateFrameWindow(KvFrameEvents& events) override;
  // Plays the next dialog script; without one the dialog is closed at once.
  int RunModalDialog(const KvDialogTemplate& dialog, KvDialogEvents& events) override;
  std::optional<std::filesystem::path> AskOpenImagePath(const std::filesystem::path& folder,
                                                        const std::filesystem::path& name) override;
  void ProcessEvents() override {}
  // Answers the next scripted answer; cancelled when none is left.
  std::optional<std::filesystem::path> AskSaveImagePath(KvFrameWindow* parent, const std::filesystem::path& folder,
                                                        const std::filesystem::path& name) override;
  bool CopyImageToClipboard(const COruDib& image) override;
  bool PrintImage(KvFrameWindow*, const COruDib&) override { return false; }
  int MessageBox(KvFrameWindow* parent, const TK_wString& text, const TK_wString& caption, UINT style) override;
  bool ShowHelpPage(const std::filesystem::path& page, const TK_wString& title) override;

  const Metrics& WindowMetrics() const { return metrics_; }
  // The next modal dialogs' users, in order.
  void ScriptDialog(KvHeadlessDialog::Script script) { dialog_scripts_.push_back(std::move(script)); }
  // The save and open dialogs' next answers, in order; none cancels.
  void ScriptSaveAnswer(std::optional<std::filesystem::path> answer) { save_answers_.push_back(std::move(answer)); }
  void ScriptOpenAnswer(std::optional<std::filesystem::path> answer) { open_answers_.push_back(std::move(answer)); }
  // The folder and name the last save or open dialog started with.
  const std::filesystem::path& LastSaveFolder() const { return last_save_folder_; }
  const std::filesystem::path& LastOpenFolder() const { return last_open_folder_; }
  const std::filesystem::path& LastOpenName() const { return last_open_name_; }
  const COruDib& Clipboard() const { return clipboard_; }
  // Refuses every clipboard copy from now on (a clipboard that is busy).
  void SetClipboardRefuses(bool refuses) { clipboard_refuses_ = refuses; }
  struct ShownMessage {
    TK_wString text;
    TK_wString caption;
    UINT style = 0;
  };
  const std::vector<ShownMessage>& Messages() const { return messages_; }
  const std::vector<std::filesystem::path>& HelpPages() const { return help_pages_; }

private:
  Metrics metrics_;
  std::deque<KvHeadlessDialog::Script> dialog_scripts_;
  std::deque<std::optional<std::filesystem::path>> save_answers_;
  std::deque<std::optional<std::filesystem::path>> open_answers_;
  std::filesystem::path last_save_folder_;
  std::filesystem::path last_open_folder_;
  std::filesystem::path last_open_name_;
  COruDib clipboard_;
  bool clipboard_refuses_ = false;
  std::vector<ShownMessage> messages_;
  std::vector<std::filesystem::path> help_pages_;
};
