#include "host/import/PlainObjReader.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

// Assimp's own number parser, so that every coordinate is the float its
// OBJ reader makes of the same text (it is not correctly rounded).
#include <assimp/fast_atof.h>

namespace fs = std::filesystem;

namespace plain_obj {
namespace {

constexpr std::uintmax_t kMaxFileBytes = 2ull << 30;  // larger files go to Assimp, which refuses them
constexpr std::size_t kMaxFaces = 50'000'000;          // the import's own bound; Assimp's path words the refusal
constexpr unsigned kLinesBetweenStopChecks = 1u << 16;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool EndsToken(char c) { return IsBlank(c) || IsLineEnd(c); }
// Characters Assimp reads as more than text: control characters (it ends a
// line at some of them) and the backslash (it joins a line ending in one to
// the next).
bool IsSpecial(char c) { return ((unsigned char)c < 0x20 && c != '\t') || c == '\\'; }

// What Assimp's number parser would throw; never thrown, as only numbers
// it reads as written reach it (its own error type is not exported).
struct NotANumber {
  template <class... Args> explicit NotANumber(Args&&...) {}
};

float Finite(float x) { return std::isfinite(x) ? x : 0.0f; }

const char* SkipBlanks(const char* p) {
  while (IsBlank(*p)) ++p;
  return p;
}

// The text of the whole file, ending in a line end (so that every line has
// one) and a NUL. Nothing for an unreadable or oversized file.
std::optional<std::string> ReadText(const fs::path& path) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec || size == 0 || size > kMaxFileBytes) return std::nullopt;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return std::nullopt;
  std::string text(std::size_t(size) + 1, '\n');
  if (std::fread(text.data(), 1, std::size_t(size), file.get()) != size) return std::nullopt;
  return text;
}

// Reads the lines of one file; each statement either goes into the arrays
// or marks the file as not plain, which ends the reading.
class Parser {
public:
  // False when the file is not plain or `stop` said to stop.
  bool ReadAll(const std::string& text, const std::function<bool()>& stop) {
    p_ = text.c_str();
    const char* const end = p_ + text.size();
    for (unsigned line = 1; p_ < end; ++line) {
      if (line % kLinesBetweenStopChecks == 0 && stop && stop()) return false;
      if (!Statement()) return false;
      // Only comments, smoothing groups and object names leave text behind.
      for (; !IsLineEnd(*p_); ++p_)
        if (IsSpecial(*p_)) return false;
      ++p_;
    }
    return !faces_.empty();
  }

  PlainModel Model() && {
    PlainModel model;
    model.name = name_.empty() ? "defaultobject" : std::move(name_);
    mesh_welding::CornerMesh& mesh = model.mesh;
    mesh.points = std::move(positions_);
    if (form_ & kTexture) mesh.texture = std::move(texture_);
    if (form_ & kNormal) mesh.normals = std::move(normals_);
    mesh.corners = std::move(faces_);
    model.positions = mesh_welding::UniquePositions(mesh);
    return model;
  }

private:
  using Corner = mesh_welding::CornerMesh::Corner;
  static constexpr int kTexture = 1, kNormal = 2;

  // One statement at p_; the rest of its line is left for ReadAll to skip.
  bool Statement() {
    const char* p = SkipBlanks(p_);
    if (IsLineEnd(*p) || (*p == '#' && p == p_)) return Skip(p);
    if (p != p_) return false;  // Assimp reads an indented statement as no statement
    const char* word = p;
    while (!EndsToken(*p)) ++p;
    const std::string_view keyword(word, std::size_t(p - word));
    if (p == word || !IsBlank(*p)) return false;  // every statement here has arguments
    p = SkipBlanks(p);
    if (keyword == "v") return Numbers(p, 3, 3, [&](const float* x) { positions_.emplace_back(x[0], x[1], x[2]); });
    if (keyword == "vn") return Numbers(p, 3, 3, [&](const float* x) { normals_.emplace_back(x[0], x[1], x[2]); });
    // Assimp reads a texture coordinate that is not finite as 0.
    if (keyword == "vt") return Numbers(p, 2, 3, [&](const float* x) { texture_.emplace_back(Finite(x[0]), Finite(x[1])); });
    if (keyword == "f") return Face(p);
    if (keyword == "s") return Skip(p);  // smoothing groups: normals are smoothed over the whole mesh
    if (keyword == "o") return ObjectName(p);
    return false;
  }

  bool Skip(const char* p) {
    p_ = p;
    return true;
  }

