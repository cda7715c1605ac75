#include "host/import/JsonSceneImporter.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <numbers>
#include <optional>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/app/Doc.h"
#include "host/app/EventWatcher.h"
#include "host/import/AssimpImporter.h"
#include "host/import/ImageFileCheck.h"
#include "host/import/FramingView.h"
#include "host/import/ImportLog.h"
#include "host/import/JsonObjectReader.h"
#include "host/import/Primitives.h"
#include "host/import/RendererRecords.h"
#include "host/sdk/SdkRender.h"
#include "host/toolkit/Xform.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// Scene files ask for no image the render path would refuse.
constexpr int kMaxImageSide = CKavraSdkRender::kMaxImageSide;
constexpr int kMaxCustomSizes = 256;
constexpr double kRadians = std::numbers::pi / 180.0;
constexpr double kMax = CJsonSceneImporter::kMaxCoordinate;
constexpr double kMinSize = 1e-6;

enum ObjectType { box, sphere, plane, cylinder, mesh };

class SceneReader {
public:
  SceneReader(const std::string& file, const fs::path& folder, CKavraDoc& doc, CImportLog& log)
      : file_(file), folder_(folder), doc_(doc), log_(log) {}

  void Read(std::string_view text) {
    json root;
    try {
      root = json::parse(text.begin(), text.end(), nullptr, true, true);
    } catch (const json::exception& e) {
      // "[json.exception.parse_error.101] parse error at line 2, column 3: ..." without its tag.
      std::string what = e.what();
      if (const auto close = what.find("] "); what.rfind("[json.exception", 0) == 0 && close != std::string::npos)
        what = what.substr(close + 2);
      log_.Error(CImportLog::Line(file_, {}, what));
      return;
    }
    CJsonObjectReader r(root, "", file_, log_);
    if (!r.IsValid()) return;
    int version = 1;
    std::string description;
    r.Integer("version", version, 1, 1);
    r.Text("description", description);
    Member(r, "render", [&](CJsonObjectReader& o) { ReadRender(o); });
    Member(r, "renderer", [&](CJsonObjectReader& o) { ReadRendererFlags(o); });
    Each(r, "materials", [&](CJsonObjectReader& o) { ReadMaterial(o); });
    Each(r, "layers", [&](CJsonObjectReader& o) { ReadLayer(o); });
    if (doc_.LayerTable().Count() == 0) {
      TK_Layer layer;
      layer.SetName(L"Default");
      doc_.LayerTable().Add(layer);
    }
    Each(r, "lights", [&](CJsonObjectReader& o) { ReadLight(o); });
    Each(r, "objects", [&](CJsonObjectReader& o) { ReadObject(o); });
    if (!Member(r, "camera", [&](CJsonObjectReader& o) { ReadCamera(o); })) {
      doc_.AddView(CKavraView(framing::FramingView(box_, TK_3dVector(0, 0, 1), 4.0 / 3.0), 640, 480));
    }
    r.WarnUnknownKeys();
  }

private:
  // Reads a member object, then reports its unknown keys; false when absent.
  template <typename F> bool Member(CJsonObjectReader& parent, std::string_view key, F read) {
    const json* v = parent.Find(key);
    if (!v) return false;
    CJsonObjectReader o(*v, parent.PointerOf(key), file_, log_);
    if (o.IsValid()) {
      read(o);
      o.WarnUnknownKeys();
    }
    return true;
  }

  template <typename F> void Each(CJsonObjectReader& parent, std::string_view key, F read) {
    const json* list = parent.Find(key);
    if (!list) return;
    if (!list->is_array()) {
      parent.Error(key, "expected an array");
      return;
    }
    for (std::size_t i = 0; i < list->size(); ++i) {
      CJsonObjectReader o((*list)[i], parent.PointerOf(key) + "/" + std::to_string(i), file_, log_);
      if (!o.IsValid()) continue;
      read(o);
      o.WarnUnknownKeys();
    }
  }

  void Error(const std::string& place, const std::string& what) { log_.Error(CImportLog::Line(file_, place, what)); }

