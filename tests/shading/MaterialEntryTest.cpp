#include "shading/MaterialEntry.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/TempDir.h"
#include "host/toolkit/BinaryArchive.h"
#include "settings/MaterialUserData.h"
#include "support/LittleEndianBytes.h"
#include "support/SampleMaterial.h"

namespace {

// Writes a w x h image file (24 bits) whose extension picks the format.
void WriteImage(const std::filesystem::path& path, int w, int h) {
  CKavraDib image;
  ASSERT_TRUE(image.CreateDib(w, h, 24, true, nullptr));
  ASSERT_TRUE(image.WriteToFile(TK_wString::FromUtf8(path.string())));
}

TK_wString Name(const std::filesystem::path& path) { return TK_wString::FromUtf8(path.string()); }

const MaterialMap& Slot(const MaterialEntry& entry, int slot) { return entry.Material()->Map(slot); }

TEST(MaterialEntry, ASharedFileIsReadOnceWhateverItsLetterCase) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  WriteImage(dir / "Stone.bmp", 6, 5);
  auto material = std::make_unique<CRenderMaterial>();
  material->m_texture_map.enabled = true;
  material->m_texture_map.file_name = Name(dir / "Stone.bmp");
  material->m_bump_map.enabled = true;  // the same file, other letter case: shared by key
  material->m_bump_map.file_name = Name(dir / "Stone.bmp");
  material->m_specular_map.enabled = true;
  material->m_specular_map.file_name = Name(dir / "stone.BMP");

  MaterialEntry entry(std::move(material));
  EXPECT_TRUE(entry.OwnsMaterial());
  EXPECT_EQ(entry.MapFileReads(), 1);
  const MaterialMap& texture = Slot(entry, CRenderMaterial::texture_slot);
  ASSERT_NE(texture.bitmap, nullptr);
  EXPECT_EQ(texture.width_limit, 4);
  EXPECT_EQ(texture.height_limit, 3);
  EXPECT_EQ(Slot(entry, CRenderMaterial::bump_slot).bitmap, texture.bitmap);
  EXPECT_EQ(Slot(entry, CRenderMaterial::specular_slot).bitmap, texture.bitmap);
  EXPECT_EQ(entry.FindOrLoadMapBitmap(Name(dir / "STONE.bmp")), texture.bitmap);
  EXPECT_EQ(entry.MapFileReads(), 1);

  // Another entry never borrows: it reads its own copy.
  CRenderMaterial other = *entry.Material();
  MaterialEntry second(&other);
  EXPECT_EQ(second.MapFileReads(), 1);
  EXPECT_NE(Slot(second, CRenderMaterial::texture_slot).bitmap, texture.bitmap);
}

TEST(MaterialEntry, AFailedReadIsTriedAgainOnTheNextRequest) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  MaterialEntry entry(std::unique_ptr<CRenderMaterial>{});
  EXPECT_EQ(entry.Material(), nullptr);
  EXPECT_EQ(entry.FindOrLoadMapBitmap(TK_wString()), nullptr);
  EXPECT_EQ(entry.MapFileReads(), 0);

  const TK_wString name = Name(dir / "late.png");
  EXPECT_EQ(entry.FindOrLoadMapBitmap(name), nullptr);
  EXPECT_EQ(entry.MapFileReads(), 1);
  WriteImage(dir / "late.png", 3, 4);
  const CKavraDib* bitmap = entry.FindOrLoadMapBitmap(name);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->Width(), 3);
  EXPECT_EQ(entry.MapFileReads(), 2);
  EXPECT_EQ(entry.FindOrLoadMapBitmap(name), bitmap);
  EXPECT_EQ(entry.MapFileReads(), 2);
}

TEST(MaterialEntry, OnlyEnabledSlotsNamingReadableFilesAreBound) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  WriteImage(dir / "narrow.bmp", 2, 7);
  CRenderMaterial material;
  COruDib stale;  // run-time fields left from an earlier render must be overwritten
  for (int s = 0; s < CRenderMaterial::slot_count; ++s) {
    material.Map(s).bitmap = &stale;
    material.Map(s).width_limit = material.Map(s).height_limit = 99;
  }
  material.m_texture_map.enabled = false;  // disabled, though it names a file
  material.m_texture_map.file_name = Name(dir / "narrow.bmp");
  material.m_specular_map.enabled = true;  // enabled without a file
  material.m_environment_map.enabled = true;  // a file that does not exist
  material.m_environment_map.file_name = Name(dir / "missing.bmp");
  material.m_transparency_map.enabled = true;  // 2 pixels wide: read, but too narrow to sample
  material.m_transparency_map.file_name = Name(dir / "narrow.bmp");

  MaterialEntry entry(&material);
  EXPECT_FALSE(entry.OwnsMaterial());
  EXPECT_EQ(entry.MapFileReads(), 2);
  for (int s = 0; s < CRenderMaterial::slot_count; ++s) {
    EXPECT_EQ(material.Map(s).bitmap, nullptr) << s;
    EXPECT_EQ(material.Map(s).width_limit, 0) << s;
    EXPECT_EQ(material.Map(s).height_limit, 0) << s;
  }
}

