#pragma once
// Checked, typed reading of one object of a JSON scene file: each value is
// looked up by key, checked for type and range, and any fault is logged with
// the file name and the value's JSON pointer ("scene.json: /lights/0/angle:
// ..."); keys nobody asked for are logged as warnings. The reader refers to a
// JSON value and a log that the caller owns and keeps alive.

#include <initializer_list>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include <nlohmann/json_fwd.hpp>

#include "host/toolkit/Color.h"
#include "host/toolkit/Point.h"

class CImportLog;

class CJsonObjectReader {
public:
  // Logs "expected an object" when the value is not one; IsValid() then says no.
  CJsonObjectReader(const nlohmann::json& value, std::string pointer, const std::string& file, CImportLog& log);

  bool IsValid() const { return valid_; }
  const std::string& Pointer() const { return pointer_; }
  std::string PointerOf(std::string_view key) const;
  const std::string& File() const { return file_; }
  CImportLog& Log() const { return log_; }

  // The member, or null when absent; either way the key counts as known.
  const nlohmann::json* Find(std::string_view key);
  bool Has(std::string_view key) { return Find(key) != nullptr; }
  // Logs "missing required key" for an absent key.
  bool Require(std::string_view key);

  // Each getter leaves `out` untouched and answers true when the key is
  // absent; sets `out` and answers true for a good value; logs an error and
  // answers false for a value of the wrong type or out of range.
  bool Number(std::string_view key, double& out, double min, double max);
  bool Integer(std::string_view key, int& out, int min, int max);
  bool Boolean(std::string_view key, bool& out);
  bool Text(std::string_view key, std::string& out);
  // One of the given names, stored as its value.
  bool Choice(std::string_view key, int& out, std::initializer_list<std::pair<const char*, int>> names);
  // Three finite numbers, each of magnitude at most `limit`.
  bool Triple(std::string_view key, TK_3dVector& out, double limit);
  // An array of exactly out.size() numbers, each within min..max.
  bool Numbers(std::string_view key, std::span<double> out, double min, double max);
  // [red, green, blue] with integers 0..255, or "#rrggbb".
  bool Color(std::string_view key, TK_Color& out);

  // Logs an error at the key's pointer (or at the object itself for an empty key).
  void Error(std::string_view key, const std::string& what) const;
  // Logs a warning for each key never looked up.
  void WarnUnknownKeys() const;

  // The same checks on a value at a given pointer, for array elements.
  static bool NumberValue(const nlohmann::json& v, const std::string& pointer, const std::string& file,
                          CImportLog& log, double& out, double min, double max);
  static bool NumbersValue(const nlohmann::json& v, const std::string& pointer, const std::string& file,
                           CImportLog& log, std::span<double> out, double min, double max);
  static bool TripleValue(const nlohmann::json& v, const std::string& pointer, const std::string& file,
                          CImportLog& log, TK_3dVector& out, double limit);
  static bool ColorValue(const nlohmann::json& v, const std::string& pointer, const std::string& file,
                         CImportLog& log, TK_Color& out);

private:
  const nlohmann::json& value_;
  std::string pointer_;
  const std::string& file_;
  CImportLog& log_;
  bool valid_ = false;
  std::set<std::string, std::less<>> known_;
};

// "/a/b" + key, with '~' and '/' escaped as JSON pointers require.
std::string JsonPointerAppend(const std::string& pointer, std::string_view key);
// The text in double quotes, cut short and with control characters
// replaced, for one-line messages.
std::string JsonQuoted(std::string_view text);
// A short form of a number for messages ("2.5", "1e+20").
std::string JsonNumberText(double v);
