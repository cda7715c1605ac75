#pragma once
// CKavraDocProperties: a document's properties: the render settings record
// and the list of custom render sizes offered by the render dialogs. Owned
// by its document; changes mark the document modified and raise the
// document-properties-changed event.

#include <span>

#include "host/toolkit/ScnRenderSettings.h"
#include "host/toolkit/SimpleArray.h"

class CKavraDoc;

struct KvRenderSize {
  int width = 0;
  int height = 0;
  bool operator==(const KvRenderSize&) const = default;
};

class CKavraDocProperties {
public:
  // Default render settings and the usual sizes 640 x 480, 800 x 600,
  // 1024 x 768, 1280 x 720 and 1920 x 1080.
  explicit CKavraDocProperties(CKavraDoc& doc);
  CKavraDocProperties(const CKavraDocProperties&) = delete;
  CKavraDocProperties& operator=(const CKavraDocProperties&) = delete;

  const TK_ScnRenderSettings& RenderSettings() const { return settings_; }
  void SetRenderSettings(const TK_ScnRenderSettings& settings);

  // Fills sizes (emptied first) and answers their number.
  int GetCustomRenderSizes(TK_SimpleArray<KvRenderSize>& sizes) const;
  // False (nothing changed) when a size has a side below 1.
  bool SetCustomRenderSizes(std::span<const KvRenderSize> sizes);
  std::span<const KvRenderSize> CustomRenderSizes() const { return sizes_; }

  // The sizes a new document offers.
  static std::vector<KvRenderSize> DefaultCustomRenderSizes();

  // Loading: replaces both without events or modification.
  void Load(const TK_ScnRenderSettings& settings, std::vector<KvRenderSize> sizes);

private:
  CKavraDoc& doc_;
  TK_ScnRenderSettings settings_;
  std::vector<KvRenderSize> sizes_;
};
