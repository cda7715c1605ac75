#pragma once
// CKavraCommandContext: what the host hands a plug-in command (Render,
// RenderWindow): the document, the program's stop request, the listener that
// shows render progress, and the render windows the command opened, which
// the context owns so that they outlive the render session. The caller owns
// the context and the flag it points to.

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

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

private:
  CKavraDoc& doc_;
  const std::atomic<bool>* stop_ = nullptr;
  MessageListener listener_;
  std::vector<std::unique_ptr<CKavraSdkRenderFrame>> frames_;
};