  fs::path Resolve(const std::string& name) const {
    fs::path p = name;
    if (p.is_relative()) p = folder_ / p;
    return p.lexically_normal();
  }

  // A file name member made absolute; a missing file is worth a warning
  // (the renderer leaves out maps it cannot read), not an error.
  TK_wString FileName(CJsonObjectReader& o, std::string_view key) {
    std::string name;
    if (!o.Text(key, name) || name.empty()) return {};
    const fs::path p = Resolve(name);
    std::error_code ec;
    if (!fs::exists(p, ec))
      log_.Warning(CImportLog::Line(file_, o.PointerOf(key), "file not found: " + p.string()));
    else if (const std::optional<std::string> why = UnreadableImageReason(p))
      log_.Warning(CImportLog::Line(file_, o.PointerOf(key), p.string() + " cannot be read: " + *why));
    return TK_wString::FromUtf8(p.string());
  }

  // [width, height] in whole pixels.
  bool SizeValue(const json& v, const std::string& place, int& width, int& height) {
    double wh[2];
    if (!CJsonObjectReader::NumbersValue(v, place, file_, log_, wh, 1, kMaxImageSide)) return false;
    if (wh[0] != std::trunc(wh[0]) || wh[1] != std::trunc(wh[1])) {
      Error(place, "expected whole numbers of pixels");
      return false;
    }
    width = int(wh[0]);
    height = int(wh[1]);
    return true;
  }

  bool Flag(CJsonObjectReader& o, std::string_view key, int& value) {
    bool b = value != 0;
    if (!o.Boolean(key, b)) return false;
    value = b ? 1 : 0;
    return true;
  }

  // An index into a name table for a member naming a material or a layer.
  int Reference(CJsonObjectReader& o, std::string_view key, const std::map<std::string, int>& names,
                const char* what, int absent) {
    std::string name;
    if (!o.Has(key) || !o.Text(key, name)) return absent;
    const auto it = names.find(name);
    if (it == names.end()) {
      o.Error(key, std::string("no ") + what + " named " + JsonQuoted(name));
      return absent;
    }
    return it->second;
  }

  bool UniqueName(CJsonObjectReader& o, std::map<std::string, int>& names, const char* what, std::string& name) {
    if (!o.Require("name") || !o.Text("name", name)) return false;
    if (name.empty()) {
      o.Error("name", "must not be empty");
      return false;
    }
    if (names.contains(name)) {
      o.Error("name", std::string("a ") + what + " named " + JsonQuoted(name) + " comes earlier");
      return false;
    }
    return true;
  }

  // Either a direction or a target point (direction = target - location).
  std::optional<TK_3dVector> Direction(CJsonObjectReader& o, const TK_3dVector& location, bool required) {
    const bool has_direction = o.Has("direction"), has_target = o.Has("target");
    if (has_direction && has_target) {
      o.Error({}, "give \"direction\" or \"target\", not both");
      return std::nullopt;
    }
    TK_3dVector d;
    if (has_direction) {
      if (!o.Triple("direction", d, kMax)) return std::nullopt;
    } else if (has_target) {
      if (!o.Triple("target", d, kMax)) return std::nullopt;
      d = d - location;
    } else {
      if (required) o.Error({}, "missing required key \"direction\" (or \"target\")");
      return std::nullopt;
    }
    if (d.Length() < 1e-9) {
      o.Error(has_direction ? "direction" : "target", has_direction ? "must not be zero" : "must differ from the location");
      return std::nullopt;
    }
    return d;
  }

