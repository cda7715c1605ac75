#include "host/import/ImportLog.h"

std::string CImportLog::Line(const std::string& file, const std::string& place, const std::string& what) {
  std::string line = file + ": ";
  if (!place.empty()) line += place + ": ";
  return line + what;
}
