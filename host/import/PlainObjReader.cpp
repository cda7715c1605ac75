#include "host/import/PlainObjReader.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

// Assimp's own number parser, so that every coordinate is the float its
// OBJ reader makes of the same text (it is not correctly rounded).
#include <assimp/fast_atof.h>

#include "host/platform/InParts.h"

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

// The text of a whole file, ending in a line end (so that every line has
// one) and a NUL.
struct Text {
  std::unique_ptr<char[]> bytes;
  std::size_t size = 0;  // with the line end, without the NUL
  std::string_view View() const { return {bytes.get(), size}; }
};

// The file's text, read in `parts` parts at once into memory not cleared
// first. Nothing for an unreadable or oversized file.
std::optional<Text> ReadText(const fs::path& path, int parts) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec || size == 0 || size > kMaxFileBytes) return std::nullopt;
  Text text{std::make_unique_for_overwrite<char[]>(std::size_t(size) + 2), std::size_t(size) + 1};
  std::atomic<bool> read = true;
  InParts(0, std::size_t(size), parts, [&](int, std::size_t begin, std::size_t end) {
    if (begin == end) return;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file || std::fseek(file.get(), long(begin), SEEK_SET) != 0 ||
        std::fread(text.bytes.get() + begin, 1, end - begin, file.get()) != end - begin)
      read = false;
  });
  if (!read) return std::nullopt;
  text.bytes[size] = '\n';
  text.bytes[size + 1] = '\0';
  return text;
}

using Corner = mesh_welding::CornerMesh::Corner;

// How many statements of each kind a stretch of text holds, or (for a
// parser) has read; as offsets, where the statements of a stretch begin.
struct Counts {
  std::size_t points = 0, normals = 0, texture = 0, faces = 0;
  Counts& operator+=(const Counts& o) {
    points += o.points, normals += o.normals, texture += o.texture, faces += o.faces;
    return *this;
  }
};

// The statements in [begin, end), known by the first letters of their
// lines; a plain file's statements all start their lines, so a stretch read
// without fault holds exactly these.
Counts CountStatements(const char* p, const char* end) {
  Counts counts;
  while (p < end) {
    if (p[0] == 'v') {
      if (IsBlank(p[1])) ++counts.points;
      else if (p[1] == 'n' && IsBlank(p[2])) ++counts.normals;
      else if (p[1] == 't' && IsBlank(p[2])) ++counts.texture;
    } else if (p[0] == 'f' && IsBlank(p[1])) {
      ++counts.faces;
    }
    while (!IsLineEnd(*p)) ++p;
    ++p;
  }
  return counts;
}

// Where the file's arrays are, made to their final sizes before the lines
// are read.
struct Arrays {
  TK_3fPoint* points;
  TK_3fVector* normals;
  TK_2fPoint* texture;
  Corner* corners;  // three per face
};

// Reads the lines of a stretch of one file, whose statements go into the
// arrays from `before` on (the statements of the stretches before it);
// each statement either goes into the arrays or marks the file as not
// plain, which ends the reading. What must hold across stretches (one
// form of face, one object name before every face) is left to Read.
class Parser {
public:
  // `counted`: the statements the stretch was counted to hold, the room it
  // has in the arrays.
  Parser(const Arrays& out, const Counts& before, const Counts& counted)
      : out_(out), before_(before), counted_(counted) {}

  // False when the stretch is not plain or `stop` said to stop. The text
  // from `begin` to `end` is whole lines.
  bool ReadAll(const char* begin, const char* end, const std::function<bool()>& stop) {
    p_ = begin;
    for (unsigned line = 1; p_ < end; ++line) {
      if (line % kLinesBetweenStopChecks == 0 && stop && stop()) return false;
      if (!Statement()) return false;
      // Only comments, smoothing groups and object names leave text behind.
      for (; !IsLineEnd(*p_); ++p_)
        if (IsSpecial(*p_)) return false;
      ++p_;
    }
    return true;
  }

