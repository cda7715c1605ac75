// Writes the example models into the folder given on the command line: a
// turned vase on a pedestal as OBJ with its MTL (wood texture, carved bump
// map, sky reflection), and a crate on the ground as a small glTF 2.0 file
// with its buffer inline, a camera, a spot light and a point light. Both
// are y-up, as their formats expect; texture paths point at ../textures.
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct V3 { double x, y, z; };
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V3 Unit(V3 a) {
  const double l = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
  return {a.x / l, a.y / l, a.z / l};
}

bool WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) std::fprintf(stderr, "make_models: %s: cannot write the file\n", path.string().c_str());
  return bool(out);
}

// The vase: a lathe of a profile (radius, height) around +y; the pedestal a box below it.
std::string Vase() {
  const std::vector<std::array<double, 2>> profile = {{0.55, 0.0}, {0.75, 0.25}, {0.85, 0.7}, {0.7, 1.3},
                                                      {0.38, 1.8}, {0.34, 2.05}, {0.48, 2.25}};
  const int segments = 32, rows = int(profile.size());
  std::ostringstream obj;
  obj << "# A turned vase on a pedestal, y up. Made by examples/scenes/make_models.cpp.\nmtllib vase.mtl\n";
  obj.precision(6);
  obj << std::fixed;
  // Side: one normal per profile point, from the neighbouring profile segments.
  for (int j = 0; j < rows; ++j) {
    const int a = j > 0 ? j - 1 : j, b = j + 1 < rows ? j + 1 : j;
    const double dr = profile[b][0] - profile[a][0], dy = profile[b][1] - profile[a][1];
    const double len = std::hypot(dr, dy);
    for (int i = 0; i <= segments; ++i) {
      const double phi = 2 * M_PI * i / segments, c = std::cos(phi), s = std::sin(phi);
      obj << "v " << profile[j][0] * c << ' ' << profile[j][1] << ' ' << -profile[j][0] * s << '\n';
      obj << "vn " << dy / len * c << ' ' << -dr / len << ' ' << -dy / len * s << '\n';
      obj << "vt " << double(i) / segments << ' ' << profile[j][1] / profile.back()[1] << '\n';
    }
  }
  obj << "o Vase\nusemtl lacquer\n";
  const int row = segments + 1;
  for (int j = 0; j + 1 < rows; ++j)
    for (int i = 0; i < segments; ++i) {
      const int p = j * row + i + 1, q = p + 1, r = p + row + 1, t = p + row;
      obj << "f " << p << '/' << p << '/' << p << ' ' << q << '/' << q << '/' << q << ' ' << r << '/' << r << '/'
          << r << ' ' << t << '/' << t << '/' << t << '\n';
    }
  // Bottom: a fan facing down.
  int next = rows * row;
  const int centre = ++next;
  obj << "v 0 0 0\nvn 0 -1 0\nvt 0.5 0.5\n";
  for (int i = 0; i < segments; ++i) {
    const double phi = 2 * M_PI * i / segments;
    obj << "v " << 0.55 * std::cos(phi) << " 0 " << -0.55 * std::sin(phi) << "\nvn 0 -1 0\nvt "
        << 0.5 + 0.5 * std::cos(phi) << ' ' << 0.5 + 0.5 * std::sin(phi) << '\n';
  }
  for (int i = 0; i < segments; ++i) {
    const int a = centre + 1 + i, b = centre + 1 + (i + 1) % segments;
    obj << "f " << centre << '/' << centre << '/' << centre << ' ' << b << '/' << b << '/' << b << ' ' << a << '/'
        << a << '/' << a << '\n';
  }
  next += segments;
  // Pedestal: x, z in -1..1, y in -0.4..0, one normal per side.
  obj << "o Pedestal\nusemtl stone\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n";
  const int vt0 = next + 1;
  const V3 corners[8] = {{-1, -0.4, -1}, {1, -0.4, -1}, {1, -0.4, 1}, {-1, -0.4, 1},
                         {-1, 0, -1},    {1, 0, -1},    {1, 0, 1},    {-1, 0, 1}};
  for (const V3& c : corners) obj << "v " << c.x << ' ' << c.y << ' ' << c.z << '\n';
  const int v0 = next + 1;
  const int sides[6][4] = {{4, 7, 6, 5}, {0, 1, 2, 3}, {3, 2, 6, 7}, {1, 0, 4, 5}, {2, 1, 5, 6}, {0, 3, 7, 4}};
  for (int s = 0; s < 6; ++s) {
    const V3 n = Unit(Cross(corners[sides[s][1]] - corners[sides[s][0]], corners[sides[s][2]] - corners[sides[s][0]]));
    obj << "vn " << n.x << ' ' << n.y << ' ' << n.z << '\n';
  }
  const int vn0 = next + 1;
  for (int s = 0; s < 6; ++s) {
    obj << 'f';
    for (int k = 0; k < 4; ++k) obj << ' ' << v0 + sides[s][k] << '/' << vt0 + k << '/' << vn0 + s;
    obj << '\n';
  }
  return obj.str();
}

