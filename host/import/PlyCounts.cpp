#include "host/import/PlyCounts.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

namespace ply_counts {
namespace {

constexpr std::size_t kMaxHeaderBytes = 1 << 20;

int ScalarSize(const std::string& type) {
  static const std::map<std::string, int> sizes = {
      {"char", 1},  {"uchar", 1},  {"int8", 1},   {"uint8", 1},   {"short", 2},   {"ushort", 2},
      {"int16", 2}, {"uint16", 2}, {"int", 4},    {"uint", 4},    {"int32", 4},   {"uint32", 4},
      {"float", 4}, {"float32", 4}, {"double", 8}, {"float64", 8}};
  const auto it = sizes.find(type);
  return it == sizes.end() ? 0 : it->second;
}

struct Element {
  std::string name;
  unsigned long long count = 0;
  unsigned long long min_binary_bytes = 0;
  unsigned long long properties = 0;
};

// `head` is the start of the file, the header included; `total` the file's size.
bool CheckHeader(std::string_view bytes, unsigned long long total, std::string& problem) {
  const std::size_t end = bytes.substr(0, kMaxHeaderBytes).find("end_header");
  if (bytes.substr(0, 3) != "ply" || end == std::string_view::npos) {
    problem = "not a PLY file with a complete header";
    return false;
  }
  std::size_t body = bytes.find('\n', end);
  body = body == std::string_view::npos ? bytes.size() : body + 1;
  std::istringstream header{std::string(bytes.substr(0, end))};
  bool binary = false;
  std::vector<Element> elements;
  for (std::string line; std::getline(header, line);) {
    std::istringstream words(line);
    std::string keyword;
    words >> keyword;
    if (keyword == "format") {
      std::string format;
      words >> format;
      binary = format != "ascii";
    } else if (keyword == "element") {
      Element e;
      std::string count;
      words >> e.name >> count;
      if (count.empty() || count.size() > 12 || count.find_first_not_of("0123456789") != std::string::npos) {
        problem = "element \"" + e.name + "\" has no sensible count";
        return false;
      }
      e.count = std::stoull(count);
      elements.push_back(e);
    } else if (keyword == "property" && !elements.empty()) {
      std::string type;
      words >> type;
      if (type == "list") words >> type;  // the count's type; a list may be empty
      elements.back().min_binary_bytes += unsigned(ScalarSize(type));
      elements.back().properties += 1;
    }
  }
  const unsigned long long available = total > body ? total - body : 0;
  unsigned long long needed = 0;
  for (const Element& e : elements) {
    const unsigned long long per = binary ? e.min_binary_bytes : e.properties;
    needed += e.count * (per == 0 ? 1 : per);
    if (needed > available) {
      problem = "declares " + std::to_string(e.count) + " \"" + e.name + "\" elements, more than the file's " +
                std::to_string(available) + " bytes of data can hold";
      return false;
    }
  }
  return true;
}

}  // namespace

bool CheckBytes(std::string_view bytes, std::string& problem) { return CheckHeader(bytes, bytes.size(), problem); }

bool Check(const std::filesystem::path& path, std::string& problem) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  std::ifstream in(path, std::ios::binary);
  if (ec || !in) {
    problem = "cannot read the file";
    return false;
  }
  std::string head(std::size_t(std::min<std::uintmax_t>(size, kMaxHeaderBytes)), '\0');
  in.read(head.data(), std::streamsize(head.size()));
  return CheckHeader(head, size, problem);
}

}  // namespace ply_counts