  // Whether the stretch held the statements it was counted to hold.
  bool ReadAsCounted() const {
    return read_.points == counted_.points && read_.normals == counted_.normals && read_.texture == counted_.texture &&
           read_.faces == counted_.faces;
  }
  // The form of every face in the stretch (kTexture, kNormal); none without faces.
  std::optional<int> Form() const { return form_; }
  // The object's name when the stretch states one, before any of its faces.
  const std::string& Name() const { return name_; }

  static constexpr int kTexture = 1, kNormal = 2;

private:
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
    if (keyword == "v")
      return Numbers(p, 3, 3, [&](const float* x, std::size_t at) { out_.points[at] = TK_3fPoint(x[0], x[1], x[2]); }, &Counts::points);
    if (keyword == "vn")
      return Numbers(p, 3, 3, [&](const float* x, std::size_t at) { out_.normals[at] = TK_3fVector(x[0], x[1], x[2]); }, &Counts::normals);
    // Assimp reads a texture coordinate that is not finite as 0.
    if (keyword == "vt")
      return Numbers(p, 2, 3, [&](const float* x, std::size_t at) { out_.texture[at] = TK_2fPoint(Finite(x[0]), Finite(x[1])); }, &Counts::texture);
    if (keyword == "f") return Face(p);
    if (keyword == "s") return Skip(p);  // smoothing groups: normals are smoothed over the whole mesh
    if (keyword == "o") return ObjectName(p);
    return false;
  }

  bool Skip(const char* p) {
    p_ = p;
    return true;
  }

  // How many of a kind the file holds before this statement.
  std::size_t Seen(std::size_t Counts::*kind) const { return before_.*kind + read_.*kind; }
  // The place of the next statement of a kind, counted as read; false
  // when the stretch has no room left for one (never for a stretch read as
  // it was counted).
  bool Next(std::size_t Counts::*kind, std::size_t& at) {
    if (read_.*kind == counted_.*kind) return false;
    at = Seen(kind);
    ++(read_.*kind);
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

  // Between `least` and `most` numbers up to the line end, handed to `take`
  // with the place of the next statement of their kind.
  template <class Take> bool Numbers(const char* p, int least, int most, Take take, std::size_t Counts::*kind) {
    float x[3] = {0, 0, 0};
    int count = 0;
    while (!IsLineEnd(*p)) {
      const char* end = count < most ? NumberEnd(p) : nullptr;
      if (!end) return false;
      Assimp::fast_atoreal_move<float, NotANumber>(p, x[count++]);
      p = SkipBlanks(end);
    }
    std::size_t at = 0;
    if (count < least || !Next(kind, at)) return false;
    take(x, at);
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

  // A triangle whose corners all take the form of the stretch's first face
  // (v, v/t, v//n or v/t/n).
  bool Face(const char* p) {
    Corner corner[3];
    int form = 0;
    for (Corner& c : corner) {
      if (IsLineEnd(*p) || !Index(p, Seen(&Counts::points), c.point)) return false;
      if (*p == '/') {
        ++p;
        if (*p != '/') {
          if (!Index(p, Seen(&Counts::texture), c.texture)) return false;
          form |= kTexture;
        }
        if (*p == '/') {
          ++p;
          if (!Index(p, Seen(&Counts::normals), c.normal)) return false;
          form |= kNormal;
        }
      }
      if (!EndsToken(*p)) return false;
      p = SkipBlanks(p);
      if (!form_) form_ = form;
      if (form != *form_) return false;
      form = 0;
    }
    if (!IsLineEnd(*p)) return false;
    std::size_t at = 0;
    if (!Next(&Counts::faces, at)) return false;
    std::copy(std::begin(corner), std::end(corner), out_.corners + 3 * at);
    p_ = p;
    return true;
  }

  // The name of the one object, given before its faces: its first word,
  // as Assimp takes it.
  bool ObjectName(const char* p) {
    const char* start = p;
    for (; !EndsToken(*p); ++p)
      if (IsSpecial(*p)) return false;
    if (p == start || !name_.empty() || read_.faces > 0) return false;
    name_.assign(start, p);
    return Skip(p);
  }

  const char* p_ = nullptr;
  Arrays out_;
  Counts before_, counted_, read_;
  std::optional<int> form_;
  std::string name_;
};

// The starts of `parts` stretches of whole lines of about equal size, and
// the text's end after them.
std::vector<const char*> Stretches(std::string_view text, int parts) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  std::vector<const char*> starts{begin};
  for (int part = 1; part < parts; ++part) {
    const char* p = std::max(starts.back(), begin + text.size() * std::size_t(part) / std::size_t(parts));
    // The text ends in a line end, so a line start follows every place before it.
    if (p > begin)
      while (!IsLineEnd(p[-1])) ++p;
    starts.push_back(p);
  }
  starts.push_back(end);
  return starts;
}

}  // namespace

