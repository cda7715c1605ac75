#include "shading/FaceProjection.h"

#include <emmintrin.h>

#include <cstring>

#include "shading/Lanes4.h"

namespace {

using namespace lanes4;

// Row `row` (four floats) of each of the four records, turned so that each
// vector holds one field of the four faces. Spelled with the SSE
// intrinsics: from generic loads and shuffles GCC made scalar moves through
// the stack.
struct Fields {
  Float4 f0, f1, f2, f3;
};
[[gnu::always_inline]] inline __m128 RowOf(const FaceProjection* face, int row) {
  return _mm_loadu_ps(reinterpret_cast<const float*>(face) + 4 * row);
}
[[gnu::always_inline]] inline Fields Row(const FaceProjection* const faces[4], int row) {
  __m128 r0 = RowOf(faces[0], row), r1 = RowOf(faces[1], row), r2 = RowOf(faces[2], row), r3 = RowOf(faces[3], row);
  _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
  return {Float4(r0), Float4(r1), Float4(r2), Float4(r3)};
}

// The one-face test's arithmetic, lane by lane: the plane's t, the plane
// point in the face's projected axes and the two quotients sharing the
// determinant. Comparisons with NaN are false, so rays along the plane and
// faces without area fall outside.
template <class Steps>
void Test(const TK_3dVector& o, const TK_3dVector& d, const FaceProjection* const faces[4], FaceQuadTest& out) {
  const Fields plane = Row(faces, 0), corner = Row(faces, 1), edges = Row(faces, 2);
  const Double4 n0 = Wide(plane.f0), n1 = Wide(plane.f1), n2 = Wide(plane.f2);
  const Double4 dx = Steps::Splat(d.x), dy = Steps::Splat(d.y), dz = Steps::Splat(d.z);
  const Double4 ox = Steps::Splat(o.x), oy = Steps::Splat(o.y), oz = Steps::Splat(o.z);
  const Double4 dn = dx * n0 + dy * n1 + dz * n2;
  const Double4 t = -(ox * n0 + oy * n1 + oz * n2 + Wide(plane.f3)) / dn;
  const Double4 px = ox + dx * t, py = oy + dy * t, pz = oz + dz * t;
  Int4 axis;
  std::memcpy(&axis, &edges.f3, sizeof axis);
  const Mask4 drops_x = Steps::Widen(axis == 0);
  const Mask4 drops_z = Steps::Widen(axis == 2);
  const Double4 a = (drops_x ? py : px) - Wide(corner.f0);
  const Double4 b = (drops_z ? py : pz) - Wide(corner.f1);
  const Double4 a1 = Wide(corner.f2), b1 = Wide(corner.f3), a2 = Wide(edges.f0), b2 = Wide(edges.f1);
  const Double4 det = Wide(edges.f2);
  const Double4 u = (b2 * a - a2 * b) / det;
  const Double4 v = (a1 * b - b1 * a) / det;
  std::memcpy(out.depth, &t, sizeof t);
  std::memcpy(out.u, &u, sizeof u);
  std::memcpy(out.v, &v, sizeof v);
  const Double4 zero = Splat(0.0);
  out.back = Steps::Bits(dn > zero);
  const Mask4 inside = (u >= zero) & (v >= zero) & (u + v <= Splat(1.0));
  out.inside = Steps::Bits(inside);
  out.meets = Steps::Bits(inside & (t > zero));
}

[[gnu::flatten]] void TestBaseline(const TK_3dVector& o, const TK_3dVector& d, const FaceProjection* const faces[4],
                                   FaceQuadTest& out) {
  Test<BaselineSteps>(o, d, faces, out);
}

// AVX2 without FMA: a fused multiply-add would round once where the
// baseline rounds twice.
[[gnu::target("avx2"), gnu::flatten]] void TestAvx2(const TK_3dVector& o, const TK_3dVector& d,
                                                     const FaceProjection* const faces[4], FaceQuadTest& out) {
  Test<Avx2Steps>(o, d, faces, out);
}

using TestFunction = void (*)(const TK_3dVector&, const TK_3dVector&, const FaceProjection* const[4], FaceQuadTest&);

TestFunction PathTest(SimdPath path) { return SupportedSimdPath(path) == SimdPath::avx2 ? TestAvx2 : TestBaseline; }

const TestFunction kChosenTest = PathTest(ChosenSimdPath());

}  // namespace

void TestFaces(const TK_3dVector& origin, const TK_3dVector& direction, const FaceProjection* const faces[4],
               FaceQuadTest& out) {
  kChosenTest(origin, direction, faces, out);
}

void TestFaces(SimdPath path, const TK_3dVector& origin, const TK_3dVector& direction,
               const FaceProjection* const faces[4], FaceQuadTest& out) {
  PathTest(path)(origin, direction, faces, out);
}
