#include "host/app/View.h"

CKavraView::CKavraView(const TK_ScnView& view, int width, int height) : view_(view) { SetSize(width, height); }

bool CKavraView::SetSize(int width, int height) {
  if (width < 1 || height < 1) return false;
  width_ = width;
  height_ = height;
  return true;
}
