#include "host/app/DirectoryManager.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

#include <unistd.h>

namespace {
// Directory names may hold any character but the file is line based, so
// backslash, tab and line feed are written as \\, \t and \n.
std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    out += c == 't' ? '\t' : c == 'n' ? '\n' : c;
  }
  return out;
}
}  // namespace

CKavraDirectoryManager::CKavraDirectoryManager() : CKavraDirectoryManager(DefaultConfigFile()) {}

CKavraDirectoryManager::CKavraDirectoryManager(std::filesystem::path config_file)
    : config_file_(std::move(config_file)) {
  Load();
}

std::filesystem::path CKavraDirectoryManager::DefaultConfigFile() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  // The XDG rules ignore a relative value.
  if (xdg && *xdg && std::filesystem::path(xdg).is_absolute())
    return std::filesystem::path(xdg) / "duskmoth" / "directories";
  const char* home = std::getenv("HOME");
  if (home && *home) return std::filesystem::path(home) / ".config" / "duskmoth" / "directories";
  return {};
}

TK_wString CKavraDirectoryManager::GetDefaultDirectory(int kind) const {
  const auto it = directories_.find(kind);
  return it == directories_.end() ? TK_wString() : it->second;
}

bool CKavraDirectoryManager::SetDefaultDirectory(int kind, const TK_wString& dir) {
  if (kind < 0 || kind > kMaxKind) return false;
  if (dir.IsEmpty())
    directories_.erase(kind);
  else
    directories_[kind] = dir;
  saved_ = Save();
  return true;
}

void CKavraDirectoryManager::Load() {
  if (config_file_.empty()) return;
  std::ifstream in(config_file_, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0) continue;
    int kind = -1;
    try {
      std::size_t used = 0;
      kind = std::stoi(line.substr(0, tab), &used);
      if (used != tab) continue;
    } catch (...) {
      continue;  // not a number: a line of some other version, ignored
    }
    const std::string dir = Unescape(line.substr(tab + 1));
    if (kind >= 0 && kind <= kMaxKind && !dir.empty()) directories_[kind] = TK_wString::FromUtf8(dir);
  }
}

bool CKavraDirectoryManager::Save() const {
  if (config_file_.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(config_file_.parent_path(), ec);
  std::ostringstream text;
  text << "# DuskMoth default directories: kind<TAB>directory\n";
  for (const auto& [kind, dir] : directories_) text << kind << '\t' << Escape(dir.ToUtf8()) << '\n';
  // Written beside and renamed over, so a failed write keeps the old file.
  std::filesystem::path temporary = config_file_;
  temporary += ".tmp" + std::to_string(getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text.str();
    out.flush();
    if (!out) {
      std::filesystem::remove(temporary, ec);
      return false;
    }
  }
  std::filesystem::rename(temporary, config_file_, ec);
  if (ec) std::filesystem::remove(temporary, ec);
  return !ec;
}
