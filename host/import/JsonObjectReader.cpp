#include "host/import/JsonObjectReader.h"

#include <cmath>
#include <algorithm>
#include <cstdio>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/import/ImportLog.h"

std::string JsonPointerAppend(const std::string& pointer, std::string_view key) {
  std::string out = pointer + "/";
  for (const char c : key) {
    if (c == '~')
      out += "~0";
    else if (c == '/')
      out += "~1";
    else
      out += c;
  }
  return out;
}

std::string JsonQuoted(std::string_view text) {
  // Messages are single lines of sensible length, whatever the file holds.
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size() && i < 60; ++i) out += (std::uint8_t(text[i]) < 0x20) ? '?' : text[i];
  return out + (text.size() > 60 ? "...\"" : "\"");
}

std::string JsonNumberText(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

CJsonObjectReader::CJsonObjectReader(const nlohmann::json& value, std::string pointer, const std::string& file,
                                     CImportLog& log)
    : value_(value), pointer_(std::move(pointer)), file_(file), log_(log), valid_(value.is_object()) {
  if (!valid_) log_.Error(CImportLog::Line(file_, pointer_.empty() ? "/" : pointer_, "expected an object"));
}

std::string CJsonObjectReader::PointerOf(std::string_view key) const { return JsonPointerAppend(pointer_, key); }

const nlohmann::json* CJsonObjectReader::Find(std::string_view key) {
  if (!valid_) return nullptr;
  known_.emplace(key);
  const auto it = value_.find(std::string(key));
  return it == value_.end() ? nullptr : &*it;
}

bool CJsonObjectReader::Require(std::string_view key) {
  if (Has(key)) return true;
  if (valid_) Error({}, "missing required key \"" + std::string(key) + "\"");
  return false;
}

void CJsonObjectReader::Error(std::string_view key, const std::string& what) const {
  const std::string place = key.empty() ? (pointer_.empty() ? "/" : pointer_) : PointerOf(key);
  log_.Error(CImportLog::Line(file_, place, what));
}

void CJsonObjectReader::WarnUnknownKeys() const {
  if (!valid_) return;
  for (const auto& item : value_.items())
    if (!known_.contains(item.key()))
      log_.Warning(CImportLog::Line(file_, PointerOf(item.key()), "unknown key (ignored)"));
}

bool CJsonObjectReader::NumberValue(const nlohmann::json& v, const std::string& pointer, const std::string& file,
                                    CImportLog& log, double& out, double min, double max) {
  if (!v.is_number()) {
    log.Error(CImportLog::Line(file, pointer, "expected a number"));
    return false;
  }
  const double d = v.get<double>();
  if (!std::isfinite(d) || d < min || d > max) {
    log.Error(CImportLog::Line(file, pointer,
                               "must be between " + JsonNumberText(min) + " and " + JsonNumberText(max) +
                                   ", got " + JsonNumberText(d)));
    return false;
  }
  out = d;
  return true;
}

bool CJsonObjectReader::NumbersValue(const nlohmann::json& v, const std::string& pointer, const std::string& file,
                                     CImportLog& log, std::span<double> out, double min, double max) {
  if (!v.is_array() || v.size() != out.size()) {
    log.Error(CImportLog::Line(file, pointer, "expected an array of " + std::to_string(out.size()) + " numbers"));
    return false;
  }
  std::vector<double> t(out.size());
  for (std::size_t i = 0; i < out.size(); ++i)
    if (!NumberValue(v[i], pointer + "/" + std::to_string(i), file, log, t[i], min, max)) return false;
  std::copy(t.begin(), t.end(), out.begin());
  return true;
}

bool CJsonObjectReader::TripleValue(const nlohmann::json& v, const std::string& pointer, const std::string& file,
                                    CImportLog& log, TK_3dVector& out, double limit) {
  double t[3];
  if (!NumbersValue(v, pointer, file, log, t, -limit, limit)) return false;
  out = TK_3dVector(t[0], t[1], t[2]);
  return true;
}

bool CJsonObjectReader::ColorValue(const nlohmann::json& v, const std::string& pointer, const std::string& file,
                                   CImportLog& log, TK_Color& out) {
  const char* expected = "expected a colour: [red, green, blue] with integers 0..255, or \"#rrggbb\"";
  if (v.is_string()) {
    const std::string& s = v.get_ref<const std::string&>();
    unsigned rgb = 0;
    bool ok = s.size() == 7 && s[0] == '#';
    for (std::size_t i = 1; ok && i < 7; ++i) {
      const char c = s[i];
      const int digit = (c >= '0' && c <= '9') ? c - '0'
                        : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                        : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                 : -1;
      ok = digit >= 0;
      rgb = rgb * 16 + unsigned(digit);
    }
    if (!ok) {
      log.Error(CImportLog::Line(file, pointer, expected));
      return false;
    }
    out = TK_Color(int(rgb >> 16), int((rgb >> 8) & 0xFF), int(rgb & 0xFF));
    return true;
  }
  if (!v.is_array() || v.size() != 3) {
    log.Error(CImportLog::Line(file, pointer, expected));
    return false;
  }
  int c[3];
  for (int i = 0; i < 3; ++i) {
    const nlohmann::json& e = v[i];
    const std::string at = pointer + "/" + std::to_string(i);
    if (!e.is_number_integer()) {
      log.Error(CImportLog::Line(file, at, "expected an integer 0..255"));
      return false;
    }
    const double n = e.get<double>();
    if (n < 0 || n > 255) {
      log.Error(CImportLog::Line(file, at, "must be between 0 and 255, got " + JsonNumberText(n)));
      return false;
    }
    c[i] = int(n);
  }
  out = TK_Color(c[0], c[1], c[2]);
  return true;
}

bool CJsonObjectReader::Number(std::string_view key, double& out, double min, double max) {
  const nlohmann::json* v = Find(key);
  return !v || NumberValue(*v, PointerOf(key), file_, log_, out, min, max);
}

bool CJsonObjectReader::Integer(std::string_view key, int& out, int min, int max) {
  const nlohmann::json* v = Find(key);
  if (!v) return true;
  // 2.0 counts as an integer; 2.5 does not.
  if (!v->is_number() || (v->is_number_float() && std::trunc(v->get<double>()) != v->get<double>())) {
    Error(key, "expected an integer");
    return false;
  }
  const double d = v->get<double>();
  if (!(d >= min && d <= max)) {
    Error(key, "must be between " + std::to_string(min) + " and " + std::to_string(max) + ", got " +
                   JsonNumberText(d));
    return false;
  }
  out = int(d);
  return true;
}

bool CJsonObjectReader::Boolean(std::string_view key, bool& out) {
  const nlohmann::json* v = Find(key);
  if (!v) return true;
  if (!v->is_boolean()) {
    Error(key, "expected true or false");
    return false;
  }
  out = v->get<bool>();
  return true;
}

bool CJsonObjectReader::Text(std::string_view key, std::string& out) {
  const nlohmann::json* v = Find(key);
  if (!v) return true;
  if (!v->is_string()) {
    Error(key, "expected a string");
    return false;
  }
  out = v->get<std::string>();
  return true;
}

bool CJsonObjectReader::Choice(std::string_view key, int& out,
                               std::initializer_list<std::pair<const char*, int>> names) {
  const nlohmann::json* v = Find(key);
  if (!v) return true;
  std::string list;
  for (const auto& [name, value] : names) {
    if (v->is_string() && v->get_ref<const std::string&>() == name) {
      out = value;
      return true;
    }
    list += (list.empty() ? "\"" : ", \"") + std::string(name) + "\"";
  }
  Error(key, "expected one of " + list + (v->is_string() ? ", got " + JsonQuoted(v->get<std::string>()) : ""));
  return false;
}

bool CJsonObjectReader::Triple(std::string_view key, TK_3dVector& out, double limit) {
  const nlohmann::json* v = Find(key);
  return !v || TripleValue(*v, PointerOf(key), file_, log_, out, limit);
}

bool CJsonObjectReader::Numbers(std::string_view key, std::span<double> out, double min, double max) {
  const nlohmann::json* v = Find(key);
  return !v || NumbersValue(*v, PointerOf(key), file_, log_, out, min, max);
}

bool CJsonObjectReader::Color(std::string_view key, TK_Color& out) {
  const nlohmann::json* v = Find(key);
  return !v || ColorValue(*v, PointerOf(key), file_, log_, out);
}
