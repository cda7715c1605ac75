#include "host/app/DocProperties.h"

#include "host/app/Doc.h"
#include "host/app/EventWatcher.h"

CKavraDocProperties::CKavraDocProperties(CKavraDoc& doc) : doc_(doc), sizes_(DefaultCustomRenderSizes()) {}

std::vector<KvRenderSize> CKavraDocProperties::DefaultCustomRenderSizes() {
  return {{640, 480}, {800, 600}, {1024, 768}, {1280, 720}, {1920, 1080}};
}

void CKavraDocProperties::SetRenderSettings(const TK_ScnRenderSettings& settings) {
  settings_ = settings;
  doc_.SetModified(true);
  doc_.RaiseEvent([this](CKavraEventWatcher& w) { w.OnDocumentPropertiesChanged(doc_); });
}

int CKavraDocProperties::GetCustomRenderSizes(TK_SimpleArray<KvRenderSize>& sizes) const {
  sizes.Empty();
  for (const KvRenderSize& size : sizes_)
    if (!sizes.Append(size)) break;
  return sizes.Count();
}

bool CKavraDocProperties::SetCustomRenderSizes(std::span<const KvRenderSize> sizes) {
  for (const KvRenderSize& size : sizes)
    if (size.width < 1 || size.height < 1) return false;
  sizes_.assign(sizes.begin(), sizes.end());
  doc_.SetModified(true);
  doc_.RaiseEvent([this](CKavraEventWatcher& w) { w.OnDocumentPropertiesChanged(doc_); });
  return true;
}

void CKavraDocProperties::Load(const TK_ScnRenderSettings& settings, std::vector<KvRenderSize> sizes) {
  settings_ = settings;
  sizes_ = std::move(sizes);
}
