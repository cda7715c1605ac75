#pragma once
// CKavraView: one view of a document: the toolkit view record (camera and
// wallpaper) and the size in pixels of the window showing it, which is the
// image size of a render when the render settings ask for the viewport's
// size. A plain value owned by its document.

#include "host/toolkit/ScnView.h"

class CKavraView {
public:
  CKavraView() = default;
  CKavraView(const TK_ScnView& view, int width, int height);

  const TK_ScnView& View() const { return view_; }
  TK_ScnView& View() { return view_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Both sides must be at least 1; false (unchanged) otherwise.
  bool SetSize(int width, int height);

  bool operator==(const CKavraView& o) const { return view_ == o.view_ && width_ == o.width_ && height_ == o.height_; }

private:
  TK_ScnView view_;
  int width_ = 640;
  int height_ = 480;
};