  void ReadRender(CJsonObjectReader& r) {
    TK_ScnRenderSettings s = doc_.Properties().RenderSettings();
    // Giving a size asks for it, unless custom_size says otherwise.
    if (r.Has("width") || r.Has("height")) s.m_custom_imagesize = 1;
    Flag(r, "custom_size", s.m_custom_imagesize);
    r.Integer("width", s.m_image_width, 1, kMaxImageSide);
    r.Integer("height", s.m_image_height, 1, kMaxImageSide);
    r.Color("ambient", s.m_ambient_color);
    r.Color("background", s.m_background_color);
    Flag(r, "use_hidden_lights", s.m_use_hidden_lights);
    Flag(r, "draw_curves", s.m_render_curves_and_isocurves);
    Flag(r, "draw_dimensions", s.m_render_dimensions_and_text);
    Flag(r, "draw_annotation_dots", s.m_render_annotation_dots);
    Flag(r, "draw_points", s.m_render_points);
    Flag(r, "draw_mesh_wireframe", s.m_render_mesh_wireframe);
    r.Integer("antialias", s.m_antialias_level, kAntialiasNone, kMaxAntialiasLevel);
    r.Integer("shadows", s.m_shadow_level, 0, 2);
    // One size for both sides: shadow maps are square.
    int map_size = s.m_shadowmap_width;
    if (r.Integer("shadow_map_size", map_size, 8, 4096)) s.m_shadowmap_width = s.m_shadowmap_height = map_size;
    r.Number("shadow_map_offset", s.m_shadowmap_offset, -1e6, 1e6);
    doc_.Properties().SetRenderSettings(s);

    if (const json* list = r.Find("sizes")) {
      if (!list->is_array() || list->size() > kMaxCustomSizes) {
        r.Error("sizes", "expected an array of at most " + std::to_string(kMaxCustomSizes) + " [width, height] pairs");
        return;
      }
      std::vector<KvRenderSize> sizes;
      for (std::size_t i = 0; i < list->size(); ++i) {
        KvRenderSize size;
        if (SizeValue((*list)[i], r.PointerOf("sizes") + "/" + std::to_string(i), size.width, size.height))
          sizes.push_back(size);
      }
      if (sizes.size() == list->size()) doc_.Properties().SetCustomRenderSizes(sizes);
    }
  }

  void ReadRendererFlags(CJsonObjectReader& r) {
    DocumentFlagsRecord flags;
    r.Boolean("use_wallpaper", flags.use_wallpaper);
    r.Boolean("stretch_wallpaper", flags.stretch_wallpaper);
    r.Boolean("favor_memory", flags.favor_memory);
    if (!renderer_records::SetDocumentFlags(doc_, flags)) r.Error({}, "the renderer refused its settings");
  }

  // A map slot whose file the renderer takes from the host material
  // (texture, bump, environment) names that file through these.
  struct HostFile {
    const char* key = nullptr;
    const TK_wString& (TK_Material::*get)() const = nullptr;
    void (TK_Material::*set)(const TK_wString&) = nullptr;
  };

  void ReadMapSlot(CJsonObjectReader& o, MapRecord& map, TK_Material& host, const HostFile& host_file) {
    const TK_wString file = FileName(o, "file");
    if (!file.IsEmpty()) {
      if (host_file.key) {
        const TK_wString& current = (host.*host_file.get)();
        if (!current.IsEmpty() && !(current == file)) {
          o.Error("file", std::string("differs from the material's \"") + host_file.key + "\"");
          return;
        }
        (host.*host_file.set)(file);
      }
      map.file_name = file;
      map.enabled = true;
    }
    o.Boolean("enabled", map.enabled);
    o.Number("amount", map.amount, 0, 100);
    double tiling[2] = {map.tiling_u, map.tiling_v}, offset[2] = {map.offset_u, map.offset_v};
    if (o.Numbers("tiling", tiling, -1e4, 1e4)) map.tiling_u = tiling[0], map.tiling_v = tiling[1];
    if (o.Numbers("offset", offset, -1e6, 1e6)) map.offset_u = offset[0], map.offset_v = offset[1];
    bool filter = map.filter == 1;
    if (o.Boolean("filter", filter)) map.filter = filter ? 1 : 0;
  }

