#pragma once
// TK_ScnRenderSettings: a document's render settings, owned by the document's
// properties; renderers copy the whole record, change fields and write it back.
// A plain value.

#include "host/toolkit/Color.h"

class TK_BinaryArchive;

// The antialiasing levels a render settings record stores (m_antialias_level).
inline constexpr int kAntialiasNone = 0;
inline constexpr int kAntialiasNormal = 1;     // 2 x 2 box
inline constexpr int kAntialiasBest = 2;       // 3 x 3 tent
inline constexpr int kAntialiasBest4x4 = 3;    // 4 x 4 tent
inline constexpr int kMaxAntialiasLevel = kAntialiasBest4x4;

class TK_ScnRenderSettings {
public:
  // 0: the image takes the active viewport's size; 1: m_image_width x m_image_height.
  int m_custom_imagesize = 0;
  int m_image_width = 640;
  int m_image_height = 480;
  // A dim grey, so that faces no light reaches keep their shape.
  TK_Color m_ambient_color{30, 30, 30};
  TK_Color m_background_color{255, 255, 255};
  // Lights on layers that are off take part in renders (0 or 1).
  int m_use_hidden_lights = 0;
  // Drawing over the finished image (0 or 1 each).
  int m_render_curves_and_isocurves = 0;
  int m_render_dimensions_and_text = 0;
  int m_render_annotation_dots = 0;
  int m_render_points = 0;
  int m_render_mesh_wireframe = 0;
  // kAntialiasNone .. kMaxAntialiasLevel.
  int m_antialias_level = kAntialiasNormal;
  // 0 none, 1 normal, 2 best.
  int m_shadow_level = 1;
  int m_shadowmap_width = 1024;
  int m_shadowmap_height = 1024;  // written equal to the width
  double m_shadowmap_offset = 1.0;

  // Layout, version 1.0: int 1, int 0, then the fields above in declaration
  // order (ints, colours, one double). Values are stored as they are; users
  // clamp what they read. Read accepts major version 1 only and changes
  // nothing unless every field was read.
  bool Write(TK_BinaryArchive& archive) const;
  bool Read(TK_BinaryArchive& archive);

  bool operator==(const TK_ScnRenderSettings&) const = default;
};
