// Smooth normals and welding of meshes as readers hand them over, on small
// shapes whose answer is known in closed form.
#include "host/import/MeshWelding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "host/app/Doc.h"
#include "host/import/ImportLog.h"
#include "host/import/LogText.h"
#include "host/import/SceneImport.h"
#include "host/Files.h"
#include "support/PlainObjAgainstAssimp.h"
#include "support/TempDir.h"

namespace {

const TK_3fPoint kOctahedron[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
const int kOctahedronFaces[8][3] = {{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4}, {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}};

// The octahedron with shared corners, or with every face owning copies of its own.
TK_Mesh Octahedron(bool shared) {
  TK_Mesh mesh;
  if (shared) mesh.m_V.assign(std::begin(kOctahedron), std::end(kOctahedron));
  for (const auto& f : kOctahedronFaces) {
    int corner[3];
    for (int k = 0; k < 3; ++k) {
      corner[k] = shared ? f[k] : mesh.VertexCount();
      if (!shared) mesh.m_V.push_back(kOctahedron[f[k]]);
    }
    mesh.SetTriangle(mesh.FaceCount(), corner[0], corner[1], corner[2]);
  }
  return mesh;
}

float Dot(const TK_3fVector& a, const TK_3fVector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// One vertex per position, each face's corners where the octahedron has
// them, and every normal along its corner's position.
void ExpectOctahedron(const TK_Mesh& mesh, const std::string& label) {
  EXPECT_EQ(mesh.VertexCount(), 6) << label;
  ASSERT_EQ(mesh.FaceCount(), 8) << label;
  ASSERT_TRUE(mesh.HasVertexNormals()) << label;
  for (int f = 0; f < 8; ++f)
    for (int k = 0; k < 3; ++k) {
      const std::size_t v = std::size_t(mesh.m_F[std::size_t(f)].vi[k]);
      const TK_3fPoint& p = kOctahedron[kOctahedronFaces[f][k]];
      EXPECT_EQ(mesh.m_V[v], p) << label << " face " << f;
      EXPECT_NEAR(Dot(mesh.m_N[v], TK_3fVector(p.x, p.y, p.z)), 1.0f, 1e-6f) << label << " face " << f;
    }
}

// Every vertex of a closed convex shape around the origin gets a normal
// along its position, however the reader handed the corners over (a reader
// that shares them, such as PLY's, must not leave a corner with one face's
// normal), and the weld leaves one vertex per position.
TEST(MeshWelding, EveryCornerOfAClosedShapeGetsTheNormalAlongItsPosition) {
  for (const bool shared : {true, false}) {
    TK_Mesh mesh = Octahedron(shared);
    const mesh_welding::Positions positions = mesh_welding::UniquePositions(mesh.m_V);
    mesh_welding::SmoothNormals(mesh, positions);
    mesh_welding::Weld(mesh, positions);
    ExpectOctahedron(mesh, shared ? "shared corners" : "a face's own corners");
  }
}

// Two faces folded along the x axis, one of them with its ridge corners
// lifted by `gap` (the shape is about 2.45 across): corners closer than 1e-4
// of the diagonal smooth together, farther ones keep their face's normal.
TEST(MeshWelding, CornersWithinATenThousandthOfTheDiagonalSmoothTogether) {
  for (const float gap : {0.0f, 1e-4f, 1e-3f}) {
    TK_Mesh mesh;
    mesh.m_V = {{0, 0, 0}, {1, 0, 0}, {0, 1, 1}, {0, gap, 0}, {1, gap, 0}, {0, -1, 1}};
    mesh.SetTriangle(0, 0, 1, 2);
    mesh.SetTriangle(1, 4, 3, 5);
    const mesh_welding::Positions positions = mesh_welding::UniquePositions(mesh.m_V);
    mesh_welding::SmoothNormals(mesh, positions);
    const bool together = gap < 2.4e-4f;
    for (int ridge = 0; ridge < 2; ++ridge) {
      const TK_3fVector& a = mesh.m_N[std::size_t(ridge)];
      const TK_3fVector& b = mesh.m_N[std::size_t(ridge + 3)];
      if (together) {
        EXPECT_EQ(a, b) << gap;
        EXPECT_NEAR(a.z, 1.0f, 1e-6f) << "the two faces' normals averaged";
      } else {
        EXPECT_NEAR(Dot(a, b), 0.0f, 1e-3f) << gap << ": each keeps its face's normal";
      }
    }
    mesh_welding::Weld(mesh, positions);
    EXPECT_EQ(mesh.VertexCount(), gap == 0 ? 4 : 6) << "only equal corners weld";
  }
}

// Corners closer than the radius find each other wherever the grid's cells
// split them: 200 pairs at irregular places (a far triangle makes the
// radius about 1, the pairs' offset about 0.78), the whole moved by several
// offsets. Each pair's faces are square to each other, so a pair that found
// itself has the normal between them.
TEST(MeshWelding, NearCornersFindEachOtherAcrossTheGridsCells) {
  for (const float shift : {0.0f, 0.37f, 0.71f, 1.13f}) {
    TK_Mesh mesh;
    const auto triangle = [&mesh](TK_3fPoint a, TK_3fVector u, TK_3fVector v) {
      const int first = mesh.VertexCount();
      mesh.m_V.insert(mesh.m_V.end(), {a, a + u, a + v});
      mesh.SetTriangle(mesh.FaceCount(), first, first + 1, first + 2);
    };
    triangle({10000, 0, 0}, {3, 0, 0}, {0, 3, 0});
    for (int i = 0; i < 200; ++i) {
      const TK_3fPoint p(shift + 4.854f * float(i), shift + 1.3f * float(i * 7 % 13), 0.9f * float(i % 5));
      triangle(p, {3, 0, 0}, {0, 3, 0});                               // facing +z
      triangle(p + TK_3fVector(0.45f, 0.45f, 0.45f), {0, 0, 3}, {0, -3, 0});  // facing +x
    }
    const mesh_welding::Positions positions = mesh_welding::UniquePositions(mesh.m_V);
    mesh_welding::SmoothNormals(mesh, positions);
    for (std::size_t pair = 0; pair < 200; ++pair) {
      const TK_3fVector& a = mesh.m_N[3 + 6 * pair];
      ASSERT_EQ(a, mesh.m_N[6 + 6 * pair]) << shift << " pair " << pair;
      EXPECT_NEAR(a.x, std::sqrt(0.5f), 1e-6f) << shift << " pair " << pair;
      EXPECT_NEAR(a.z, std::sqrt(0.5f), 1e-6f) << shift << " pair " << pair;
    }
  }
}

// Threads change nothing: a mesh with lone corners, repeated ones, pairs
// and chains of near corners (where a corner is reached by two groups and
// the order of claims decides), texture seams and a -0, made on 1 thread
// and again on several, must agree to the byte at every step.
TEST(MeshWelding, TheSameOnAnyNumberOfThreads) {
  TK_Mesh mesh;
  const auto triangle = [&mesh](TK_3fPoint a, TK_3fVector u, TK_3fVector v, float t) {
    const int first = mesh.VertexCount();
    mesh.m_V.insert(mesh.m_V.end(), {a, a + u, a + v});
    mesh.m_T.insert(mesh.m_T.end(), {{t, 0}, {t, 1}, {0, t}});
    mesh.SetTriangle(mesh.FaceCount(), first, first + 1, first + 2);
  };
  triangle({10000, 0, 0}, {3, 0, 0}, {0, 3, 0}, 0);  // the radius about 1
  for (int i = 0; i < 60; ++i) {
    const TK_3fPoint p(4.854f * float(i), 1.3f * float(i * 7 % 13), 0.9f * float(i % 5));
    const float t = float(i % 3);
    triangle(p, {3, 0, 0}, {0, 3, 0}, t);                                 // repeated below
    triangle(p, {0, 0, 3}, {3, 0, 0}, t);                                 // joins the one above at p
    triangle(p, {0, 3, 0}, {-0.0f, 0, 3}, t + 1);                         // a texture seam at p
    triangle(p + TK_3fVector(0.6f, 0, 0), {0, 0, 3}, {0, -3, 0}, t);      // near p
    triangle(p + TK_3fVector(1.2f, 0, 0), {0, 3, 0}, {0, 0, -3}, t);      // near that, not p
  }
  std::optional<TK_Mesh> one;
  for (const int threads : {1, 2, 3, 7}) {
    TK_Mesh m = mesh;
    const mesh_welding::Positions positions = mesh_welding::UniquePositions(m.m_V, threads);
    mesh_welding::SmoothNormals(m, positions, threads);
    mesh_welding::Weld(m, positions, threads);
    if (!one) {
      one = m;
      ASSERT_LT(m.VertexCount(), mesh.VertexCount()) << "corners were joined";
      continue;
    }
    EXPECT_EQ(plain_obj_check::DifferenceBetween(m, *one), "") << threads << " threads";
  }
}

// Corners alike in position and normal but not in texture stay apart (a
// seam of the map), -0 and 0 are alike, a vertex no face uses goes, and
// the others keep the order of their first index.
TEST(MeshWelding, OnlyCornersAlikeInEveryAttributeBecomeOne) {
  TK_Mesh mesh;
  mesh.m_V = {{9, 9, 9}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-0.0f, 0, 0}, {1, 0, 0}, {1, 1, 1}};
  mesh.m_T = {{0, 0}, {0, 0}, {1, 0}, {0, 1}, {0, 0}, {0.5f, 0}, {1, 1}};
  mesh.SetTriangle(0, 1, 2, 3);
  mesh.SetTriangle(1, 4, 5, 6);
  const mesh_welding::Positions positions = mesh_welding::UniquePositions(mesh.m_V);
  mesh_welding::SmoothNormals(mesh, positions);
  mesh_welding::Weld(mesh, positions);
  ASSERT_EQ(mesh.VertexCount(), 5);
  EXPECT_EQ(mesh.m_V[0], TK_3fPoint(0, 0, 0));
  EXPECT_EQ(mesh.m_V[4], TK_3fPoint(1, 1, 1));
  EXPECT_EQ(mesh.m_F[1].vi[0], 0) << "-0 welded to 0";
  EXPECT_EQ(mesh.m_F[1].vi[1], 3) << "the seam's corner kept apart";
  EXPECT_EQ(mesh.m_N[1], mesh.m_N[3]) << "a seam still shades smoothly";
}

// Through the importer: an OBJ (whose reader gives every face its own
// corners) and a PLY (whose reader shares them) of the same shape come in
// as the same mesh.
TEST(MeshWelding, ModelFilesOfOneShapeImportAsOneMesh) {
  TempDir dir;
  std::string obj, ply = "ply\nformat ascii 1.0\nelement vertex 6\nproperty float x\nproperty float y\nproperty float z\n"
                         "element face 8\nproperty list uchar int vertex_indices\nend_header\n";
  for (const TK_3fPoint& p : kOctahedron) {
    obj += "v " + std::to_string(p.x) + " " + std::to_string(p.y) + " " + std::to_string(p.z) + "\n";
    ply += std::to_string(p.x) + " " + std::to_string(p.y) + " " + std::to_string(p.z) + "\n";
  }
  for (const auto& f : kOctahedronFaces) {
    obj += "f " + std::to_string(f[0] + 1) + " " + std::to_string(f[1] + 1) + " " + std::to_string(f[2] + 1) + "\n";
    ply += "3 " + std::to_string(f[0]) + " " + std::to_string(f[1]) + " " + std::to_string(f[2]) + "\n";
  }
  WriteFile(dir / "shape.obj", obj);
  WriteFile(dir / "shape.ply", ply);
  for (const char* name : {"shape.obj", "shape.ply"}) {
    CKavraDoc doc;
    CImportLog log;
    ASSERT_TRUE(scene_import::OpenScene(dir / name, doc, log)) << Joined(log.Errors());
    ExpectOctahedron(*doc.ObjectAt(0)->RenderMesh(0), name);
  }
}

}  // namespace
