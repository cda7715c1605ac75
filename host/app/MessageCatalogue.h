#pragma once
// CKavraMessageCatalogue: translations of the user-visible texts, read from
// a UTF-8 file of "key<TAB>text" lines (the key of a "[[key]]" suffix, or
// the whole untranslated text). Lines starting with # and lines without a
// tab are ignored; \t, \n and \\ in either column stand for tab, line feed
// and backslash. A plain value; CKavraApp owns the one in use.

#include <filesystem>
#include <map>
#include <optional>
#include <string_view>

#include "host/toolkit/String.h"

class CKavraMessageCatalogue {
public:
  CKavraMessageCatalogue() = default;

  // Reads the file; false (catalogue unchanged) when it cannot be read.
  bool Load(const std::filesystem::path& file);
  // The catalogue named by $DUSKMOTH_CATALOGUE, or an empty one.
  static CKavraMessageCatalogue FromEnvironment();

  void Add(const std::wstring& key, const std::wstring& text) { entries_[key] = text; }
  int Count() const { return int(entries_.size()); }
  // The text stored under key, if any.
  std::optional<std::wstring> Lookup(std::wstring_view key) const;

private:
  std::map<std::wstring, std::wstring, std::less<>> entries_;
};
