// Running out of memory at the plug-in's entry points, through this
// program's own global allocation functions.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <tuple>
#include <new>

#include "engine/RenderSession.h"
#include "host/app/Doc.h"
#include "host/app/KavraObject.h"
#include "support/SquareMesh.h"
#include "support/TempDir.h"
#include "settings/MaterialUserData.h"

namespace {
// While armed, counts this thread's allocations and fails number `fail_at`.
thread_local bool g_armed = false;
thread_local long g_count = 0, g_fail_at = -1;

void* Allocate(std::size_t n) {
  if (g_armed && g_count++ == g_fail_at) throw std::bad_alloc();
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace

// Every unaligned form is replaced together, so that no memory is freed by
// an allocator other than the one that made it; the session makes nothing
// over-aligned.
void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try { return Allocate(n); } catch (const std::bad_alloc&) { return nullptr; }
}
void* operator new[](std::size_t n, const std::nothrow_t& tag) noexcept { return operator new(n, tag); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

struct Armed {
  explicit Armed(long fail_at) { g_count = 0, g_fail_at = fail_at, g_armed = true; }
  ~Armed() { g_armed = false; }
};

using Counts = std::tuple<int, int, int>;  // meshes, materials, lights
Counts Take(const CRenderSession& s) { return {s.MeshEntries().Count(), s.MaterialEntries().Count(), s.Lights().Count()}; }

bool Consistent(const CRenderSession& s) {
  return std::all_of(s.MeshEntries().begin(), s.MeshEntries().end(), [&](const RenderMeshEntry* entry) {
    return std::find(s.MaterialEntries().begin(), s.MaterialEntries().end(), entry->Material()) !=
           s.MaterialEntries().end();
  });
}

// Each entry point, against a session holding one mesh and two lights (full
// lists: the next grows them), has every allocation fail in turn. It refuses,
// leaving the session as it was and no lent record material bound to a
// bitmap, or takes its item whole; nothing throws past it.
TEST(AllocationFailure, EveryEntryPointTakesItsItemWholeOrNotAtAll) {
  TempDir dir;
  CKavraDib image;
  ASSERT_TRUE(image.CreateDib(4, 4, 24, true, nullptr));
  ASSERT_TRUE(image.WriteToFile(TK_wString::FromUtf8((dir / "map.bmp").string())));
  CKavraDoc doc;
  doc.SetPath(dir / "scene.kvd");
  TK_Material mapped;
  mapped.SetTextureBitmapFileName(L"map.bmp");
  auto record = std::make_unique<CDMMaterialUserData>();
  record->m_material = std::make_unique<CRenderMaterial>(mapped);
  ASSERT_TRUE(CDMMaterialUserData::AttachTo(mapped, std::move(record)));
  const CRenderMaterial& lent = *CDMMaterialUserData::FromMaterial(mapped)->m_material;
  TK_Material named;
  named.SetDiffuse(TK_Color(255, 0, 0));
  named.SetName(L"a name long enough to need memory of its own");
  TK_Light named_light;
  named_light.SetName(L"a light whose name needs memory of its own");
  const CKavraLight light(named_light, 0);
  TK_Mesh mesh = SquareMesh(1, 0);
  mesh.m_T.assign(4, TK_2fPoint(0.5f, 0.5f));
  const CKavraObject object;

  struct Case {
    const char* what;
    Counts taken;  // what the session holds once the item is taken
    std::function<bool(CRenderSession&)> add;
  } const cases[] = {
      {"mesh with a new material", {2, 2, 2}, [&](CRenderSession& s) { return s.AddRenderMesh(object, named, &mesh); }},
      {"mesh with a shared material", {2, 1, 2},
       [&](CRenderSession& s) { return s.AddRenderMesh(object, TK_Material(), &mesh); }},
      {"mesh with a record material and a map", {2, 2, 2},
       [&](CRenderSession& s) { return s.AddRenderMesh(object, mapped, &mesh); }},
      {"light", {1, 1, 3}, [&](CRenderSession& s) { return s.AddLight(light); }},
  };
  for (const Case& c : cases) {
    int refused = 0;
    for (long fail_at = 0;; ++fail_at) {
      CDMRenderUserData settings;
      CRenderSession session(doc, nullptr, settings);
      ASSERT_TRUE(session.AddRenderMesh(object, TK_Material(), &mesh));
      ASSERT_TRUE(session.AddLight(light));
      ASSERT_TRUE(session.AddLight(light));
      const TK_BoundingBox box = session.SceneBoundingBox();
      bool added = false;
      {
        const Armed armed(fail_at);
        added = c.add(session);
      }
      ASSERT_TRUE(Consistent(session)) << c.what << " " << fail_at;
      EXPECT_EQ(Take(session), added ? c.taken : Counts(1, 1, 2)) << c.what << ": allocation " << fail_at;
      if (!added) {
        ++refused;
        EXPECT_EQ(session.SceneBoundingBox(), box) << c.what << ": allocation " << fail_at;
        EXPECT_EQ(lent.m_texture_map.bitmap, nullptr) << c.what << ": allocation " << fail_at;
        continue;
      }
      if (g_count <= fail_at) break;  // nothing failed: every allocation has had its turn
    }
    EXPECT_GT(refused, 0) << c.what;
  }
  EXPECT_EQ(lent.m_texture_map.bitmap, nullptr);  // every session has ended
}

}  // namespace
