#include "apps/duskmoth/InfoCommand.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

#include "apps/duskmoth/CameraChoice.h"
#include "apps/duskmoth/CommandLine.h"
#include "apps/duskmoth/SceneLoading.h"
#include "host/app/Doc.h"
#include "host/import/RendererRecords.h"

namespace {

std::string Num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

std::string Hex(TK_Color c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", c.Red(), c.Green(), c.Blue());
  return text;
}

template <typename V> std::string Triple(const V& v) { return "(" + Num(v.x) + ", " + Num(v.y) + ", " + Num(v.z) + ")"; }

std::string Quoted(const TK_wString& s) { return "\"" + s.ToUtf8() + "\""; }
const char* YesNo(bool b) { return b ? "yes" : "no"; }
double Degrees(double radians) { return radians * 180.0 / std::numbers::pi; }

int TriangleCount(const TK_Mesh& mesh) {
  int n = 0;
  for (const TK_MeshFace& f : mesh.m_F) n += f.IsTriangle() ? 1 : 2;
  return n;
}

std::string LayerName(const CKavraDoc& doc, int index) {
  const TK_Layer* layer = doc.LayerTable().At(index);
  return layer ? Quoted(layer->Name()) : "#" + std::to_string(index) + " (none)";
}

std::string MapText(const char* name, const MapRecord& m) {
  std::string text = std::string("      ") + name + " map: " + (m.enabled ? "on" : "off");
  if (!m.file_name.IsEmpty()) text += ", " + m.file_name.ToUtf8();
  text += ", amount " + Num(m.amount) + ", tiling " + Num(m.tiling_u) + " x " + Num(m.tiling_v) + ", offset " +
          Num(m.offset_u) + ", " + Num(m.offset_v) + (m.filter == 1 ? ", filtered" : ", not filtered");
  return text;
}

void DescribeRendererSettings(const TK_Material& material, std::ostream& out) {
  const std::vector<std::uint8_t> bytes = renderer_records::MaterialRecordBytes(material);
  if (bytes.empty()) return;
  TK_Material stored;
  MaterialRecord s;
  if (!renderer_records::ReadMaterialRecord(bytes, stored, s)) {
    out << "    renderer settings: " << bytes.size() << " bytes that do not read as the renderer's record\n";
    return;
  }
  out << "    renderer settings: two-sided " << YesNo(s.two_sided) << ", faceted " << YesNo(s.faceted)
      << ", luminosity " << Num(s.luminosity);
  if (s.use_luminosity_color) out << " in " << Hex(s.luminosity_color);
  out << ", specular level " << Num(s.specular_level) << ", reflectivity " << Num(s.reflectivity) << '\n';
  const std::pair<const char*, const MapRecord*> maps[] = {{"texture", &s.texture},
                                                                     {"specular", &s.specular},
                                                                     {"environment", &s.environment},
                                                                     {"bump", &s.bump},
                                                                     {"transparency", &s.transparency}};
  for (const auto& [name, map] : maps)
    if (map->enabled || !map->file_name.IsEmpty()) out << MapText(name, *map) << '\n';
}

void DescribeObjects(const CKavraDoc& doc, std::ostream& out) {
  long long triangles = 0;
  for (int i = 0; i < doc.ObjectCount(); ++i)
    for (int m = 0; m < doc.ObjectAt(i)->RenderMeshCount(); ++m) triangles += TriangleCount(*doc.ObjectAt(i)->RenderMesh(m));
  out << "Objects: " << doc.ObjectCount() << " (" << triangles << " triangles)\n";
  for (int i = 0; i < doc.ObjectCount(); ++i) {
    const CKavraObject& o = *doc.ObjectAt(i);
    int n = 0, vertices = 0;
    for (int m = 0; m < o.RenderMeshCount(); ++m) {
      n += TriangleCount(*o.RenderMesh(m));
      vertices += o.RenderMesh(m)->VertexCount();
    }
    const int material = doc.RenderMaterialIndex(o);
    out << "  " << Quoted(o.Name()) << ": " << o.RenderMeshCount() << " mesh" << (o.RenderMeshCount() == 1 ? "" : "es")
        << ", " << n << " triangles, " << vertices << " vertices, layer " << LayerName(doc, o.Attributes().LayerIndex())
        << ", material "
        << (material < 0 ? std::string("(default)") : Quoted(doc.MaterialTable()[material].Name()))
        << (o.Attributes().MaterialSource() == TK_ScnObjectAttributes::material_from_layer ? " (from layer)" : "")
        << '\n';
  }
  const TK_BoundingBox box = SceneBox(doc);
  if (!box.IsValid()) {
    out << "Bounding box: none (no meshes)\n";
    return;
  }
  // Single-precision meshes leave noise like 2e-08 where a side lies at 0.
  const TK_3dVector size = box.Max() - box.Min();
  const double noise = 1e-6 * std::max({size.x, size.y, size.z});
  const auto clean = [noise](auto v) {
    for (double* c : {&v.x, &v.y, &v.z}) *c = std::fabs(*c) <= noise ? 0.0 : *c;
    return Triple(v);
  };
  out << "Bounding box: " << clean(box.Min()) << " to " << clean(box.Max()) << ", size "
      << Triple(size) << '\n';
}

void DescribeMaterials(const CKavraDoc& doc, std::ostream& out) {
  out << "Materials: " << doc.MaterialTable().Count() << '\n';
  for (int i = 0; i < doc.MaterialTable().Count(); ++i) {
    const TK_Material& m = doc.MaterialTable()[i];
    out << "  " << Quoted(m.Name()) << (doc.MaterialTable().IsDeleted(i) ? " (deleted)" : "") << ": diffuse "
        << Hex(m.Diffuse()) << ", specular " << Hex(m.Specular()) << ", ambient " << Hex(m.Ambient()) << ", shine "
        << Num(m.Shine()) << ", transparency " << Num(m.Transparency()) << '\n';
    if (!m.TextureBitmapFileName().IsEmpty()) out << "    texture " << m.TextureBitmapFileName().ToUtf8() << '\n';
    if (!m.BumpBitmapFileName().IsEmpty()) out << "    bump " << m.BumpBitmapFileName().ToUtf8() << '\n';
    if (!m.EmapBitmapFileName().IsEmpty()) out << "    environment " << m.EmapBitmapFileName().ToUtf8() << '\n';
    DescribeRendererSettings(m, out);
  }
}

void DescribeLights(const CKavraDoc& doc, std::ostream& out) {
  out << "Lights: " << doc.LightTable().Count() << '\n';
  for (int i = 0; i < doc.LightTable().Count(); ++i) {
    const CKavraLight& kl = doc.LightTable()[i];
    const TK_Light& l = kl.Light();
    const char* kind = l.IsSpotLight()          ? "spot"
                       : l.IsDirectionalLight() ? "directional"
                       : l.IsLinearLight()      ? "linear"
                       : l.IsRectangularLight() ? "rectangular"
                                                : "point";
    out << "  " << Quoted(l.Name()) << ": " << kind << (l.IsEnabled() ? "" : " (off)");
    if (!l.IsDirectionalLight()) out << " at " << Triple(l.Location());
    out << ", direction " << Triple(l.Direction());
    if (l.IsLinearLight() || l.IsRectangularLight()) out << ", length " << Triple(l.Length());
    if (l.IsRectangularLight()) out << ", width " << Triple(l.Width());
    if (l.IsSpotLight()) out << ", angle " << Num(Degrees(l.SpotAngleRadians())) << " deg, exponent " << Num(l.SpotExponent());
    const TK_3dVector a = l.AttenuationCoefficients();
    out << ", colour " << Hex(l.Diffuse()) << ", intensity " << Num(l.Intensity()) << ", shadow intensity "
        << Num(l.ShadowIntensity()) << ", attenuation " << Triple(a) << ", layer " << LayerName(doc, kl.LayerIndex())
        << '\n';
  }
}

void DescribeViews(const CKavraDoc& doc, std::ostream& out) {
  out << "Views: " << doc.ViewCount() << '\n';
  for (int i = 0; i < doc.ViewCount(); ++i) {
    const CKavraView& v = *doc.ViewAt(i);
    const TK_Viewport& vp = v.View().m_vp;
    double l, r, b, t, n, f;
    vp.GetFrustum(l, r, b, t, n, f);
    const double narrow = std::min(r - l, t - b) / 2;
    out << "  " << Quoted(v.View().m_name) << (i == doc.ActiveViewIndex() ? " (active)" : "") << ": "
        << (vp.Projection() == TK::parallel ? "parallel" : "perspective") << " from " << Triple(vp.CameraLocation())
        << " along " << Triple(vp.CameraDirection()) << ", up " << Triple(vp.CameraUp());
    if (vp.Projection() == TK::perspective && n > 0) out << ", angle " << Num(Degrees(std::atan(narrow / n))) << " deg";
    out << ", " << v.Width() << " x " << v.Height();
    if (!v.View().m_wallpaper_filename.IsEmpty())
      out << ", wallpaper " << v.View().m_wallpaper_filename.ToUtf8() << (v.View().m_wallpaper_grey ? " (grey)" : "");
    out << '\n';
  }
}

void DescribeSettings(const CKavraDoc& doc, std::ostream& out) {
  const TK_ScnRenderSettings& s = doc.Properties().RenderSettings();
  static const char* const kLevels[] = {"none", "normal", "best", "best (4x4)"};
  auto level = [](int v, int max) { return v >= 0 && v <= max ? kLevels[v] : "out of range"; };
  out << "Render settings:\n";
  if (s.m_custom_imagesize)
    out << "  image size: " << s.m_image_width << " x " << s.m_image_height << '\n';
  else
    out << "  image size: the view's (" << s.m_image_width << " x " << s.m_image_height << " when custom)\n";
  out << "  antialiasing: " << s.m_antialias_level << " (" << level(s.m_antialias_level, kMaxAntialiasLevel) << ")\n";
  out << "  shadows: " << s.m_shadow_level << " (" << level(s.m_shadow_level, 2) << "), shadow map "
      << s.m_shadowmap_width << " x " << s.m_shadowmap_height << ", offset " << Num(s.m_shadowmap_offset) << '\n';
  out << "  ambient " << Hex(s.m_ambient_color) << ", background " << Hex(s.m_background_color) << '\n';
  out << "  lights on hidden layers " << YesNo(s.m_use_hidden_lights) << "; draw curves "
      << YesNo(s.m_render_curves_and_isocurves) << ", dimensions " << YesNo(s.m_render_dimensions_and_text)
      << ", annotation dots " << YesNo(s.m_render_annotation_dots) << ", points " << YesNo(s.m_render_points)
      << ", mesh wireframe " << YesNo(s.m_render_mesh_wireframe) << '\n';
  out << "  custom sizes:";
  for (const KvRenderSize& size : doc.Properties().CustomRenderSizes()) out << ' ' << size.width << 'x' << size.height;
  out << '\n';
}

void DescribePlugInData(const CKavraDoc& doc, std::ostream& out) {
  const std::vector<TK_UUID> ids = doc.PlugInDataIds();
  out << "Plug-in data: " << ids.size() << " block" << (ids.size() == 1 ? "" : "s") << '\n';
  for (const TK_UUID& id : ids) {
    const std::vector<std::uint8_t>& bytes = *doc.PlugInData(id);
    out << "  " << id.ToString() << ": " << bytes.size() << " bytes";
    DocumentFlagsRecord flags;
    if (id == renderer_records::PlugInUuid() && renderer_records::ReadDocumentFlags(bytes, flags))
      out << ", DuskMoth Render: use wallpaper " << YesNo(flags.use_wallpaper) << ", stretch wallpaper "
          << YesNo(flags.stretch_wallpaper) << ", favor memory " << YesNo(flags.favor_memory);
    out << '\n';
  }
}

}  // namespace

void DescribeDocument(const CKavraDoc& doc, std::ostream& out) {
  DescribeObjects(doc, out);
  DescribeMaterials(doc, out);
  DescribeLights(doc, out);
  DescribeViews(doc, out);
  DescribeSettings(doc, out);
  DescribePlugInData(doc, out);
}

int RunInfo(const std::filesystem::path& file, std::ostream& out, std::ostream& err) {
  CKavraDoc doc;
  if (!LoadScene(file, doc, err, true)) return ParseOutcome::kFailed;
  out << "File: " << file.string() << '\n';
  DescribeDocument(doc, out);
  return ParseOutcome::kOk;
}
