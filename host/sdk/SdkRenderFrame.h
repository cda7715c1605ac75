#pragma once
// CKavraSdkRenderFrame: base of a plug-in's render window. It knows the
// document, the render session while the render runs, the image size asked
// for, its view (which it owns), a caption and a message line whose texts
// also go to a listener (the program shows them as progress). Its window is
// made by the application's window toolkit and owned here; the window's
// commands, menu updates and closing arrive as the handlers below.
// Created by the session, then owned by the host (the command context).

#include <functional>
#include <memory>

#include "host/platform/NativeWindows.h"
#include "host/platform/WinTypes.h"
#include "host/toolkit/ScnView.h"
#include "host/toolkit/String.h"

class CKavraDoc;
class CKavraRenderSystemPlugIn;
class CKavraSdkRender;
class CKavraSdkRenderViewWnd;

class CKavraSdkRenderFrame : private KvFrameEvents {
public:
  using MessageListener = std::function<void(const TK_wString& text)>;

  explicit CKavraSdkRenderFrame(CKavraDoc& doc);
  virtual ~CKavraSdkRenderFrame();
  CKavraSdkRenderFrame(const CKavraSdkRenderFrame&) = delete;
  CKavraSdkRenderFrame& operator=(const CKavraSdkRenderFrame&) = delete;

  // Creates the window with the application's toolkit: PreCreateWindow,
  // OnCreate (which makes the view and its window), then shows it and calls
  // OnShowWindow(true, 0). False when a step refused; the frame is then not
  // a window. Must run on the thread that will pump the view's messages.
  bool Create();
  bool IsWindow() const { return created_; }
  bool IsVisible() const { return visible_; }
  // Closes the window as the user would: OnClose.
  void Close() { OnClose(); }

  // Window handlers. OnCreate answers 0, or -1 to refuse the creation.
  virtual bool PreCreateWindow(unsigned& style);
  virtual int OnCreate();
  virtual void OnShowWindow(bool show, int status);
  // Stops a running render, destroys the view's window, hides the frame's
  // and posts KavraSdkRenderCloseRenderFrameMsg() to the thread.
  void OnClose() override;
  // A menu command; nothing by default.
  void OnCommand(int id) override;
  // A command item's state as its menu opens: enabled and unchecked by default.
  KvCommandState OnUpdateCommand(int id) override;

  // Rendering. The defaults make no view and start nothing.
  virtual std::unique_ptr<CKavraSdkRenderViewWnd> CreateRenderView();
  virtual bool StartRendering();
  virtual bool IsRendering() const;
  // Records that a stop was asked for; overrides stop their render, then
  // call this.
  virtual bool StopRendering();
  bool StopWasRequested() const { return stop_requested_; }
  // The image out of the window, for the host: to a file (with the save
  // dialog when path is null) or to the clipboard. The defaults decline.
  virtual bool SaveImage(const TK_wString* path);
  virtual bool CopyToClipboard();

  CKavraDoc& Document() const { return doc_; }
  // Null once the render command has returned.
  CKavraSdkRender* Session() const { return session_; }
  // The plug-in whose session made the frame; kept after the render.
  CKavraRenderSystemPlugIn* PlugIn() const;
  CKavraSdkRenderViewWnd* RenderView() const { return view_.get(); }
  // The view record rendered and the image size asked for.
  const TK_ScnView& View() const { return scn_view_; }
  int ImageWidth() const { return image_size_.cx; }
  int ImageHeight() const { return image_size_.cy; }
  // The resource number of the window's icon and menu.
  unsigned ResourceId() const { return resource_id_; }
  unsigned Style() const { return style_; }

  // The message line.
  void SetMessageText(const TK_wString& text);
  const TK_wString& MessageText() const { return message_; }
  void SetMessageListener(MessageListener listener) { listener_ = std::move(listener); }

  void SetWindowText(const TK_wString& caption);
  const TK_wString& WindowText() const { return caption_; }
  // The caption of the host's main window, which a frame may replace while
  // the host is minimised.
  const TK_wString& HostWindowText() const { return host_caption_; }
  void SetHostWindowText(const TK_wString& caption) { host_caption_ = caption; }

  // The toolkit's window: null before Create.
  KvFrameWindow* Window() const { return window_.get(); }
  // Outer size of the window (0 x 0 before Create); the view's client area
  // is that less the border (menu, message line, edges) and scroll bars.
  SIZE WindowSize() const;
  void SetWindowSize(SIZE size);

private:
  friend class CKavraSdkRender;
  // The session's side: set before Create, cleared when its render returns.
  void Attach(CKavraSdkRender* session, const TK_ScnView& view, SIZE image_size, unsigned resource_id);
  void Detach() { session_ = nullptr; }

  CKavraDoc& doc_;
  CKavraSdkRender* session_ = nullptr;
  CKavraRenderSystemPlugIn* plugin_ = nullptr;
  std::unique_ptr<KvFrameWindow> window_;  // declared first: outlives the view's window
  std::unique_ptr<CKavraSdkRenderViewWnd> view_;
  TK_ScnView scn_view_;
  SIZE image_size_;
  unsigned resource_id_ = 0;
  unsigned style_ = 0;
  bool created_ = false;
  bool visible_ = false;
  bool stop_requested_ = false;
  TK_wString message_;
  MessageListener listener_;
  TK_wString caption_;
  TK_wString host_caption_;
};
