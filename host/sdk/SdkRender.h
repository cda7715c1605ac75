#pragma once
// CKavraSdkRender: base of a plug-in's render session, one per render
// command. Render and RenderWindow hand the session the document's scene
// through its virtual operations (declared in the order of the host's
// slots), have it create the render window, start the render, pump the host
// thread's messages until the session stops rendering, and answer a code.
// The plug-in owns the session; the command context keeps the window.

#include <memory>

#include "host/platform/WinTypes.h"
#include "host/toolkit/String.h"

class CKavraCommandContext;
class CKavraDoc;
class CKavraLight;
class CKavraObject;
class CKavraRenderSystemPlugIn;
class CKavraSdkRenderFrame;
class CKavraView;
class TK_Material;
class TK_Mesh;
class TK_ScnView;
using CKavraRenderPlugIn = CKavraRenderSystemPlugIn;

class CKavraSdkRender {
public:
  // Codes Render and RenderWindow answer.
  enum RenderReturnCode : int {
    render_completed = 0,
    render_failed = 1,          // the render stopped on its own before completing
    render_cancelled = 2,       // stopped by the user or the program
    render_no_view = 3,         // no view to render
    render_bad_image_size = 4,  // a side below 1 or above kMaxImageSide
    render_scene_refused = 5,   // AddRenderMesh or AddLight answered false
    render_no_window = 6,       // no render window, or its window could not be made
    render_start_failed = 7,    // the window's StartRendering answered false
    render_busy = 8,            // the session is already rendering in a window
  };
  static constexpr int kMaxImageSide = 16384;
  // How long a stopped render may take to end before the host gives up on it.
  static constexpr DWORD kStopGraceMilliseconds = 5000;

  CKavraSdkRender(CKavraDoc& doc, CKavraRenderPlugIn* plugin);
  CKavraSdkRender(const CKavraSdkRender&) = delete;
  CKavraSdkRender& operator=(const CKavraSdkRender&) = delete;

  // The slots the host calls. The host asks nothing of the queries; their
  // defaults decline.
  virtual bool HostQueryA();
  virtual bool HostQueryB();
  virtual bool HostQueryC();
  virtual bool HostQueryD(void* argument);
  virtual bool AddRenderMesh(const CKavraObject& object, const TK_Material& material, const TK_Mesh* mesh);
  virtual bool AddLight(const CKavraLight& light);
  virtual void AbortRender();
  virtual bool HostQueryE(void* first, void* second);
  virtual bool ClearSceneChangeFlags();
  virtual std::unique_ptr<CKavraSdkRenderFrame> CreateRenderFrame(CKavraDoc* doc);
  virtual bool HostQueryF();
  virtual bool IsRendering() const;
  virtual bool HostQueryG();
  virtual ~CKavraSdkRender();

  // Renders the document's active view into a render window. A size of
  // (0, 0) takes the image size from the render settings (custom size, or
  // the active view's size); title is the window's caption and resource_id
  // names its icon and menu. The window goes to context's render frames and
  // the code to its render code, except render_busy: the context belongs to
  // the render in progress. The context's report starts afresh with the
  // time the scene took to gather; the session may add to it.
  int Render(CKavraCommandContext& context, SIZE size, const wchar_t* title, unsigned resource_id);
  // Renders the given view at the size of rect.
  int RenderWindow(CKavraCommandContext& context, const CKavraView* view, const RECT& rect);

  // Localised text for a code of Render or RenderWindow.
  static TK_wString RenderReturnCodesToString(int code);

  CKavraDoc& Document() const { return doc_; }
  CKavraRenderPlugIn* PlugIn() const { return plugin_; }
  // The render window of the render in progress; null outside Render.
  CKavraSdkRenderFrame* Frame() const { return frame_; }

private:
  // Both record their code in the context.
  int RenderView(CKavraCommandContext& context, const TK_ScnView& view, SIZE size, const TK_wString& title,
                 unsigned resource_id);
  static int Refuse(CKavraCommandContext& context, int code);
  int RenderInWindow(CKavraCommandContext& context, const TK_ScnView& view, SIZE size, const TK_wString& title,
                     unsigned resource_id);
  bool GatherScene();
  // Pumps until the session stops rendering; answers whether it was stopped.
  bool PumpUntilDone(CKavraCommandContext& context, CKavraSdkRenderFrame& frame);

  CKavraDoc& doc_;
  CKavraRenderPlugIn* plugin_;
  CKavraSdkRenderFrame* frame_ = nullptr;
};

// Registered message ids. Posted to the host thread when a render window
// closes or its render is cancelled; a render in progress stops on either.
UINT KavraSdkRenderCloseRenderFrameMsg();
UINT KavraSdkRenderRenderFrameCancelMsg();