  void ReadRendererMaterial(CJsonObjectReader& r, TK_Material& host) {
    MaterialRecord s = MaterialRecord::FromHostMaterial(host);
    using M = TK_Material;
    const std::pair<const char*, MapRecord*> slots[] = {{"texture_map", &s.texture},
                                                                  {"specular_map", &s.specular},
                                                                  {"environment_map", &s.environment},
                                                                  {"bump_map", &s.bump},
                                                                  {"transparency_map", &s.transparency}};
    const HostFile host_files[] = {{"texture", &M::TextureBitmapFileName, &M::SetTextureBitmapFileName},
                                   {},
                                   {"environment", &M::EmapBitmapFileName, &M::SetEmapBitmapFileName},
                                   {"bump", &M::BumpBitmapFileName, &M::SetBumpBitmapFileName},
                                   {}};
    for (int i = 0; i < 5; ++i)
      Member(r, slots[i].first, [&](CJsonObjectReader& o) { ReadMapSlot(o, *slots[i].second, host, host_files[i]); });
    r.Boolean("two_sided", s.two_sided);
    r.Boolean("faceted", s.faceted);
    r.Number("luminosity", s.luminosity, 0, 100);
    if (r.Has("luminosity_color") && r.Color("luminosity_color", s.luminosity_color)) s.use_luminosity_color = true;
    r.Boolean("use_luminosity_color", s.use_luminosity_color);
    r.Number("specular_level", s.specular_level, 0, 100);
    r.Number("reflectivity", s.reflectivity, 0, 1);
    host.SetMaterialPlugInUuid(renderer_records::PlugInUuid());
    const TK_ClassId* record_class = TK_ClassId::ClassId(renderer_records::kMaterialClassName);
    if (!renderer_records::AttachMaterialRecord(host, renderer_records::WriteMaterialRecord(host, s), record_class))
      r.Error({}, "the renderer refused these settings");
  }

  void ReadMaterial(CJsonObjectReader& o) {
    std::string name;
    if (!UniqueName(o, materials_, "material", name)) return;
    TK_Material m;
    m.SetName(TK_wString::FromUtf8(name));
    TK_Color c = m.Diffuse();
    if (o.Color("diffuse", c)) m.SetDiffuse(c);
    c = m.Specular();
    if (o.Color("specular", c)) m.SetSpecular(c);
    c = m.Ambient();
    if (o.Color("ambient", c)) m.SetAmbient(c);
    c = m.Emission();
    if (o.Color("emission", c)) m.SetEmission(c);
    double shine = m.Shine(), transparency = m.Transparency();
    if (o.Number("shine", shine, 0, TK_Material::MaxShine())) m.SetShine(shine);
    if (o.Number("transparency", transparency, 0, 1)) m.SetTransparency(transparency);
    m.SetTextureBitmapFileName(FileName(o, "texture"));
    m.SetBumpBitmapFileName(FileName(o, "bump"));
    m.SetEmapBitmapFileName(FileName(o, "environment"));
    Member(o, "renderer", [&](CJsonObjectReader& r) { ReadRendererMaterial(r, m); });
    materials_[name] = doc_.MaterialTable().Add(std::move(m));
  }

  void ReadLayer(CJsonObjectReader& o) {
    std::string name;
    if (!UniqueName(o, layers_, "layer", name)) return;
    TK_Layer layer;
    layer.SetName(TK_wString::FromUtf8(name));
    bool visible = true, locked = false;
    o.Boolean("visible", visible);
    o.Boolean("locked", locked);
    layer.SetMode(!visible ? TK_Layer::hidden_layer : locked ? TK_Layer::locked_layer : TK_Layer::normal_layer);
    layer.SetRenderMaterialIndex(Reference(o, "material", materials_, "material", -1));
    layers_[name] = doc_.LayerTable().Add(layer);
  }

