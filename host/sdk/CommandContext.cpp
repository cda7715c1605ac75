#include "host/sdk/CommandContext.h"

#include "host/sdk/SdkRenderFrame.h"

CKavraCommandContext::CKavraCommandContext(CKavraDoc& doc) : doc_(doc) {}

// Newest window first, the way a user would close them.
CKavraCommandContext::~CKavraCommandContext() {
  while (!frames_.empty()) frames_.pop_back();
}

void CKavraCommandContext::KeepRenderFrame(std::unique_ptr<CKavraSdkRenderFrame> frame) {
  if (frame) frames_.push_back(std::move(frame));
}

std::optional<TK_wString> CKavraCommandContext::Option(const std::wstring& name) const {
  const auto it = options_.find(name);
  if (it == options_.end()) return std::nullopt;
  return it->second;
}

CKavraSdkRenderFrame* CKavraCommandContext::RenderFrame(int index) const {
  return index >= 0 && index < RenderFrameCount() ? frames_[std::size_t(index)].get() : nullptr;
}

CKavraSdkRenderFrame* CKavraCommandContext::LastRenderFrame() const {
  return frames_.empty() ? nullptr : frames_.back().get();
}
