#include "host/app/MessageCatalogue.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {
std::wstring Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    if (c == 't') out += '\t';
    else if (c == 'n') out += '\n';
    else if (c == '\\') out += '\\';
    else out += {'\\', c};  // unknown escapes stay as written
  }
  return TK_wString::FromUtf8(out).str();
}
}  // namespace

bool CKavraMessageCatalogue::Load(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return false;
  std::string_view rest = content;
  if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);  // a byte-order mark some editors add
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos || tab == 0) continue;
    entries_[Unescape(line.substr(0, tab))] = Unescape(line.substr(tab + 1));
  }
  return true;
}

CKavraMessageCatalogue CKavraMessageCatalogue::FromEnvironment() {
  CKavraMessageCatalogue catalogue;
  const char* file = std::getenv("DUSKMOTH_CATALOGUE");
  if (file && *file) catalogue.Load(file);
  return catalogue;
}

std::optional<std::wstring> CKavraMessageCatalogue::Lookup(std::wstring_view key) const {
  const auto it = entries_.find(key);
  if (it == entries_.end()) return std::nullopt;
  return it->second;
}