TEST(MaterialEntry, RelativeNamesOpenInTheBaseFolder) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  std::filesystem::create_directory(dir / "maps");
  WriteImage(dir / "maps" / "Wood.png", 4, 4);
  auto material = std::make_unique<CRenderMaterial>();
  material->m_texture_map.enabled = true;
  material->m_texture_map.file_name = L"maps/Wood.png";
  MaterialEntry entry(std::move(material), dir.Path());
  EXPECT_NE(Slot(entry, CRenderMaterial::texture_slot).bitmap, nullptr);
  // Without the folder the same name does not resolve (the tests run elsewhere).
  CRenderMaterial lent = *entry.Material();
  MaterialEntry elsewhere(&lent);
  EXPECT_EQ(lent.m_texture_map.bitmap, nullptr);
}

TEST(MaterialEntry, ALentMaterialOutlivesItsEntryWithoutPointersToFreedBitmaps) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  WriteImage(dir / "a.bmp", 4, 4);
  WriteImage(dir / "b.bmp", 5, 5);
  CDMMaterialUserData record;
  record.m_material = std::make_unique<CRenderMaterial>();
  CRenderMaterial& material = *record.m_material;
  material.m_texture_map.enabled = material.m_bump_map.enabled = true;
  material.m_texture_map.file_name = Name(dir / "a.bmp");
  material.m_bump_map.file_name = Name(dir / "b.bmp");

  auto first = std::make_unique<MaterialEntry>(&material);
  ASSERT_NE(material.m_texture_map.bitmap, nullptr);
  ASSERT_NE(material.m_bump_map.bitmap, nullptr);
  // A later cache rebinds the bump slot alone before the first one ends.
  MaterialEntry later(std::unique_ptr<CRenderMaterial>{});
  const CKavraDib* rebound = later.FindOrLoadMapBitmap(Name(dir / "b.bmp"));
  ASSERT_NE(rebound, nullptr);
  material.m_bump_map.bitmap = rebound;

  first.reset();
  ASSERT_NE(record.m_material, nullptr);  // the record still owns its material
  EXPECT_EQ(material.m_texture_map.bitmap, nullptr);
  EXPECT_EQ(material.m_texture_map.width_limit, 0);
  EXPECT_EQ(material.m_texture_map.height_limit, 0);
  EXPECT_EQ(material.m_bump_map.bitmap, rebound);  // not this entry's: left alone
  EXPECT_EQ(material.m_bump_map.width_limit, 3);
}

// One change per field of a render material; `shared` says whether the
// cache still treats the changed material as the same.
struct Variation {
  const char* what;
  std::function<void(CRenderMaterial&)> change;
  bool shared;
};