  void ReadLight(CJsonObjectReader& o) {
    int style = 0;
    if (!o.Require("type") ||
        !o.Choice("type", style,
                  {{"point", TK::point_light}, {"directional", TK::directional_light}, {"spot", TK::spot_light},
                   {"linear", TK::linear_light}, {"rectangular", TK::rectangular_light}}))
      return;
    TK_Light light;
    light.SetStyle(TK::light_style(style));
    std::string name;
    o.Text("name", name);
    light.SetName(TK_wString::FromUtf8(name));
    TK_3dVector location(0, 0, 0);
    if (style != TK::directional_light && !o.Require("location")) return;
    if (!o.Triple("location", location, kMax)) return;
    light.SetLocation(TK_3dPoint(location));
    const bool aimed = style == TK::directional_light || style == TK::spot_light;
    if (const auto d = Direction(o, location, aimed)) {
      light.SetDirection(*d);
    } else if (aimed) {
      return;
    }
    if (style == TK::linear_light || style == TK::rectangular_light) {
      for (const char* key : {"length", "width"}) {
        if (style == TK::linear_light && key == std::string("width")) continue;
        TK_3dVector span;
        if (!o.Require(key) || !o.Triple(key, span, kMax)) return;
        if (span.Length() < 1e-9) {
          o.Error(key, "must not be zero");
          return;
        }
        key == std::string("length") ? light.SetLength(span) : light.SetWidth(span);
      }
    }
    if (style == TK::spot_light) {
      double angle = 30, exponent = 0;
      o.Number("angle", angle, 0.01, 90);
      o.Number("exponent", exponent, 0, 128);
      light.SetSpotAngleRadians(angle * kRadians);
      light.SetSpotExponent(exponent);
    }
    TK_Color colour = light.Diffuse();
    if (o.Color("color", colour)) light.SetDiffuse(colour);
    double intensity = 1, shadow = 1, attenuation[3] = {1, 0, 0};
    if (o.Number("intensity", intensity, 0, 1e6)) light.SetIntensity(intensity);
    if (o.Number("shadow_intensity", shadow, 0, 1)) light.SetShadowIntensity(shadow);
    if (o.Numbers("attenuation", attenuation, 0, 1e6)) {
      if (attenuation[0] + attenuation[1] + attenuation[2] <= 0)
        o.Error("attenuation", "at least one coefficient must be above 0");
      else
        light.SetAttenuation(attenuation[0], attenuation[1], attenuation[2]);
    }
    bool enabled = true;
    o.Boolean("enabled", enabled);
    light.Enable(enabled);
    doc_.LightTable().Add(CKavraLight(light, Reference(o, "layer", layers_, "layer", 0)));
  }

  // Scale, then rotations about x, y and z (degrees), then translation.
  bool ReadTransform(CJsonObjectReader& o, TK_Xform& xform) {
    TK_3dVector t(0, 0, 0), r(0, 0, 0);
    double s[3] = {1, 1, 1};
    bool ok = o.Triple("translate", t, kMax) && o.Triple("rotate", r, 1e5);
    if (const json* v = o.Find("scale")) {
      const std::string place = o.PointerOf("scale");
      if (v->is_number()) {
        ok = CJsonObjectReader::NumberValue(*v, place, file_, log_, s[0], -1e6, 1e6) && ok;
        s[1] = s[2] = s[0];
      } else {
        ok = CJsonObjectReader::NumbersValue(*v, place, file_, log_, s, -1e6, 1e6) && ok;
      }
      if (std::fabs(s[0]) < kMinSize || std::fabs(s[1]) < kMinSize || std::fabs(s[2]) < kMinSize) {
        Error(place, "a scale factor must not be zero");
        ok = false;
      }
    }
    const TK_3dPoint origin(0, 0, 0);
    xform = TK_Xform::Translation(t) * TK_Xform::Rotation(r.z * kRadians, TK_3dVector(0, 0, 1), origin) *
            TK_Xform::Rotation(r.y * kRadians, TK_3dVector(0, 1, 0), origin) *
            TK_Xform::Rotation(r.x * kRadians, TK_3dVector(1, 0, 0), origin) * TK_Xform::Scale(s[0], s[1], s[2]);
    return ok;
  }