  // Where the number at p ends when it is one Assimp's parser reads as
  // written ([+-]digits[.digits][(e|E)[+-]digits], no more integer digits
  // than its 64-bit integer holds), followed by a blank or the line end;
  // else null. Words such as "nan" and commas as decimal points are not
  // plain, nor a number starting with its point (".5": Assimp's OBJ reader
  // does not count it as one, "-.5" it does).
  static const char* NumberEnd(const char* p) {
    if (*p == '.') return nullptr;
    if (*p == '+' || *p == '-') ++p;
    const char* digits = p;
    while (IsDigit(*p)) ++p;
    const std::ptrdiff_t whole = p - digits;
    if (whole > 18) return nullptr;
    if (*p == '.') {
      const char* fraction = ++p;
      while (IsDigit(*p)) ++p;
      if (whole == 0 && p == fraction) return nullptr;
    } else if (whole == 0) {
      return nullptr;
    }
    if (*p == 'e' || *p == 'E') {
      ++p;
      if (*p == '+' || *p == '-') ++p;
      const char* exponent = p;
      while (IsDigit(*p)) ++p;
      if (p == exponent || p - exponent > 9) return nullptr;
    }
    return EndsToken(*p) ? p : nullptr;
  }

  // Between `least` and `most` numbers up to the line end, handed to `take`.
  template <class Take> bool Numbers(const char* p, int least, int most, Take take) {
    float x[3] = {0, 0, 0};
    int count = 0;
    while (!IsLineEnd(*p)) {
      const char* end = count < most ? NumberEnd(p) : nullptr;
      if (!end) return false;
      Assimp::fast_atoreal_move<float, NotANumber>(p, x[count++]);
      p = SkipBlanks(end);
    }
    if (count < least) return false;
    take(x);
    p_ = p;
    return true;
  }

  // A 1-based index, or a negative one counting back from the last element
  // read so far, made 0-based; false for 0, for one past what was read
  // (a reference forward), and for anything but up to nine digits without
  // a leading zero.
  static bool Index(const char*& p, std::size_t count, std::uint32_t& out) {
    const bool back = *p == '-';
    if (back) ++p;
    long long value = 0;
    const char* digits = p;
    while (IsDigit(*p) && p - digits < 9) value = value * 10 + (*p++ - '0');
    if (p == digits || *digits == '0' || IsDigit(*p) || std::size_t(value) > count) return false;
    out = std::uint32_t(back ? (long long)(count)-value : value - 1);
    return true;
  }

  // A triangle whose corners all take the form of the file's first face
  // (v, v/t, v//n or v/t/n).
  bool Face(const char* p) {
    Corner corner[3];
    int form = 0;
    for (Corner& c : corner) {
      if (IsLineEnd(*p) || !Index(p, positions_.size(), c.point)) return false;
      if (*p == '/') {
        ++p;
        if (*p != '/') {
          if (!Index(p, texture_.size(), c.texture)) return false;
          form |= kTexture;
        }
        if (*p == '/') {
          ++p;
          if (!Index(p, normals_.size(), c.normal)) return false;
          form |= kNormal;
        }
      }
      if (!EndsToken(*p)) return false;
      p = SkipBlanks(p);
      if (faces_.empty() && &c == &corner[0]) form_ = form;
      if (form != form_) return false;
      form = 0;
    }
    if (!IsLineEnd(*p) || faces_.size() / 3 >= kMaxFaces) return false;
    faces_.insert(faces_.end(), std::begin(corner), std::end(corner));
    p_ = p;
    return true;
  }

  // The name of the one object, given before its faces: its first word,
  // as Assimp takes it.
  bool ObjectName(const char* p) {
    const char* start = p;
    for (; !EndsToken(*p); ++p)
      if (IsSpecial(*p)) return false;
    if (p == start || !name_.empty() || !faces_.empty()) return false;
    name_.assign(start, p);
    return Skip(p);
  }

  const char* p_ = nullptr;
  std::vector<TK_3fPoint> positions_;
  std::vector<TK_3fVector> normals_;
  std::vector<TK_2fPoint> texture_;
  std::vector<Corner> faces_;  // three per face
  int form_ = 0;
  std::string name_;
};

}  // namespace

std::optional<PlainModel> Read(const fs::path& path, const std::function<bool()>& stop) {
  Parser parser;
  {
    // The text goes before the mesh is made: only one of them is large at a time.
    const std::optional<std::string> text = ReadText(path);
    if (!text || !parser.ReadAll(*text, stop)) return std::nullopt;
  }
  return std::move(parser).Model();
}

}  // namespace plain_obj
