#pragma once
// The window toolkit behind the host's render windows. A frame window is a
// top-level window with a caption, a menu bar, icons and a message line; a
// view window is its client area, with scroll bars, mouse capture and a
// cursor, painted on request. The host's frame and view classes own one
// each and receive their events through KvFrameEvents and KvViewEvents, on
// the user-interface thread. The application owns the toolkit; windows
// must not outlive it.

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "host/platform/DialogTemplate.h"
#include "host/platform/Menu.h"
#include "host/platform/Pixmap.h"
#include "host/platform/WinTypes.h"
#include "host/toolkit/String.h"

class COruDib;
class KvPaintSurface;
class KvWindowToolkit;

// Scroll bars and the scroll codes a scroll bar reports.
inline constexpr int SB_HORZ = 0;
inline constexpr int SB_VERT = 1;
inline constexpr int SB_LINEUP = 0;  // also line left
inline constexpr int SB_LINEDOWN = 1;
inline constexpr int SB_PAGEUP = 2;
inline constexpr int SB_PAGEDOWN = 3;
inline constexpr int SB_THUMBPOSITION = 4;
inline constexpr int SB_THUMBTRACK = 5;
inline constexpr int SB_TOP = 6;
inline constexpr int SB_BOTTOM = 7;
inline constexpr int SB_ENDSCROLL = 8;

// Message box styles and answers.
inline constexpr UINT MB_OK = 0x00;
inline constexpr UINT MB_ICONEXCLAMATION = 0x30;

class KvFrameEvents {
public:
  virtual void OnCommand(int id) = 0;
  // Asked for each command item whenever the menu is about to show.
  virtual KvCommandState OnUpdateCommand(int id) = 0;
  // The user closes the window.
  virtual void OnClose() = 0;

protected:
  ~KvFrameEvents() = default;
};

class KvViewEvents {
public:
  // Before a paint whose area asked for erasing: true when the handler
  // painted (or chose not to paint) the background itself.
  virtual bool OnEraseBackground(KvPaintSurface& surface) = 0;
  virtual void OnPaint(KvPaintSurface& surface) = 0;
  // One notch is 120; positive turns away from the user.
  virtual void OnMouseWheel(int delta) = 0;
  // A scroll bar's action; track is the thumb's position for SB_THUMBTRACK.
  virtual void OnScroll(int bar, int code, int track) = 0;
  virtual void OnLButtonDown(POINT point) = 0;
  virtual void OnMouseMove(POINT point) = 0;
  virtual void OnLButtonUp(POINT point) = 0;
  // The mouse moved over the window: true when the handler kept or set the
  // cursor, false for the toolkit's arrow.
  virtual bool OnSetCursor() = 0;

protected:
  ~KvViewEvents() = default;
};

class KvViewWindow {
public:
  virtual ~KvViewWindow() = default;

  // The client area: the view less the scroll bars shown.
  virtual SIZE ClientSize() const = 0;

  virtual bool ScrollBarsShown() const = 0;
  // Both bars at once.
  virtual void ShowScrollBars(bool show) = 0;
  // A bar's positions run from 0 to range - page; both redraw the bar.
  virtual void SetScrollInfo(int bar, int range, int page, int position) = 0;
  virtual void SetScrollPos(int bar, int position) = 0;

  virtual void SetCapture() = 0;
  virtual void ReleaseCapture() = 0;
  virtual bool HasCapture() const = 0;
  // Null: the toolkit's arrow.
  virtual void SetCursor(const KvCursorShape* shape) = 0;

  // Marks an area for repainting, erasing its background first or not.
  virtual void Invalidate(const RECT& area, bool erase) = 0;
  // Repaints what is marked, now.
  virtual void UpdateWindow() = 0;
};

