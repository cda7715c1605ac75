#include "host/import/FileSearch.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace file_search {

std::optional<fs::path> ByPathTail(const fs::path& written, const fs::path& start) {
  std::vector<fs::path> parts;
  for (const fs::path& part : written.relative_path()) parts.push_back(part);
  fs::path folder = start.empty() ? fs::current_path() : fs::absolute(start);
  std::error_code ec;
  for (int up = 0; up < 4 && !folder.empty(); ++up, folder = folder.parent_path()) {
    for (std::size_t keep = std::min<std::size_t>(parts.size(), 4); keep >= 1; --keep) {
      fs::path candidate = folder;
      for (std::size_t i = parts.size() - keep; i < parts.size(); ++i) candidate /= parts[i];
      if (fs::is_regular_file(candidate, ec)) return candidate.lexically_normal();
    }
    if (folder == folder.parent_path()) break;
  }
  return std::nullopt;
}

std::optional<fs::path> ByName(const fs::path& name, const fs::path& start) {
  if (name.empty()) return std::nullopt;
  const auto lower = [](std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
  };
  const std::string wanted = lower(name.string());
  const fs::path folder = start.empty() ? fs::path(".") : start;
  std::error_code ec;
  int seen = 0;
  for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
       !ec && it != end && seen < 5000; it.increment(ec), ++seen) {
    if (it.depth() > 2) it.disable_recursion_pending();
    std::error_code type_error;
    if (it->is_regular_file(type_error) && lower(it->path().filename().string()) == wanted)
      return it->path().lexically_normal();
  }
  return std::nullopt;
}

}  // namespace file_search
