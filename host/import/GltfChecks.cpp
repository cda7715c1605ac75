#include "host/import/GltfChecks.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

#include <nlohmann/json.hpp>

namespace gltf_checks {
namespace {

std::uint32_t Le32(const unsigned char* b) {
  return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24;
}

// Walks the container's chunks; answers the JSON chunk's place (empty
// length when the first chunk is not JSON).
bool ContainerFits(std::ifstream& in, std::uintmax_t size, std::uint64_t& json_at, std::uint64_t& json_length,
                   std::string& problem) {
  unsigned char header[12];
  in.seekg(0);
  in.read(reinterpret_cast<char*>(header), sizeof header);
  const std::uint64_t total = Le32(header + 8);
  if (total > size) {
    problem = "the binary glTF declares " + std::to_string(total) + " bytes, more than the file's " + std::to_string(size);
    return false;
  }
  // The reader takes the first chunk whatever the total says.
  if (total < 20) {
    problem = "the binary glTF declares " + std::to_string(total) + " bytes, too few for its first chunk";
    return false;
  }
  for (std::uint64_t at = 12; at < total;) {
    unsigned char chunk[8];
    if (total - at < 8 || !in.seekg(std::streamoff(at)) || !in.read(reinterpret_cast<char*>(chunk), sizeof chunk)) {
      problem = "the binary glTF chunk at byte " + std::to_string(at) + " is cut short";
      return false;
    }
    const std::uint64_t length = Le32(chunk);
    if (length > total - at - 8) {
      problem = "the binary glTF chunk at byte " + std::to_string(at) + " declares " + std::to_string(length) +
                " bytes, more than the file holds";
      return false;
    }
    if (at == 12 && Le32(chunk + 4) == 0x4E4F534Au) {  // the JSON chunk comes first
      json_at = at + 8;
      json_length = length;
    }
    at += 8 + length;
  }
  return true;
}

bool JsonFits(const std::string& text, std::string& problem) {
  nlohmann::json doc;
  try {
    doc = nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception& e) {
    problem = std::string("the glTF JSON is malformed: ") + e.what();
    return false;
  }
  const auto images = doc.is_object() ? doc.find("images") : doc.end();
  if (!doc.is_object() || images == doc.end() || !images->is_array()) return true;
  for (std::size_t i = 0; i < images->size(); ++i) {
    const nlohmann::json& image = (*images)[i];
    if (!image.is_object()) continue;
    // The media types stated and in a data: URI ("data:image/png;base64,...").
    std::string types[2];
    if (const auto stated = image.find("mimeType"); stated != image.end() && stated->is_string())
      types[0] = stated->get<std::string>();
    if (const auto uri = image.find("uri"); uri != image.end() && uri->is_string()) {
      const std::string& text = uri->get_ref<const std::string&>();
      if (text.rfind("data:", 0) == 0) types[1] = text.substr(5, text.find_first_of(";,") - 5);
    }
    for (const std::string& type : types)
      if (!type.empty() && type.find('/') == std::string::npos) {
        problem = "image " + std::to_string(i) + " has the media type \"" + type + "\", which has no '/'";
        return false;
      }
  }
  return true;
}

}  // namespace

bool Check(const std::filesystem::path& path, std::string& problem) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  std::ifstream in(path, std::ios::binary);
  char magic[4] = {};
  if (ec || !in || !in.read(magic, sizeof magic)) return true;
  std::string json;
  if (std::memcmp(magic, "glTF", 4) == 0) {
    std::uint64_t at = 0, length = 0;
    if (!ContainerFits(in, size, at, length, problem)) return false;
    json.resize(std::size_t(length));
    in.seekg(std::streamoff(at));
    in.read(json.data(), std::streamsize(length));
  } else {
    // Assimp hands a file its glTF reader declines to the readers of other
    // formats, whose faults then come with any name.
    if (path.extension() == ".glb" || path.extension() == ".GLB") {
      problem = "the file does not start with \"glTF\": it is not a binary glTF file";
      return false;
    }
    in.seekg(0);
    json.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const std::size_t start = json.find_first_not_of(" \t\r\n", json.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0);
    if (start == std::string::npos || json[start] != '{') {
      problem = "the file does not start with '{': it is not a glTF file";
      return false;
    }
  }
  return json.empty() || JsonFits(json, problem);
}

}  // namespace gltf_checks
