#include "host/import/GltfCameras.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include <nlohmann/json.hpp>

namespace gltf_cameras {
namespace {

constexpr std::uintmax_t kMaxFileBytes = 1u << 30;

std::uint32_t Le32(std::string_view b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | std::uint8_t(b[at + std::size_t(i)]);
  return v;
}

double Finite(const nlohmann::json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end() || !it->is_number()) return 0.0;
  const double v = it->get<double>();
  return std::isfinite(v) ? v : 0.0;
}

}  // namespace

std::optional<std::vector<StatedCamera>> ParseCameras(std::string_view bytes) {
  std::string_view json_text = bytes;
  if (bytes.size() >= 4 && bytes.substr(0, 4) == "glTF") {
    // Binary container: 12-byte header, then the JSON chunk (length, type "JSON").
    if (bytes.size() < 20 || Le32(bytes, 16) != 0x4E4F534Au) return std::nullopt;
    const std::uint32_t length = Le32(bytes, 12);
    if (length > bytes.size() - 20) return std::nullopt;
    json_text = bytes.substr(20, length);
  }
  const nlohmann::json doc = nlohmann::json::parse(json_text, nullptr, false);
  if (doc.is_discarded() || !doc.is_object()) return std::nullopt;
  std::vector<StatedCamera> cameras;
  const auto list = doc.find("cameras");
  if (list == doc.end() || !list->is_array()) return cameras;
  for (const nlohmann::json& c : *list) {
    StatedCamera camera;
    if (c.is_object()) {
      const auto ortho = c.find("orthographic");
      const auto persp = c.find("perspective");
      const auto type = c.find("type");
      const bool orthographic = type != c.end() && type->is_string() && *type == "orthographic";
      if (orthographic && ortho != c.end() && ortho->is_object()) {
        camera.perspective = false;
        camera.xmag = Finite(*ortho, "xmag");
        camera.ymag = Finite(*ortho, "ymag");
      } else if (persp != c.end() && persp->is_object()) {
        camera.yfov = Finite(*persp, "yfov");
        camera.aspect = Finite(*persp, "aspectRatio");
      }
    }
    cameras.push_back(camera);
  }
  return cameras;
}

std::optional<std::vector<StatedCamera>> ReadCameras(const std::filesystem::path& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxFileBytes) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return ParseCameras(bytes);
}

}  // namespace gltf_cameras