  bool Budget(CJsonObjectReader& o, long long vertices) {
    primitive_vertices_ += vertices;
    if (primitive_vertices_ <= CJsonSceneImporter::kMaxPrimitiveVertices) return true;
    o.Error({}, "the primitives of this scene need more than " +
                    std::to_string(CJsonSceneImporter::kMaxPrimitiveVertices) + " vertices");
    return false;
  }

  void ReadObject(CJsonObjectReader& o) {
    int type = box;
    if (!o.Require("type") ||
        !o.Choice("type", type,
                  {{"box", box}, {"sphere", sphere}, {"plane", plane}, {"cylinder", cylinder}, {"mesh", mesh}}))
      return;
    static const char* const kTypeNames[] = {"Box", "Sphere", "Plane", "Cylinder", "Mesh"};
    std::string name = kTypeNames[type];
    o.Text("name", name);
    TK_Xform xform;
    const bool transform_ok = ReadTransform(o, xform);
    const int layer = Reference(o, "layer", layers_, "layer", 0);
    const bool has_material = o.Has("material");
    const int material = Reference(o, "material", materials_, "material", -1);

    ImportedModel model;
    std::optional<TK_Mesh> made;
    int segments = 48, rings = 24;
    double radius = 1, height = 2;
    switch (type) {
      case box: {
        double size[3] = {1, 1, 1};
        if (!o.Numbers("size", size, kMinSize, kMax)) return;
        made = primitives::Box(size[0], size[1], size[2]);
        break;
      }
      case sphere:
        if (!o.Number("radius", radius, kMinSize, kMax) || !o.Integer("segments", segments, 3, 1024) ||
            !o.Integer("rings", rings, 2, 1024) || !Budget(o, (segments + 1LL) * (rings + 1LL)))
          return;
        made = primitives::Sphere(radius, segments, rings);
        break;
      case plane: {
        double size[2] = {1, 1};
        if (!o.Numbers("size", size, kMinSize, kMax)) return;
        made = primitives::Plane(size[0], size[1]);
        break;
      }
      case cylinder:
        if (!o.Number("radius", radius, kMinSize, kMax) || !o.Number("height", height, kMinSize, kMax) ||
            !o.Integer("segments", segments, 3, 1024) || !Budget(o, 4LL * segments + 4))
          return;
        made = primitives::Cylinder(radius, height, segments);
        break;
      case mesh: {
        std::string file;
        if (!o.Require("file") || !o.Text("file", file)) return;
        const fs::path path = Resolve(file);
        if (!o.Has("name")) name = path.stem().string();
        if (!CAssimpImporter::Load(path, model, log_)) {
          o.Error("file", "the model could not be imported");
          return;
        }
        break;
      }
    }
    if (!transform_ok) return;
    if (made) model.parts.push_back({TK_wString::FromUtf8(name), std::move(*made), -1});
    for (ImportedModel::Part& part : model.parts) {
      if (!xform.IsIdentity() && !part.mesh.Transform(xform)) {
        o.Error({}, "the transform cannot be applied to the mesh");
        return;
      }
      box_.Union(part.mesh.BoundingBox());
    }
    TK_ScnObjectAttributes attributes;
    attributes.SetName(TK_wString::FromUtf8(name));
    attributes.SetLayerIndex(layer);
    if (has_material || type != mesh) {
      // One object; a named material overrides whatever a model file brought.
      if (has_material) {
        attributes.SetMaterialSource(TK_ScnObjectAttributes::material_from_object);
        attributes.SetMaterialIndex(material);
      }
      CKavraObject object(attributes);
      for (ImportedModel::Part& part : model.parts) object.AddRenderMesh(std::move(part.mesh));
      doc_.AddObject(std::move(object));
      return;
    }
    // A model file with its own materials: one object per part.
    const bool several = model.parts.size() > 1;
    model.AddParts(doc_, attributes, [&](const ImportedModel::Part& part) {
      return several ? TK_wString::FromUtf8(name + "/" + part.name.ToUtf8()) : attributes.Name();
    });
  }