// The toolkit's side of a running modal dialog: its controls by id.
class KvDialogWindow {
public:
  virtual TK_wString Text(int id) const = 0;
  virtual void SetText(int id, const TK_wString& text) = 0;
  virtual bool Checked(int id) const = 0;
  virtual void SetChecked(int id, bool checked) = 0;
  virtual bool IsEnabled(int id) const = 0;
  virtual void Enable(int id, bool enabled) = 0;
  virtual COLORREF Colour(int id) const = 0;
  virtual void SetColour(int id, COLORREF colour) = 0;
  // A drop-down list's items and its selection (-1: none).
  virtual void SetListItems(int id, const std::vector<TK_wString>& items) = 0;
  virtual int ListSelection(int id) const = 0;
  virtual void SetListSelection(int id, int index) = 0;
  virtual TK_wString Caption() const = 0;
  virtual void SetCaption(const TK_wString& caption) = 0;
  virtual void SetIcon(const KvIcon& icon) = 0;
  // Ends the modal run with the result (IDOK, IDCANCEL) once the event in
  // progress has been handled.
  virtual void EndDialog(int result) = 0;

protected:
  ~KvDialogWindow() = default;
};

// What a modal dialog hears from its toolkit.
class KvDialogEvents {
public:
  // The controls exist; set them up.
  virtual void OnInitDialog(KvDialogWindow& window) = 0;
  // A button was clicked (OK and Cancel too; closing the window is Cancel),
  // or a drop-down list's selection changed.
  virtual void OnCommand(int id) = 0;
  // A character typed into an edit: false drops it.
  virtual bool OnChar(int id, wchar_t c) = 0;
  // The user finished with an edit (it lost the focus).
  virtual void OnKillFocus(int id) = 0;
  // A spin's arrow: +1 up, -1 down, held for `held_ms` when repeating.
  virtual void OnSpin(int id, int direction, int held_ms) = 0;

protected:
  ~KvDialogEvents() = default;
};

class KvFrameWindow {
public:
  virtual ~KvFrameWindow() = default;

  virtual KvWindowToolkit& Toolkit() const = 0;
  // The view filling the frame's client area; one per frame.
  virtual std::unique_ptr<KvViewWindow> CreateViewWindow(KvViewEvents& events) = 0;

  virtual void SetCaption(const TK_wString& caption) = 0;
  virtual void SetMessageText(const TK_wString& text) = 0;
  virtual void SetMenu(const KvMenuItem& bar) = 0;
  virtual void SetIcon(const KvIcon& icon) = 0;

  // Outer size: the view plus border, menu bar and message line.
  virtual SIZE WindowSize() const = 0;
  // Resizes without moving the window or changing its stacking order.
  virtual void SetWindowSize(SIZE size) = 0;
  // The largest outer size a window can have on its screen.
  virtual SIZE MaximizedWindowSize() const = 0;
  virtual void Show() = 0;
  // Takes the window off the screen when its frame closes; it keeps its
  // contents until its owner destroys it.
  virtual void Hide() = 0;
};

class KvWindowToolkit {
public:
  virtual ~KvWindowToolkit() = default;

  virtual std::unique_ptr<KvFrameWindow> CreateFrameWindow(KvFrameEvents& events) = 0;
  // Runs a modal dialog built from the template until it ends; answers its
  // result. A toolkit without dialogs answers IDCANCEL at once.
  virtual int RunModalDialog(const KvDialogTemplate& dialog, KvDialogEvents& events);
  // Asks for an image file to open, starting in `folder` with `name`,
  // showing previews; none when cancelled (or without dialogs).
  virtual std::optional<std::filesystem::path> AskOpenImagePath(const std::filesystem::path& folder,
                                                                const std::filesystem::path& name);
  // Handles the toolkit's pending events (input, paints) and returns; a
  // loop pumping the host's own messages calls it between them.
  virtual void ProcessEvents() = 0;

  // Asks where to save an image, starting in `folder` with the suggested
  // name; none when the user cancels. The file's extension picks its format.
  virtual std::optional<std::filesystem::path> AskSaveImagePath(KvFrameWindow* parent,
                                                                const std::filesystem::path& folder,
                                                                const std::filesystem::path& name) = 0;
  virtual bool CopyImageToClipboard(const COruDib& image) = 0;
  // Runs printing with the user's choice of printer; false when cancelled
  // or failed.
  virtual bool PrintImage(KvFrameWindow* parent, const COruDib& image) = 0;
  // Answers the button pressed (IDOK).
  virtual int MessageBox(KvFrameWindow* parent, const TK_wString& text, const TK_wString& caption, UINT style) = 0;
  // Shows a help page (a Markdown file); false when it cannot be shown.
  virtual bool ShowHelpPage(const std::filesystem::path& page, const TK_wString& title) = 0;
};