const char* kVaseMtl =
    "# Materials of vase.obj. Made by examples/scenes/make_models.cpp.\n"
    "newmtl lacquer\n"
    "Kd 0.80 0.55 0.35\nKs 0.90 0.90 0.90\nKa 0 0 0\nNs 60\nd 1\n"
    "map_Kd ../textures/wood.png\n"
    "map_Bump -bm 0.5 ../textures/tiles_height.png\n"
    "refl -type sphere -mm 0 0.3 ../textures/sky_sphere.png\n"
    "\n"
    "newmtl stone\n"
    "Kd 0.35 0.36 0.40\nKs 0.20 0.20 0.20\nNs 10\n";

std::string Base64(const std::vector<std::uint8_t>& bytes) {
  static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::uint32_t n = std::uint32_t(bytes[i]) << 16 | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0) |
                            (i + 2 < bytes.size() ? bytes[i + 2] : 0);
    out += digits[n >> 18 & 63];
    out += digits[n >> 12 & 63];
    out += i + 1 < bytes.size() ? digits[n >> 6 & 63] : '=';
    out += i + 2 < bytes.size() ? digits[n & 63] : '=';
  }
  return out;
}

struct Buffer {
  std::vector<std::uint8_t> bytes;
  template <typename T> std::size_t Append(const std::vector<T>& values) {
    while (bytes.size() % 4) bytes.push_back(0);
    const std::size_t offset = bytes.size();
    bytes.resize(offset + values.size() * sizeof(T));
    std::memcpy(bytes.data() + offset, values.data(), values.size() * sizeof(T));
    return offset;
  }
};

// The rotation taking -z to look from eye at target with +y up, as a glTF quaternion (x, y, z, w).
std::array<double, 4> LookAt(V3 eye, V3 target) {
  const V3 z = Unit(eye - target), x = Unit(Cross({0, 1, 0}, z)), y = Cross(z, x);
  const double m[3][3] = {{x.x, y.x, z.x}, {x.y, y.y, z.y}, {x.z, y.z, z.z}};
  const double w = std::sqrt(std::max(0.0, 1 + m[0][0] + m[1][1] + m[2][2])) / 2;
  return {(m[2][1] - m[1][2]) / (4 * w), (m[0][2] - m[2][0]) / (4 * w), (m[1][0] - m[0][1]) / (4 * w), w};
}

