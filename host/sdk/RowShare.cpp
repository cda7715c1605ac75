#include "host/sdk/RowShare.h"

#include <algorithm>
#include <cwctype>
#include <vector>

int RowShare::OwnedRows(int height) const {
  if (Whole()) return height;
  int rows = 0;
  for (int b = index; b * block < height; b += count) rows += std::min(block, height - b * block);
  return rows;
}

RowShare RowShare::Resolved(int height) const {
  if (block > 0 || Whole()) return *this;
  return RowShare{index, count, std::clamp(height / (4 * count), 16, 64)};
}

std::wstring RowShare::ToOption() const {
  return std::to_wstring(index) + L',' + std::to_wstring(count) + L',' + std::to_wstring(block);
}

std::optional<RowShare> RowShare::FromOption(const std::wstring& text) {
  std::vector<int> numbers;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find(L',', start), text.size());
    const std::wstring part = text.substr(start, end - start);
    // Six digits at most: no overflow, and far beyond any image side.
    if (part.empty() || part.size() > 6 || !std::all_of(part.begin(), part.end(), ::iswdigit)) return std::nullopt;
    numbers.push_back(std::stoi(part));
    start = end + 1;
  }
  if (numbers.size() != 3 || numbers[1] < 1 || numbers[0] >= numbers[1]) return std::nullopt;
  return RowShare{numbers[0], numbers[1], numbers[2]};
}
