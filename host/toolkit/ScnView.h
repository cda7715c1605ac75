#pragma once
// A named view of a document: its camera (m_vp) and the wallpaper bitmap
// shown behind it, optionally in grey. A plain record owning its fields.

#include "host/toolkit/String.h"
#include "host/toolkit/Viewport.h"

class TK_ScnView {
public:
  bool operator==(const TK_ScnView& o) const {
    return m_name == o.m_name && m_vp == o.m_vp && m_wallpaper_filename == o.m_wallpaper_filename &&
           m_wallpaper_grey == o.m_wallpaper_grey;
  }

  TK_wString m_name;
  TK_Viewport m_vp;
  TK_wString m_wallpaper_filename;  // empty: no wallpaper
  bool m_wallpaper_grey = false;
};
