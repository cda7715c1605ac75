#pragma once
// Import log lines as one text for failure messages, and line searches.

#include <algorithm>
#include <string>
#include <vector>

inline std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& l : lines) all += l + "\n";
  return all;
}

// Whether some line holds both parts.
inline bool AnyContains(const std::vector<std::string>& lines, const std::string& a, const std::string& b = {}) {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
    return l.find(a) != std::string::npos && l.find(b) != std::string::npos;
  });
}

inline bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}