  void ReadCamera(CJsonObjectReader& c) {
    TK_ScnView view;
    std::string name = "Camera";
    c.Text("name", name);
    view.m_name = TK_wString::FromUtf8(name);
    int projection = TK::perspective;
    c.Choice("projection", projection, {{"perspective", TK::perspective}, {"parallel", TK::parallel}});
    TK_3dVector location, up(0, 0, 1);
    if (!c.Require("location") || !c.Triple("location", location, kMax)) return;
    const auto direction = Direction(c, location, true);
    if (!direction || !c.Triple("up", up, kMax)) return;
    TK_3dVector d = *direction, u = up;
    d.Unitize();
    if (!u.Unitize() || TK_CrossProduct(d, u).Length() < 1e-6) {
      c.Error("up", "must not be zero or parallel to the view direction");
      return;
    }
    double angle = framing::kHalfAngleDegrees;
    c.Number("angle", angle, 0.1, 89);
    int width = 640, height = 480;
    if (const json* size = c.Find("size"); size && !SizeValue(*size, c.PointerOf("size"), width, height)) return;
    view.m_wallpaper_filename = FileName(c, "wallpaper");
    c.Boolean("wallpaper_grey", view.m_wallpaper_grey);

    TK_Viewport& vp = view.m_vp;
    vp.SetProjection(TK::view_projection(projection));
    vp.SetCameraLocation(TK_3dPoint(location));
    vp.SetCameraDirection(*direction);
    vp.SetCameraUp(up);
    vp.SetFrustumAspect(double(width) / height);
    if (projection == TK::perspective) {
      vp.SetCameraAngle(angle * kRadians);
    } else {
      // A parallel view shows at its target what a perspective view of the
      // same angle would show there.
      const double half = direction->Length() * std::tan(angle * kRadians);
      const double aspect = double(width) / height;
      const double hx = aspect >= 1 ? half * aspect : half, hy = aspect >= 1 ? half : half / aspect;
      vp.SetFrustum(-hx, hx, -hy, hy, vp.FrustumNear(), vp.FrustumFar());
    }
    framing::FitNearFar(vp, box_);
    doc_.AddView(CKavraView(view, width, height));
  }

  const std::string& file_;
  const fs::path folder_;
  CKavraDoc& doc_;
  CImportLog& log_;
  std::map<std::string, int> materials_;
  std::map<std::string, int> layers_;
  long long primitive_vertices_ = 0;
  TK_BoundingBox box_;
};

}  // namespace

bool CJsonSceneImporter::ImportText(std::string_view text, const std::string& file, const fs::path& folder,
                                    CKavraDoc& doc, CImportLog& log) {
  const std::size_t errors_before = log.Errors().size();
  std::error_code ec;
  fs::path absolute_folder = fs::absolute(folder, ec);
  if (ec) absolute_folder = folder;
  // The scene is read without an event per record; watchers hear of it as
  // one merge into the document instead.
  const TK_wString name = TK_wString::FromUtf8(file);
  doc.RaiseEvent([&](CKavraEventWatcher& w) { w.OnBeginOpenDocument(doc, name, true, false); });
  const bool suppressed = doc.EventsSuppressed();
  doc.SuppressEvents(true);
  SceneReader(file, absolute_folder, doc, log).Read(text);
  doc.SuppressEvents(suppressed);
  doc.RaiseEvent([&](CKavraEventWatcher& w) { w.OnEndOpenDocument(doc, name, true, false); });
  return log.Errors().size() == errors_before;
}

bool CJsonSceneImporter::ImportFile(const fs::path& path, CKavraDoc& doc, CImportLog& log) {
  const std::string file = path.string();
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    log.Error(CImportLog::Line(file, {}, fs::exists(path, ec) ? "not a regular file" : "no such file"));
    return false;
  }
  if (fs::file_size(path, ec) > kMaxFileBytes) {
    log.Error(CImportLog::Line(file, {}, "too large for a scene description (more than 64 MiB)"));
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    log.Error(CImportLog::Line(file, {}, "cannot open the file"));
    return false;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return ImportText(text, file, path.parent_path().empty() ? fs::path(".") : path.parent_path(), doc, log);
}
