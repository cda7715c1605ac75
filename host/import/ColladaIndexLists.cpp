#include "host/import/ColladaIndexLists.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace collada_index_lists {

bool CheckText(std::string_view xml, std::string& problem) {
  for (std::size_t at = xml.find('<'); at != std::string_view::npos; at = xml.find('<', at + 1)) {
    // An opening <p> or <h> tag, with or without attributes; not <param>, <h1>, </p> or <p/>.
    const char name = at + 1 < xml.size() ? xml[at + 1] : '\0';
    const char after = at + 2 < xml.size() ? xml[at + 2] : '\0';
    if ((name != 'p' && name != 'h') || (after != '>' && after != ' ' && after != '\t' && after != '\n' && after != '\r'))
      continue;
    const std::size_t open_end = xml.find('>', at);
    if (open_end == std::string_view::npos) break;
    if (xml[open_end - 1] == '/') continue;  // empty
    const std::size_t close = xml.find('<', open_end);
    const std::string_view list = xml.substr(open_end + 1, close == std::string_view::npos ? close : close - open_end - 1);
    const bool numbers = std::all_of(list.begin(), list.end(), [](char c) {
      return (c >= '0' && c <= '9') || c == ' ' || c == '\t' || c == '\n' || c == '\r';
    });
    // A comment or character data inside the list is refused too: the reader may take its text.
    const std::string closing = std::string("</") + name;
    if (!numbers || (close != std::string_view::npos && xml.substr(close, closing.size()) != closing)) {
      const std::size_t line = 1 + std::size_t(std::count(xml.begin(), xml.begin() + long(at), '\n'));
      problem = "line " + std::to_string(line) + ": the <" + std::string(1, name) +
                "> index list holds something other than whole numbers";
      return false;
    }
    at = close == std::string_view::npos ? xml.size() - 1 : close - 1;
  }
  return true;
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

}  // namespace collada_index_lists
