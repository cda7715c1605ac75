#pragma once
// Strings of the toolkit: TK_wString holds wide text (names, file names; stored
// in files as UTF-16), TK_String narrow UTF-8 text. Both are plain values.

#include <string>
#include <string_view>

class TK_String {
public:
  TK_String() = default;
  TK_String(const char* s) : text_(s ? s : "") {}
  TK_String(std::string s) : text_(std::move(s)) {}

  const char* c_str() const { return text_.c_str(); }
  const std::string& str() const { return text_; }
  int Length() const { return int(text_.size()); }
  bool IsEmpty() const { return text_.empty(); }
  bool operator==(const TK_String&) const = default;

private:
  std::string text_;
};

class TK_wString {
public:
  TK_wString() = default;
  TK_wString(const wchar_t* s) : text_(s ? s : L"") {}
  TK_wString(std::wstring s) : text_(std::move(s)) {}

  // UTF-8 in and out, for file names and terminal output. Invalid UTF-8 bytes
  // become U+FFFD rather than failing.
  static TK_wString FromUtf8(std::string_view utf8);
  std::string ToUtf8() const;

  const wchar_t* c_str() const { return text_.c_str(); }
  const std::wstring& str() const { return text_; }
  int Length() const { return int(text_.size()); }
  bool IsEmpty() const { return text_.empty(); }
  void Empty() { text_.clear(); }
  // Lower-cases in place (simple case mapping of the current character set).
  void MakeLower();

  TK_wString& operator+=(const TK_wString& o) { text_ += o.text_; return *this; }
  TK_wString operator+(const TK_wString& o) const { return TK_wString(text_ + o.text_); }
  bool operator==(const TK_wString&) const = default;
  auto operator<=>(const TK_wString&) const = default;

private:
  std::wstring text_;
};
