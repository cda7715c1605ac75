#include "host/import/ColladaCameras.h"

#include <cmath>
#include <fstream>
#include <numbers>
#include <sstream>

namespace collada_cameras {
namespace {

// The value of attribute `name` in the tag starting at `tag`; empty when none.
std::string Attribute(std::string_view xml, std::size_t tag, std::string_view name) {
  const std::size_t end = xml.find('>', tag);
  const std::string_view element = xml.substr(tag, end == std::string_view::npos ? std::string_view::npos : end - tag);
  const std::string key = " " + std::string(name) + "=\"";
  const std::size_t at = element.find(key);
  if (at == std::string_view::npos) return {};
  const std::size_t start = at + key.size(), close = element.find('"', start);
  return close == std::string_view::npos ? std::string() : std::string(element.substr(start, close - start));
}

// The number inside the first <tag ...>...</tag> of the block; 0 when none.
double Number(std::string_view block, std::string_view tag) {
  const std::size_t open = block.find("<" + std::string(tag));
  if (open == std::string_view::npos) return 0.0;
  const std::size_t start = block.find('>', open);
  if (start == std::string_view::npos) return 0.0;
  std::istringstream text{std::string(block.substr(start + 1, 64))};
  double value = 0.0;
  return text >> value && std::isfinite(value) && value > 0 ? value : 0.0;
}

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

}  // namespace

std::map<std::string, StatedCamera> ParseCameras(std::string_view xml) {
  std::map<std::string, StatedCamera> by_id;  // the camera elements, by id
  for (std::size_t at = xml.find("<camera "); at != std::string_view::npos; at = xml.find("<camera ", at + 1)) {
    const std::size_t end = xml.find("</camera>", at);
    const std::string_view block = xml.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
    StatedCamera c;
    c.perspective = block.find("<orthographic") == std::string_view::npos;
    c.aspect = Number(block, "aspect_ratio");
    if (c.perspective) {
      c.xfov = Number(block, "xfov") * kRadiansPerDegree;
      c.yfov = Number(block, "yfov") * kRadiansPerDegree;
    } else {
      c.xmag = Number(block, "xmag");
      c.ymag = Number(block, "ymag");
    }
    by_id[Attribute(xml, at, "id")] = c;
  }
  std::map<std::string, StatedCamera> by_node;
  for (std::size_t at = xml.find("<node"); at != std::string_view::npos; at = xml.find("<node", at + 1)) {
    // The node's own camera: an instance before its first child node or its end.
    const std::size_t next = std::min(xml.find("<node", at + 1), xml.find("</node>", at));
    // Looked for before `next` only: a search to the file's end for every
    // node would take hours on a large scene without cameras.
    const std::size_t instance = xml.substr(0, next).find("<instance_camera", at);
    if (instance == std::string_view::npos || instance > next) continue;
    std::string url = Attribute(xml, instance, "url");
    if (!url.empty() && url[0] == '#') url.erase(0, 1);
    const auto camera = by_id.find(url);
    if (camera == by_id.end()) continue;
    for (const char* key : {"id", "name"})
      if (const std::string node = Attribute(xml, at, key); !node.empty()) by_node[node] = camera->second;
  }
  return by_node;
}

std::map<std::string, StatedCamera> ReadCameras(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return ParseCameras(text.str());
}

}  // namespace collada_cameras
