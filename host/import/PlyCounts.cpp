#include "host/import/PlyCounts.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
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

struct Property {
  int size = 0;        // a scalar's, or a list item's
  int count_size = 0;  // a list's count; 0 for a scalar
  bool vertex_list = false;  // a face's vertex indices
};

struct Element {
  std::string name;
  unsigned long long count = 0;
  unsigned long long min_binary_bytes = 0;
  unsigned long long properties = 0;
  std::vector<Property> layout;
};

enum class Format { ascii, little_endian, big_endian };

// Reads an unsigned count of `size` bytes.
unsigned long long Count(const unsigned char* p, int size, bool big_endian) {
  unsigned long long value = 0;
  for (int i = 0; i < size; ++i) value |= (unsigned long long)p[big_endian ? size - 1 - i : i] << (8 * i);
  return value;
}

// Walks the elements after the header: every list must fit in what follows
// it, and no face may be without vertices (Assimp's triangulation cannot
// take one). Signed counts read as unsigned are huge, so refused too.
bool CheckBody(std::string_view body, const std::vector<Element>& elements, Format format, std::string& problem) {
  const auto refuse = [&](const Element& e, unsigned long long index, const std::string& what) {
    problem = e.name + " " + std::to_string(index) + " " + what;
    return false;
  };
  // The model reader parses ASCII data its own way around other bytes (a
  // count it then reads from past a control byte asked for 20 GB).
  if (format == Format::ascii)
    for (std::size_t at = 0; at < body.size(); ++at) {
      const unsigned char c = (unsigned char)body[at];
      if ((c < 0x20 && !std::isspace(c)) || c >= 0x7F) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", c);
        problem = "the ASCII data holds a byte that is not text (" + std::string(hex) + " at byte " +
                  std::to_string(at) + " of the data)";
        return false;
      }
    }
  std::size_t pos = 0;
  // The next ASCII number; empty at the end.
  const auto token = [&]() -> std::string_view {
    while (pos < body.size() && std::isspace((unsigned char)body[pos])) ++pos;
    const std::size_t start = pos;
    while (pos < body.size() && !std::isspace((unsigned char)body[pos])) ++pos;
    return body.substr(start, pos - start);
  };
  for (const Element& e : elements)
    for (unsigned long long i = 0; i < e.count; ++i)
      for (const Property& p : e.layout) {
        unsigned long long items = 1;
        if (format == Format::ascii) {
          if (p.count_size != 0) {
            const std::string_view text = token();
            if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789") != std::string_view::npos)
              return refuse(e, i, "has no sensible list count");
            items = std::stoull(std::string(text));
            // Each item needs a digit and a space at least.
            if (items > (body.size() - pos) / 2 + 1) return refuse(e, i, "lists more items than the file holds");
          }
          for (unsigned long long k = 0; k < items; ++k)
            if (token().empty()) return refuse(e, i, "is cut short");
        } else {
          if (p.count_size != 0) {
            if (body.size() - pos < std::size_t(p.count_size)) return refuse(e, i, "is cut short");
            items = Count(reinterpret_cast<const unsigned char*>(body.data()) + pos, p.count_size,
                          format == Format::big_endian);
            pos += std::size_t(p.count_size);
          }
          if (items > (body.size() - pos) / std::size_t(std::max(p.size, 1)))
            return refuse(e, i, "lists more items than the file holds");
          pos += std::size_t(items) * std::size_t(p.size);
        }
        if (p.vertex_list && items == 0) return refuse(e, i, "has no vertices");
      }
  return true;
}

// Where the header's last line starts: the first line whose first word is
// "end_header", as the model reader finds it (the word inside a comment or
// another word ends nothing); npos without one.
std::size_t EndOfHeader(std::string_view bytes) {
  bytes = bytes.substr(0, kMaxHeaderBytes);
  for (std::size_t line = 0; line < bytes.size();) {
    const std::size_t next = bytes.find('\n', line);
    const std::string_view text = bytes.substr(line, next == std::string_view::npos ? next : next - line);
    const std::size_t word = text.find_first_not_of(" \t\r");
    if (word != std::string_view::npos && text.substr(word, text.find_first_of(" \t\r", word) - word) == "end_header")
      return line;
    if (next == std::string_view::npos) break;
    line = next + 1;
  }
  return std::string_view::npos;
}