std::string Crate() {
  // A unit cube standing on y = 0 (24 vertices, a texture per side), and a ground square.
  std::vector<float> pos, nrm, uv;
  std::vector<std::uint16_t> idx;
  const int axes[6][3] = {{0, 1, 2}, {0, 1, 2}, {1, 2, 0}, {1, 2, 0}, {2, 0, 1}, {2, 0, 1}};
  for (int s = 0; s < 6; ++s) {
    const int n = axes[s][0], u = axes[s][1], v = axes[s][2];
    const float sign = s % 2 ? -1.0f : 1.0f;
    const std::uint16_t base = std::uint16_t(pos.size() / 3);
    for (int k = 0; k < 4; ++k) {
      float p[3], q[3] = {0, 0, 0};
      const float a = (k == 1 || k == 2) ? 0.5f : -0.5f, b = k >= 2 ? 0.5f : -0.5f;
      p[n] = 0.5f * sign;
      p[u] = a * sign;
      p[v] = b;
      q[n] = sign;
      pos.insert(pos.end(), {p[0], p[1] + 0.5f, p[2]});
      nrm.insert(nrm.end(), {q[0], q[1], q[2]});
      uv.insert(uv.end(), {a + 0.5f, 0.5f - b});  // glTF: v = 0 at the image's top
    }
    idx.insert(idx.end(), {base, std::uint16_t(base + 1), std::uint16_t(base + 2), base, std::uint16_t(base + 2),
                           std::uint16_t(base + 3)});
  }
  const std::vector<float> ground_pos = {-4, 0, 4, 4, 0, 4, 4, 0, -4, -4, 0, -4};
  const std::vector<float> ground_nrm = {0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0};
  const std::vector<float> ground_uv = {0, 4, 4, 4, 4, 0, 0, 0};
  const std::vector<std::uint16_t> ground_idx = {0, 1, 2, 0, 2, 3};

  Buffer buffer;
  struct View { std::size_t offset, length; };
  std::vector<View> views;
  auto add = [&](const auto& values) {
    const std::size_t offset = buffer.Append(values);
    views.push_back({offset, values.size() * sizeof(values[0])});
  };
  add(pos), add(nrm), add(uv), add(idx), add(ground_pos), add(ground_nrm), add(ground_uv), add(ground_idx);

  const auto camera = LookAt({3, 2.5, 5}, {0, 0.5, 0});
  const auto spot = LookAt({2, 4, 1}, {0, 0.5, 0});
  std::ostringstream g;
  g << "{\n  \"asset\": {\"version\": \"2.0\", \"generator\": \"DuskMoth examples/scenes/make_models.cpp\"},\n"
    << "  \"extensionsUsed\": [\"KHR_lights_punctual\"],\n"
    << "  \"extensions\": {\"KHR_lights_punctual\": {\"lights\": [\n"
    << "    {\"name\": \"Spot\", \"type\": \"spot\", \"color\": [1.0, 0.9, 0.75], \"intensity\": 40,"
    << " \"spot\": {\"innerConeAngle\": 0.25, \"outerConeAngle\": 0.45}},\n"
    << "    {\"name\": \"Fill\", \"type\": \"point\", \"color\": [0.5, 0.6, 0.8], \"intensity\": 8}]}},\n"
    << "  \"scene\": 0,\n  \"scenes\": [{\"nodes\": [0, 1, 2, 3, 4]}],\n  \"nodes\": [\n"
    << "    {\"name\": \"Crate\", \"mesh\": 0},\n    {\"name\": \"Ground\", \"mesh\": 1},\n"
    << "    {\"name\": \"Camera\", \"camera\": 0, \"translation\": [3, 2.5, 5], \"rotation\": [" << camera[0] << ", "
    << camera[1] << ", " << camera[2] << ", " << camera[3] << "]},\n"
    << "    {\"name\": \"Spot\", \"translation\": [2, 4, 1], \"rotation\": [" << spot[0] << ", " << spot[1] << ", "
    << spot[2] << ", " << spot[3] << "], \"extensions\": {\"KHR_lights_punctual\": {\"light\": 0}}},\n"
    << "    {\"name\": \"Fill\", \"translation\": [-3, 3, 2], \"extensions\": {\"KHR_lights_punctual\": {\"light\": 1}}}],\n"
    << "  \"cameras\": [{\"name\": \"Camera\", \"type\": \"perspective\","
    << " \"perspective\": {\"yfov\": 0.6, \"aspectRatio\": 1.5, \"znear\": 0.1, \"zfar\": 100}}],\n"
    << "  \"meshes\": [\n"
    << "    {\"name\": \"Crate\", \"primitives\": [{\"attributes\": {\"POSITION\": 0, \"NORMAL\": 1, \"TEXCOORD_0\": 2},"
    << " \"indices\": 3, \"material\": 0}]},\n"
    << "    {\"name\": \"Ground\", \"primitives\": [{\"attributes\": {\"POSITION\": 4, \"NORMAL\": 5, \"TEXCOORD_0\": 6},"
    << " \"indices\": 7, \"material\": 1}]}],\n"
    << "  \"materials\": [\n"
    << "    {\"name\": \"crate\", \"pbrMetallicRoughness\": {\"baseColorTexture\": {\"index\": 0},"
    << " \"metallicFactor\": 0, \"roughnessFactor\": 0.5}},\n"
    << "    {\"name\": \"ground\", \"pbrMetallicRoughness\": {\"baseColorFactor\": [0.45, 0.5, 0.4, 1],"
    << " \"metallicFactor\": 0, \"roughnessFactor\": 1}}],\n"
    << "  \"textures\": [{\"source\": 0}],\n  \"images\": [{\"uri\": \"../textures/checker.png\"}],\n"
    << "  \"accessors\": [\n"
    << "    {\"bufferView\": 0, \"componentType\": 5126, \"count\": 24, \"type\": \"VEC3\","
    << " \"min\": [-0.5, 0, -0.5], \"max\": [0.5, 1, 0.5]},\n"
    << "    {\"bufferView\": 1, \"componentType\": 5126, \"count\": 24, \"type\": \"VEC3\"},\n"
    << "    {\"bufferView\": 2, \"componentType\": 5126, \"count\": 24, \"type\": \"VEC2\"},\n"
    << "    {\"bufferView\": 3, \"componentType\": 5123, \"count\": 36, \"type\": \"SCALAR\"},\n"
    << "    {\"bufferView\": 4, \"componentType\": 5126, \"count\": 4, \"type\": \"VEC3\","
    << " \"min\": [-4, 0, -4], \"max\": [4, 0, 4]},\n"
    << "    {\"bufferView\": 5, \"componentType\": 5126, \"count\": 4, \"type\": \"VEC3\"},\n"
    << "    {\"bufferView\": 6, \"componentType\": 5126, \"count\": 4, \"type\": \"VEC2\"},\n"
    << "    {\"bufferView\": 7, \"componentType\": 5123, \"count\": 6, \"type\": \"SCALAR\"}],\n"
    << "  \"bufferViews\": [\n";
  for (std::size_t i = 0; i < views.size(); ++i)
    g << "    {\"buffer\": 0, \"byteOffset\": " << views[i].offset << ", \"byteLength\": " << views[i].length << "}"
      << (i + 1 < views.size() ? ",\n" : "],\n");
  g << "  \"buffers\": [{\"byteLength\": " << buffer.bytes.size()
    << ", \"uri\": \"data:application/octet-stream;base64," << Base64(buffer.bytes) << "\"}]\n}\n";
  return g.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_models OUTPUT_FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  return WriteText(folder / "vase.obj", Vase()) && WriteText(folder / "vase.mtl", kVaseMtl) &&
                 WriteText(folder / "crate.gltf", Crate())
             ? 0
             : 1;
}
