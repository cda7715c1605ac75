#include "host/toolkit/ScnRenderSettings.h"

#include "host/toolkit/BinaryArchive.h"

bool TK_ScnRenderSettings::Write(TK_BinaryArchive& a) const {
  return a.WriteInt(1) && a.WriteInt(0) && a.WriteInt(m_custom_imagesize) && a.WriteInt(m_image_width) &&
         a.WriteInt(m_image_height) && a.WriteColor(m_ambient_color) && a.WriteColor(m_background_color) &&
         a.WriteInt(m_use_hidden_lights) && a.WriteInt(m_render_curves_and_isocurves) &&
         a.WriteInt(m_render_dimensions_and_text) && a.WriteInt(m_render_annotation_dots) &&
         a.WriteInt(m_render_points) && a.WriteInt(m_render_mesh_wireframe) && a.WriteInt(m_antialias_level) &&
         a.WriteInt(m_shadow_level) && a.WriteInt(m_shadowmap_width) && a.WriteInt(m_shadowmap_height) &&
         a.WriteDouble(m_shadowmap_offset);
}

bool TK_ScnRenderSettings::Read(TK_BinaryArchive& a) {
  int major = 0, minor = 0;
  if (!a.ReadInt(major) || !a.ReadInt(minor) || major != 1) return false;
  TK_ScnRenderSettings s;
  if (!(a.ReadInt(s.m_custom_imagesize) && a.ReadInt(s.m_image_width) && a.ReadInt(s.m_image_height) &&
        a.ReadColor(s.m_ambient_color) && a.ReadColor(s.m_background_color) && a.ReadInt(s.m_use_hidden_lights) &&
        a.ReadInt(s.m_render_curves_and_isocurves) && a.ReadInt(s.m_render_dimensions_and_text) &&
        a.ReadInt(s.m_render_annotation_dots) && a.ReadInt(s.m_render_points) &&
        a.ReadInt(s.m_render_mesh_wireframe) && a.ReadInt(s.m_antialias_level) && a.ReadInt(s.m_shadow_level) &&
        a.ReadInt(s.m_shadowmap_width) && a.ReadInt(s.m_shadowmap_height) && a.ReadDouble(s.m_shadowmap_offset)))
    return false;
  *this = s;
  return true;
}
