#include "host/import/ObjMaterialLibrary.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace obj_materials {
namespace {

// Bounds what a hostile file can make us read: MTL files are small.
constexpr std::uintmax_t kMaxMtlBytes = 64u << 20;
constexpr int kMaxLibraries = 64;

bool IsNumber(const std::string& token) {
  char* end = nullptr;
  std::strtod(token.c_str(), &end);
  return !token.empty() && end == token.c_str() + token.size();
}

// The model reader passes over NUL bytes as it does over blanks.
constexpr std::string_view kBlanks{" \t\r\n\0", 5};

std::string Trim(std::string_view s) {
  const auto first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(kBlanks);
  return std::string(s.substr(first, last - first + 1));
}

// Splits "keyword rest" at the first blank.
std::pair<std::string, std::string> Statement(const std::string& line) {
  const std::string t = Trim(line);
  const auto blank = t.find_first_of(" \t");
  if (blank == std::string::npos) return {t, {}};
  return {t.substr(0, blank), Trim(std::string_view(t).substr(blank))};
}

// Calls take(line number, keyword, rest) for every statement of the file,
// as the model reader sees them: a carriage return, a form feed and a NUL
// byte end a statement as a line feed does (lines are counted by the last).
template <class Take> void ForEachStatement(std::istream& in, const Take& take) {
  constexpr std::string_view kStatementEnds{"\r\f\0", 3};
  int number = 0;
  for (std::string whole; std::getline(in, whole);) {
    ++number;
    for (std::size_t start = 0; start <= whole.size();) {
      const std::size_t end = std::min(whole.find_first_of(kStatementEnds, start), whole.size());
      const auto [keyword, rest] = Statement(whole.substr(start, end - start));
      start = end + 1;
      take(number, keyword, rest);
    }
  }
}

}  // namespace

std::string MapFileName(std::string_view arguments, std::string* type, double* gain) {
  std::istringstream in{std::string(arguments)};
  std::vector<std::string> tokens;
  for (std::string t; in >> t;) tokens.push_back(t);
  std::size_t i = 0;
  while (i < tokens.size() && tokens[i].size() > 1 && tokens[i][0] == '-' && !IsNumber(tokens[i])) {
    const std::string option = tokens[i++];
    if (option == "-o" || option == "-s" || option == "-t") {
      // One to three numbers.
      for (int n = 0; n < 3 && i < tokens.size() && IsNumber(tokens[i]); ++n) ++i;
    } else if (option == "-mm") {
      if (gain && i + 1 < tokens.size() && IsNumber(tokens[i]) && IsNumber(tokens[i + 1]))
        *gain = std::strtod(tokens[i + 1].c_str(), nullptr);
      i += 2;
    } else if (option == "-type" && i < tokens.size()) {
      if (type) *type = tokens[i];
      ++i;
    } else {
      ++i;  // -blendu, -blendv, -boost, -clamp, -bm, -imfchan, -texres, -cc: one argument
    }
  }
  // The rest is the file name, blanks included.
  std::string name;
  for (; i < tokens.size(); ++i) name += (name.empty() ? "" : " ") + tokens[i];
  return name;
}

ObjMaterialFacts ReadMaterialFacts(const std::filesystem::path& obj_path) {
  ObjMaterialFacts facts;
  std::map<std::string, std::string>& maps = facts.reflection_maps;
  std::vector<std::string> libraries;
  {
    std::ifstream obj(obj_path);
    ForEachStatement(obj, [&](int, const std::string& keyword, const std::string& rest) {
      if (keyword == "usemtl") facts.used.insert(rest);
      if (keyword != "mtllib") return;
      // Several names may share a line; names with blanks cannot then be told apart.
      std::istringstream names(rest);
      for (std::string n; names >> n && int(libraries.size()) < kMaxLibraries;) libraries.push_back(n);
    });
  }
  std::map<std::string, bool> is_sphere;
  for (const std::string& library : libraries) {
    std::filesystem::path path = library;
    if (path.is_relative()) path = obj_path.parent_path() / path;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec) || std::filesystem::file_size(path, ec) > kMaxMtlBytes) continue;
    std::ifstream mtl(path);
    std::string current;
    bool named = false;
    ForEachStatement(mtl, [&](int number, const std::string& keyword, const std::string& rest) {
      // The reader knows its statements by how they start ("normal" is "norm").
      const auto starts = [&keyword](std::string_view with) { return keyword.starts_with(with); };
      const bool map = starts("map_") || starts("bump") || starts("disp") || starts("decal") || starts("refl") ||
                       starts("norm");
      // The reader takes a statement starting with 'a' for the anisotropy
      // of the material it is in: before any, it has none.
      if ((map || (!keyword.empty() && keyword[0] == 'a')) && !named && facts.problem.empty())
        facts.problem = path.filename().string() + " line " + std::to_string(number) + ": \"" + keyword +
                        "\" comes before any \"newmtl\"";
      if (starts("newmtl")) {
        named = true;
        current = rest;
      } else if ((keyword == "refl" || keyword == "map_refl") && !current.empty()) {
        std::string type;
        double gain = -1.0;
        const std::string file = MapFileName(rest, &type, &gain);
        if (file.empty()) return;
        const bool sphere = type == "sphere";
        if (!maps.contains(current) || (sphere && !is_sphere[current])) {
          maps[current] = file;
          is_sphere[current] = sphere;
          if (gain >= 0.0 && gain <= 1.0) facts.reflection_strengths[current] = gain;
          else facts.reflection_strengths.erase(current);
        }
      }
    });
  }
  return facts;
}

}  // namespace obj_materials
