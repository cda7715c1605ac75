#pragma once
// CKavraCommandContext: what the host hands a plug-in command (Render,
// RenderWindow): the document, options given on the program's command line,
// the program's stop request, the listener that shows render progress, and
// what the command left: the render windows it opened (owned here, so they
// outlive the render session), the host's code for its last render and what
// that render reported. The
// caller owns the context and the flag it points to.

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "host/sdk/RenderReport.h"
#include "host/toolkit/String.h"

class CKavraDoc;
class CKavraSdkRenderFrame;

// Results of a host command.
enum class KvCommandResult : int { success = 0, cancel = 1, nothing = 2, failure = 3 };

class CKavraCommandContext {
public:
  // Receives every text a render window puts on its message line.
  using MessageListener = std::function<void(const TK_wString& text)>;

  explicit CKavraCommandContext(CKavraDoc& doc);
  ~CKavraCommandContext();
  CKavraCommandContext(const CKavraCommandContext&) = delete;
  CKavraCommandContext& operator=(const CKavraCommandContext&) = delete;

  CKavraDoc& Document() const { return doc_; }

  // Options of the command line by name, for the plug-in to honour for this
  // command (say "favor-memory" = "1"); none when not given.
  void SetOption(const std::wstring& name, const TK_wString& value) { options_[name] = value; }
  std::optional<TK_wString> Option(const std::wstring& name) const;

  // A flag the program raises (from a signal handler, say) to stop a
  // running render; null: nothing asks to stop.
  void SetStopRequest(const std::atomic<bool>* flag) { stop_ = flag; }
  bool StopRequested() const { return stop_ != nullptr && stop_->load(); }

  void SetMessageListener(MessageListener listener) { listener_ = std::move(listener); }
  const MessageListener& Listener() const { return listener_; }

  // Render windows opened by the command, oldest first; kept open (and
  // their images with them) until the context goes.
  void KeepRenderFrame(std::unique_ptr<CKavraSdkRenderFrame> frame);
  int RenderFrameCount() const { return int(frames_.size()); }
  // Null for an index out of range.
  CKavraSdkRenderFrame* RenderFrame(int index) const;
  CKavraSdkRenderFrame* LastRenderFrame() const;

  // The code the host's render answered last (CKavraSdkRender's codes);
  // none before a render.
  void SetRenderCode(int code) { render_code_ = code; }
  std::optional<int> RenderCode() const { return render_code_; }

  // What the last render reported of itself; a render starts it afresh.
  KvRenderReport& Report() { return report_; }
  const KvRenderReport& Report() const { return report_; }

private:
  CKavraDoc& doc_;
  std::map<std::wstring, TK_wString> options_;
  std::optional<int> render_code_;
  KvRenderReport report_;
  const std::atomic<bool>* stop_ = nullptr;
  MessageListener listener_;
  std::vector<std::unique_ptr<CKavraSdkRenderFrame>> frames_;
};
