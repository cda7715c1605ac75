#pragma once
// CRenderFrame: the plug-in's render window. It forwards start, stop and the
// rendering query to its view, sizes itself to the image (reducing it by a
// whole factor when the screen is too small), keeps the caption (the base
// caption, the zoom text and the untitled render number or the saved file's
// name) and runs its menu: Save As, Copy, Print, Exit, Display Help and the
// zooms. The session makes it, the host owns it; it owns its view through
// the host base.

#include <memory>

#include "host/sdk/SdkRenderFrame.h"

class CRenderSession;
class CRenderView;

class CRenderFrame : public CKavraSdkRenderFrame {
public:
  // Show statuses: the owner window is being minimised or restored.
  static constexpr int kOwnerMinimizing = 1;
  static constexpr int kOwnerRestoring = 3;
  // Clip siblings and clip children.
  static constexpr unsigned kClipStyles = 0x06000000;
  // The longest host caption kept while the host is minimised.
  static constexpr std::size_t kMaxOwnerCaption = 260;

  explicit CRenderFrame(CKavraDoc& doc);

  // The help topic of the render window.
  static constexpr int kHelpTopic = 5002;

  bool PreCreateWindow(unsigned& style) override;
  // The first show loads the window's icon and menu and takes its caption.
  void OnShowWindow(bool show, int status) override;
  void OnCommand(int id) override;
  // Save As, Copy, Print and Display Help wait for the render to end; the
  // zooms also for an image, and the current one is checked.
  KvCommandState OnUpdateCommand(int id) override;

  std::unique_ptr<CKavraSdkRenderViewWnd> CreateRenderView() override;
  // The view starts the render; on success the untitled render counter
  // advances and the caption takes its number.
  bool StartRendering() override;
  bool IsRendering() const override;
  // The view stops the render, then the host base records the stop.
  bool StopRendering() override;

  // Asks where to save the image (starting where the last render image was
  // saved) and writes it there; the saved file then names the window.
  void OnSaveAs();
  // Writes the image to path without a dialog, or with one when path is
  // null; the caption stays. Answers whether it was written.
  bool SaveImage(const TK_wString* path) override;
  bool CopyToClipboard() override;
  // Copy, with a message box when the clipboard cannot take the image.
  void OnCopy();

  // Zoom menu commands: 32777 is 1, 32778 .. 32786 are 2 .. 10 and 32787 ..
  // 32795 are -2 .. -10. Other commands give 1, other zooms 32777.
  static int ZoomOfCommand(int id);
  static int CommandOfZoom(int zoom);

  // Null before the window is created.
  CRenderView* GetRenderView() const;
  // The render session while the render runs, when it is a CRenderSession.
  CRenderSession* RenderSession() const;

  // Sizes the frame so that its view shows the whole image and sets the
  // view's fitted zoom. Nothing without a view.
  void FitWindowToImage();
  // "(z:1)" at zoom z of 1 or more, "(1:k)" at zoom -k.
  void UpdateZoomText();
  // Base caption, zoom text, then the saved file's name or the untitled
  // render number. Nothing before the base caption is known.
  void UpdateCaption();

  const TK_wString& BaseCaption() const { return m_base_caption; }
  const TK_wString& ZoomText() const { return m_zoom_text; }
  // File name and extension of the last successful save, which names the
  // window from then on.
  const TK_wString& FileNameText() const { return m_file_name_text; }
  void SetFileNameText(const TK_wString& name);
  const TK_wString& SavedOwnerCaption() const { return m_saved_owner_caption; }

  // The module-wide number of the last render started in any frame: -1
  // before the first.
  static int UntitledRenderCounter();

  struct Fit {
    int zoom = 1;    // 1, or -k for a reduction by k
    SIZE frame;      // the frame's new outer size
  };
  // The fit of an image into a maximised-window size less a 50-pixel margin,
  // given what the frame adds around the view's client area.
  static Fit FitToScreen(SIZE image, SIZE overhead, SIZE maximized);

private:
  // Icon and menu once loaded; a missing one is tried again at the next show.
  const KvIcon* m_icon = nullptr;
  bool m_menu_loaded = false;
  TK_wString m_base_caption;
  TK_wString m_zoom_text;
  TK_wString m_file_name_text;
  TK_wString m_saved_owner_caption;
};