std::optional<PlainModel> Read(const fs::path& path, const std::function<bool()>& stop, int threads) {
  PlainModel model;
  mesh_welding::CornerMesh& mesh = model.mesh;
  std::optional<int> form;
  {
    // The text goes before the positions are found: only the text and the
    // arrays are large at once.
    const int parts = std::max(threads, 1);
    const std::optional<Text> text = ReadText(path, parts);
    if (!text) return std::nullopt;
    // Stretches of whole lines read at once: each is counted first, so that
    // every stretch knows where its statements go in the file's arrays and
    // what its indices may refer to, as if the file were read in one go.
    const std::vector<const char*> starts = Stretches(text->View(), parts);
    std::vector<Counts> counted(static_cast<std::size_t>(parts)), before(std::size_t(parts) + 1);
    InParts(0, std::size_t(parts), parts, [&](int, std::size_t part, std::size_t) {
      counted[part] = CountStatements(starts[part], starts[part + 1]);
    });
    for (std::size_t part = 0; part < counted.size(); ++part) (before[part + 1] = before[part]) += counted[part];
    const Counts& all = before.back();
    // Arrays beyond what a model within the bounds could use are left to
    // Assimp's path too, before they are made.
    if (all.faces == 0 || all.faces > kMaxFaces || std::max({all.points, all.normals, all.texture}) > 3 * kMaxFaces)
      return std::nullopt;
    mesh.points.resize(all.points);
    mesh.normals.resize(all.normals);
    mesh.texture.resize(all.texture);
    mesh.corners.resize(3 * all.faces);
    const Arrays arrays{mesh.points.data(), mesh.normals.data(), mesh.texture.data(), mesh.corners.data()};

    std::vector<std::optional<Parser>> parsers(static_cast<std::size_t>(parts));
    std::atomic<bool> failed = false;
    const std::function<bool()> give_up = [&] { return failed.load(std::memory_order_relaxed) || (stop && stop()); };
    InParts(0, std::size_t(parts), parts, [&](int, std::size_t part, std::size_t) {
      Parser& parser = parsers[part].emplace(arrays, before[part], counted[part]);
      if (!parser.ReadAll(starts[part], starts[part + 1], give_up) || !parser.ReadAsCounted()) failed = true;
    });
    if (failed) return std::nullopt;
    // One form of face in the whole file, and one name, stated before any face.
    for (std::size_t part = 0; part < parsers.size(); ++part) {
      const Parser& parser = *parsers[part];
      if (parser.Form()) {
        if (form && *form != *parser.Form()) return std::nullopt;
        form = parser.Form();
      }
      if (!parser.Name().empty()) {
        if (!model.name.empty() || before[part].faces > 0) return std::nullopt;
        model.name = parser.Name();
      }
    }
  }
  if (model.name.empty()) model.name = "defaultobject";
  if (!(*form & Parser::kTexture)) std::vector<TK_2fPoint>().swap(mesh.texture);
  if (!(*form & Parser::kNormal)) std::vector<TK_3fVector>().swap(mesh.normals);
  model.positions = mesh_welding::UniquePositions(mesh, threads);
  return model;
}

}  // namespace plain_obj