TEST(IsSameRenderMaterial, ComparesWhatShadingMeansAndIgnoresTheRest) {
  CRenderMaterial base(SampleMaterial());
  for (int s = 0; s < CRenderMaterial::slot_count; ++s) base.Map(s).enabled = true;
  base.m_specular_map.file_name = L"/maps/gloss.png";
  base.m_transparency_map.file_name = L"/maps/holes.png";

  std::vector<Variation> variations = {
      {"host diffuse", [](CRenderMaterial& m) { m.SetDiffuse(TK_Color(1, 2, 3)); }, false},
      {"host name", [](CRenderMaterial& m) { m.SetName(L"other"); }, false},
      {"reflectivity", [](CRenderMaterial& m) { m.m_reflectivity = 0.5; }, false},
      {"use luminosity colour", [](CRenderMaterial& m) { m.m_use_luminosity_color = true; }, false},
      {"luminosity colour", [](CRenderMaterial& m) { m.m_luminosity_color = TK_Color(0, 0, 1); }, false},
      {"luminosity", [](CRenderMaterial& m) { m.m_luminosity = 0.25; }, false},
      {"specular level", [](CRenderMaterial& m) { m.m_specular_level = 0.02; }, false},
      {"two-sided", [](CRenderMaterial& m) { m.m_two_sided = false; }, true},
      {"faceted", [](CRenderMaterial& m) { m.m_faceted = true; }, true},
      {"reserved A", [](CRenderMaterial& m) { m.m_reserved_a = 7.0; }, true},
      {"reserved B", [](CRenderMaterial& m) { m.m_reserved_b = -7.0; }, true},
  };
  for (int s = 0; s < CRenderMaterial::slot_count; ++s) {
    auto slot = [s](std::function<void(MaterialMap&)> f) { return [s, f](CRenderMaterial& m) { f(m.Map(s)); }; };
    variations.push_back({"enabled", slot([](MaterialMap& m) { m.enabled = false; }), false});
    variations.push_back({"amount", slot([](MaterialMap& m) { m.amount = 0.5; }), false});
    variations.push_back({"tiling U", slot([](MaterialMap& m) { m.tiling_u = 2.0; }), false});
    variations.push_back({"tiling V", slot([](MaterialMap& m) { m.tiling_v = 2.0; }), false});
    variations.push_back({"offset U", slot([](MaterialMap& m) { m.offset_u = 1.0; }), false});
    variations.push_back({"offset V", slot([](MaterialMap& m) { m.offset_v = 1.0; }), false});
    variations.push_back({"file name case", slot([](MaterialMap& m) { m.file_name = L"/MAPS/x.png"; }), false});
    variations.push_back({"filter", slot([](MaterialMap& m) { m.filter = 1 - m.filter; }), true});
    variations.push_back({"bitmap binding", slot([](MaterialMap& m) { m.width_limit = 40; }), true});
  }
  EXPECT_TRUE(IsSameRenderMaterial(base, base));
  int index = 0;
  for (const Variation& v : variations) {
    CRenderMaterial changed = base;
    v.change(changed);
    EXPECT_EQ(IsSameRenderMaterial(base, changed), v.shared) << v.what << " #" << index;
    EXPECT_EQ(IsSameRenderMaterial(changed, base), v.shared) << v.what << " #" << index;
    ++index;
  }

  CRenderMaterial lent = base;
  lent.m_faceted = true;
  MaterialEntry entry(&lent);
  EXPECT_TRUE(entry.MatchesMaterial(base));
  base.m_luminosity = 1.0;
  EXPECT_FALSE(entry.MatchesMaterial(base));
  EXPECT_FALSE(MaterialEntry(std::unique_ptr<CRenderMaterial>{}).MatchesMaterial(base));
}

// A material record laid down by hand: version 1.0 lacks the filters, the
// specular map and the reflectivity; version 1.2 has them.
std::vector<std::uint8_t> RecordBytes(int minor, int filter, bool specular_enabled) {
  LittleEndianBytes b;
  b.Int(1).Int(minor);
  AppendSampleMaterialBytes(b);
  auto map = [&](bool enabled, const std::u16string& name) {
    b.Bool(enabled).Double(1.0).Double(0.0).Double(0.0).Double(1.0).Double(1.0).String(name);
    if (minor >= 1) b.Int(filter);
  };
  map(true, u"/maps/Brass.PNG");  // texture
  map(false, u"");                // environment
  map(false, u"");                // bump
  map(false, u"");                // transparency
  b.Bool(true).Bool(false).Bool(false).Color(0).Double(0.0).Double(0.01).Double(0.0).Double(0.0);
  if (minor >= 2) {
    map(specular_enabled, u"");
    b.Double(0.0);
  }
  return b.bytes;
}

TEST(IsSameRenderMaterial, RecordsOfOlderVersionsCompareByWhatTheyHold) {
  auto read = [](const std::vector<std::uint8_t>& bytes) {
    CDMMaterialUserData record;
    TK_BinaryArchive in(bytes);
    EXPECT_TRUE(record.Read(in));
    return record;
  };
  const CDMMaterialUserData old_record = read(RecordBytes(0, 0, false));
  ASSERT_NE(old_record.m_material, nullptr);
  EXPECT_EQ(old_record.m_material->m_texture_map.filter, 1);  // the default, as version 1.0 has none

  // A newer record that differs only in a filter is the same material ...
  const CDMMaterialUserData unfiltered = read(RecordBytes(2, 0, false));
  EXPECT_TRUE(IsSameRenderMaterial(*old_record.m_material, *unfiltered.m_material));
  // ... one with its specular map on is not.
  const CDMMaterialUserData specular = read(RecordBytes(2, 1, true));
  EXPECT_FALSE(IsSameRenderMaterial(*old_record.m_material, *specular.m_material));
  // And the old record's material is the one its host material refreshes to.
  CRenderMaterial refreshed = *old_record.m_material;
  refreshed.RefreshFrom(SampleMaterial());
  EXPECT_FALSE(IsSameRenderMaterial(refreshed, *old_record.m_material));  // the host names more maps
  refreshed.m_bump_map.file_name = refreshed.m_environment_map.file_name = TK_wString();
  EXPECT_TRUE(IsSameRenderMaterial(refreshed, *old_record.m_material));
}

}  // namespace
