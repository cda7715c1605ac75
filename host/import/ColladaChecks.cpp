#include "host/import/ColladaChecks.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <fstream>
#include <sstream>

namespace collada_checks {

namespace {

std::size_t LineOf(std::string_view xml, std::size_t at) {
  return 1 + std::size_t(std::count(xml.begin(), xml.begin() + long(at), '\n'));
}

// The tag starting at `at` up to its '>', or up to the next '<' of a
// malformed one (so that no scan goes further than the next tag).
std::string_view Tag(std::string_view xml, std::size_t at) {
  const std::size_t end = xml.find_first_of("<>", at + 1);
  return xml.substr(at, end == std::string_view::npos ? end : end - at);
}

// An attribute's value in either quotes; none when the tag lacks it.
std::optional<std::string> Attribute(std::string_view tag, std::string_view name) {
  for (std::size_t at = tag.find(name); at != std::string_view::npos; at = tag.find(name, at + 1)) {
    const std::size_t eq = at + name.size();
    const bool blank_before = at > 0 && (tag[at - 1] == ' ' || tag[at - 1] == '\t' || tag[at - 1] == '\n' || tag[at - 1] == '\r');
    if (!blank_before || eq + 1 >= tag.size() || tag[eq] != '=' || (tag[eq + 1] != '"' && tag[eq + 1] != '\''))
      continue;
    const std::size_t close = tag.find(tag[eq + 1], eq + 2);
    if (close == std::string_view::npos) return std::nullopt;
    return std::string(tag.substr(eq + 2, close - eq - 2));
  }
  return std::nullopt;
}

// A whole number as the reader takes one: its leading digits, 0 without any.
std::uint64_t Count(const std::optional<std::string>& text, std::uint64_t absent) {
  if (!text) return absent;
  return std::strtoull(text->c_str(), nullptr, 10);
}

bool IndexListsAreNumbers(std::string_view xml, std::string& problem) {
  for (std::size_t at = xml.find('<'); at != std::string_view::npos; at = xml.find('<', at + 1)) {
    // An opening <p> or <h> tag, with or without attributes; not <param>, <h1>, </p> or <p/>.
    const char name = at + 1 < xml.size() ? xml[at + 1] : '\0';
    const char after = at + 2 < xml.size() ? xml[at + 2] : '\0';
    if ((name != 'p' && name != 'h') || (after != '>' && after != ' ' && after != '\t' && after != '\n' && after != '\r'))
      continue;
    const std::size_t open_end = at + Tag(xml, at).size();
    if (open_end >= xml.size()) break;
    if (xml[open_end] != '>' || xml[open_end - 1] == '/') continue;  // malformed, or empty
    const std::size_t close = xml.find('<', open_end);
    const std::string_view list = xml.substr(open_end + 1, close == std::string_view::npos ? close : close - open_end - 1);
    const bool numbers = std::all_of(list.begin(), list.end(), [](char c) {
      return (c >= '0' && c <= '9') || c == ' ' || c == '\t' || c == '\n' || c == '\r';
    });
    // A comment or character data inside the list is refused too: the reader may take its text.
    const std::string closing = std::string("</") + name;
    if (!numbers || (close != std::string_view::npos && xml.substr(close, closing.size()) != closing)) {
      problem = "line " + std::to_string(LineOf(xml, at)) + ": the <" + std::string(1, name) +
                "> index list holds something other than whole numbers";
      return false;
    }
    at = close == std::string_view::npos ? xml.size() - 1 : close - 1;
  }
  return true;
}

// Arrays by id with their counts (a missing count is none); then every
// accessor of one of them must stay inside it.
bool AccessorsFitTheirArrays(std::string_view xml, std::string& problem) {
  std::map<std::string, std::uint64_t> arrays;
  for (std::size_t at = xml.find('<'); at != std::string_view::npos; at = xml.find('<', at + 1)) {
    const std::string_view tag = Tag(xml, at);
    const std::size_t name_end = tag.find_first_of(" \t\r\n/");
    const std::string_view name = tag.substr(1, name_end == std::string_view::npos ? name_end : name_end - 1);
    if (name.size() <= 6 || name.substr(name.size() - 6) != "_array") continue;
    // The reader sizes the array by its count: a signed one crashed it.
    const std::optional<std::string> count = Attribute(tag, "count");
    if (count && (count->empty() || count->size() > 12 || count->find_first_not_of("0123456789") != std::string::npos)) {
      problem = "line " + std::to_string(LineOf(xml, at)) + ": an array declares the count \"" + *count +
                "\", which is not a whole number";
      return false;
    }
    if (const std::optional<std::string> id = Attribute(tag, "id")) arrays[*id] = Count(count, 0);
  }
  for (std::size_t at = xml.find("<accessor"); at != std::string_view::npos; at = xml.find("<accessor", at + 1)) {
    const std::string_view tag = Tag(xml, at);
    std::string source = Attribute(tag, "source").value_or("");
    if (!source.empty() && source[0] == '#') source.erase(0, 1);
    const auto array = arrays.find(source);
    if (array == arrays.end()) continue;
    const std::uint64_t count = Count(Attribute(tag, "count"), 0), stride = Count(Attribute(tag, "stride"), 1),
                        offset = Count(Attribute(tag, "offset"), 0);
    const std::uint64_t size = array->second;
    if (offset > size || count > (size - offset) / std::max<std::uint64_t>(stride, 1)) {
      problem = "line " + std::to_string(LineOf(xml, at)) + ": an accessor reads " + std::to_string(count) + " x " +
                std::to_string(stride) + " values from \"" + source + "\", which holds " + std::to_string(size);
      return false;
    }
  }
  return true;
}

}  // namespace

// Every <polylist> says how many corners each polygon has: the reader
// takes the counts of one without them from no list at all.
bool PolylistsHaveCounts(std::string_view xml, std::string& problem) {
  for (std::size_t at = xml.find("<polylist"); at != std::string_view::npos; at = xml.find("<polylist", at + 1)) {
    const std::string_view tag = Tag(xml, at);
    if (tag.size() > 1 && tag[tag.size() - 2] == '/') continue;  // empty
    const std::size_t end = xml.find("</polylist", at);
    if (xml.substr(at, end == std::string_view::npos ? end : end - at).find("<vcount") == std::string_view::npos) {
      problem = "line " + std::to_string(LineOf(xml, at)) + ": a <polylist> has no <vcount>";
      return false;
    }
  }
  return true;
}

bool CheckText(std::string_view xml, std::string& problem) {
  return IndexListsAreNumbers(xml, problem) && AccessorsFitTheirArrays(xml, problem) &&
         PolylistsHaveCounts(xml, problem);
}

bool Check(const std::filesystem::path& path, std::string& problem) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  if (!in || !(text << in.rdbuf())) {
    problem = "cannot read the file";
    return false;
  }
  return CheckText(text.str(), problem);
}

}  // namespace collada_checks