// `head` is the start of the file, the header included; `total` the file's size.
bool CheckHeader(std::string_view bytes, unsigned long long total, std::string& problem) {
  const std::size_t end = EndOfHeader(bytes);
  if (bytes.substr(0, 3) != "ply" || end == std::string_view::npos) {
    problem = "not a PLY file with a complete header";
    return false;
  }
  std::size_t body = bytes.find('\n', end);
  // The model reader waits for the line's end past the end of the file.
  if (body == std::string_view::npos) {
    problem = "the header's \"end_header\" line has no line end";
    return false;
  }
  ++body;
  std::istringstream header{std::string(bytes.substr(0, end))};
  Format format = Format::ascii;
  std::vector<Element> elements;
  for (std::string line; std::getline(header, line);) {
    std::istringstream words(line);
    std::string keyword;
    words >> keyword;
    if (keyword == "format") {
      std::string name;
      words >> name;
      format = name == "ascii" ? Format::ascii : name == "binary_big_endian" ? Format::big_endian : Format::little_endian;
    } else if (keyword == "element") {
      Element e;
      std::string count;
      words >> e.name >> count;
      if (count.empty() || count.size() > 12 || count.find_first_not_of("0123456789") != std::string::npos) {
        problem = "element \"" + e.name + "\" has no sensible count";
        return false;
      }
      e.count = std::stoull(count);
      // The model reader writes past its arrays for an element declared twice.
      for (const Element& earlier : elements)
        if (earlier.name == e.name) {
          problem = "element \"" + e.name + "\" is declared twice";
          return false;
        }
      elements.push_back(e);
    } else if (keyword == "property" && !elements.empty()) {
      std::string type, item, name;
      words >> type;
      Property property;
      if (type == "list") {  // a list may be empty: only its count is sure
        words >> type >> item >> name;
        property.count_size = ScalarSize(type);
        property.size = ScalarSize(item);
        property.vertex_list = elements.back().name == "face" && (name == "vertex_indices" || name == "vertex_index");
        if (property.count_size == 0 || property.size == 0) {
          problem = "property \"" + name + "\" has an unknown type";
          return false;
        }
      } else {
        property.size = ScalarSize(type);
        if (property.size == 0) {
          problem = "a property has the unknown type \"" + type + "\"";
          return false;
        }
      }
      elements.back().min_binary_bytes += unsigned(type == "list" ? property.count_size : property.size);
      elements.back().layout.push_back(property);
      elements.back().properties += 1;
    }
  }
  const unsigned long long available = total > body ? total - body : 0;
  unsigned long long needed = 0;
  const bool binary = format != Format::ascii;
  for (const Element& e : elements) {
    const unsigned long long per = binary ? e.min_binary_bytes : e.properties;
    needed += e.count * (per == 0 ? 1 : per);
    if (needed > available) {
      problem = "declares " + std::to_string(e.count) + " \"" + e.name + "\" elements, more than the file's " +
                std::to_string(available) + " bytes of data can hold";
      return false;
    }
  }
  // The whole body is at hand only when the caller gave the whole file.
  if (bytes.size() < total) return true;
  return CheckBody(bytes.substr(std::min(body, bytes.size())), elements, format, problem);
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
  // The header's counts first, without reading the rest; then the lists.
  std::string head(std::size_t(std::min<std::uintmax_t>(size, kMaxHeaderBytes)), '\0');
  in.read(head.data(), std::streamsize(head.size()));
  if (!CheckHeader(head, size, problem) || head.size() == size) return problem.empty();
  std::string whole(std::size_t(size), '\0');
  in.seekg(0);
  in.read(whole.data(), std::streamsize(whole.size()));
  return CheckHeader(whole, size, problem);
}

}  // namespace ply_counts
