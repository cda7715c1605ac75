// Running out of memory while a mesh is gathered: every allocation of an
// AddRenderMesh call is made to fail in turn, through this program's own
// global allocation functions, and the session must either refuse the mesh
// and stay as it was, or take it whole.

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "engine/RenderSession.h"
#include "host/app/Doc.h"
#include "host/app/KavraObject.h"
#include "support/TempDir.h"
#include "settings/MaterialUserData.h"

namespace {
// While armed, counts this thread's allocations and fails number `fail_at`.
thread_local bool g_armed = false;
thread_local long g_count = 0;
thread_local long g_fail_at = -1;

void* Allocate(std::size_t n) {
  if (g_armed && g_count++ == g_fail_at) throw std::bad_alloc();
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace

// Every form is replaced together, so that no memory is freed by an
// allocator other than the one that made it.
void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return Allocate(n);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t n, const std::nothrow_t& tag) noexcept { return operator new(n, tag); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void* operator new(std::size_t n, std::align_val_t a) {
  if (g_armed && g_count++ == g_fail_at) throw std::bad_alloc();
  const std::size_t align = static_cast<std::size_t>(a);
  if (void* p = std::aligned_alloc(align, (n + align - 1) / align * align)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n, std::align_val_t a) { return operator new(n, a); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace {

class Armed {
public:
  explicit Armed(long fail_at) {
    g_count = 0;
    g_fail_at = fail_at;
    g_armed = true;
  }
  ~Armed() { g_armed = false; }
  long Count() const { return g_count; }
};

TK_Mesh Quads() {
  TK_Mesh mesh;
  for (int i = 0; i < 6; ++i) mesh.SetVertex(i, TK_3fPoint(float(i / 2), float(i % 2), 0));
  mesh.SetQuad(0, 0, 2, 3, 1);
  mesh.SetQuad(1, 2, 4, 5, 3);
  mesh.m_T.assign(6, TK_2fPoint(0.5f, 0.5f));
  return mesh;
}

struct Snapshot {
  int meshes, materials, lights;
  TK_BoundingBox box;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const CRenderSession& s) {
  return {s.MeshEntries().Count(), s.MaterialEntries().Count(), s.Lights().Count(), s.SceneBoundingBox()};
}

// Each mesh entry's material is in the cache.
bool Consistent(const CRenderSession& s) {
  for (const RenderMeshEntry* entry : s.MeshEntries()) {
    bool found = false;
    for (const MaterialEntry* material : s.MaterialEntries()) found = found || material == entry->Material();
    if (!found) return false;
  }
  return true;
}

// Runs `add` against a session that already holds one mesh, failing the
// first, second, ... allocation of the call until a run goes through
// without an injected failure.
template <typename Add> void EveryAllocationFails(CKavraDoc& doc, Add add, int expected_new_materials) {
  CDMRenderUserData settings;
  CKavraObject object;
  const TK_Mesh base = Quads();
  int refused = 0;
  for (long fail_at = 0;; ++fail_at) {
    CRenderSession session(doc, nullptr, settings);
    ASSERT_TRUE(session.AddRenderMesh(object, TK_Material(), &base));
    const Snapshot before = Take(session);
    bool added = false;
    long made = 0;
    {
      Armed armed(fail_at);
      added = add(session);
      made = armed.Count();
    }
    ASSERT_TRUE(Consistent(session)) << fail_at;
    if (!added) {
      ++refused;
      EXPECT_EQ(Take(session), before) << "allocation " << fail_at;
      continue;
    }
    EXPECT_EQ(session.MeshEntries().Count(), before.meshes + 1) << fail_at;
    EXPECT_EQ(session.MaterialEntries().Count(), before.materials + expected_new_materials) << fail_at;
    if (made <= fail_at) break;  // nothing failed: every allocation has had its turn
  }
  EXPECT_GT(refused, 3);
}

TEST(AllocationFailure, AMeshWithANewOrASharedMaterialGoesInWholeOrNotAtAll) {
  CKavraDoc doc;
  TK_Material red;
  red.SetDiffuse(TK_Color(255, 0, 0));
  red.SetName(L"a name long enough to need memory of its own");
  const TK_Material plain;  // the material of the session's first mesh
  const TK_Mesh mesh = Quads();
  const CKavraObject object;
  EveryAllocationFails(
      doc, [&](CRenderSession& s) { return s.AddRenderMesh(object, red, &mesh); }, 1);
  EveryAllocationFails(
      doc, [&](CRenderSession& s) { return s.AddRenderMesh(object, plain, &mesh); }, 0);
}

TEST(AllocationFailure, ARecordMaterialWithAMapGoesInWholeOrNotAtAll) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  CKavraDib image;
  ASSERT_TRUE(image.CreateDib(4, 4, 24, true, nullptr));
  ASSERT_TRUE(image.WriteToFile(TK_wString::FromUtf8((dir / "map.bmp").string())));
  CKavraDoc doc;
  doc.SetPath(dir / "scene.kvd");
  TK_Material material;
  material.SetTextureBitmapFileName(L"map.bmp");
  auto record = std::make_unique<CDMMaterialUserData>();
  record->m_material = std::make_unique<CRenderMaterial>(material);
  ASSERT_TRUE(CDMMaterialUserData::AttachTo(material, std::move(record)));
  const CRenderMaterial& lent = *CDMMaterialUserData::FromMaterial(material)->m_material;
  const TK_Mesh mesh = Quads();
  const CKavraObject object;
  EveryAllocationFails(
      doc,
      [&](CRenderSession& s) {
        const bool added = s.AddRenderMesh(object, material, &mesh);
        // Refused, the record's slot is unbound again; taken, it is bound,
        // unless the bitmap itself ran out of memory (a map left out).
        if (!added) {
          EXPECT_EQ(lent.m_texture_map.bitmap, nullptr);
        }
        return added;
      },
      1);
  EXPECT_EQ(lent.m_texture_map.bitmap, nullptr);  // every session has ended
}

TEST(AllocationFailure, ALightGoesInWholeOrNotAtAll) {
  CKavraDoc doc;
  TK_Light named;
  named.SetName(L"a light whose name needs memory of its own");
  const CKavraLight light(named, 0);
  for (long fail_at = 0;; ++fail_at) {
    CDMRenderUserData settings;
    CRenderSession session(doc, nullptr, settings);
    ASSERT_TRUE(session.AddLight(light));
    ASSERT_TRUE(session.AddLight(light));  // the list is full: the next one grows it
    bool added = false;
    long made = 0;
    {
      Armed armed(fail_at);
      added = session.AddLight(light);
      made = armed.Count();
    }
    EXPECT_EQ(session.Lights().Count(), added ? 3 : 2) << fail_at;
    if (added && made <= fail_at) break;
  }
}

}  // namespace
