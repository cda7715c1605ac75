#include "settings/MaterialUserData.h"

#include <gtest/gtest.h>

#include "host/toolkit/BinaryArchive.h"
#include "settings/RenderUserData.h"
#include "support/LittleEndianBytes.h"
#include "support/SampleMaterial.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

MaterialMap SampleMap(int seed) {
  MaterialMap m;
  m.enabled = seed % 2 == 1;
  m.amount = 0.1 * seed;
  m.tiling_u = 2.0 + seed;
  m.tiling_v = 3.0 + seed;
  m.offset_u = -4.0 - seed;
  m.offset_v = 5.5 + seed;
  m.filter = seed == 4 ? 1 : 0;  // the opposite of each slot's default
  m.file_name = TK_wString(L"/maps/slot" + std::to_wstring(seed) + L"\u00E9.png");
  return m;
}

// A render material with a non-default value in every stored field.
CRenderMaterial SampleRenderMaterial() {
  CRenderMaterial m;
  m.CopyPropertiesFrom(SampleMaterial());
  for (int slot = 0; slot < CRenderMaterial::slot_count; ++slot) m.Map(slot) = SampleMap(slot + 1);
  m.m_two_sided = false;
  m.m_faceted = true;
  m.m_use_luminosity_color = true;
  m.m_luminosity_color = TK_Color(9, 8, 7);
  m.m_luminosity = 0.3;
  m.m_specular_level = 0.07;
  m.m_reserved_a = 11.5;
  m.m_reserved_b = -12.5;
  m.m_reflectivity = 0.45;
  return m;
}

std::unique_ptr<CDMMaterialUserData> Record(const CRenderMaterial& m) {
  auto record = std::make_unique<CDMMaterialUserData>();
  record->m_material = std::make_unique<CRenderMaterial>(m);
  return record;
}

// The stored fields of a material, as its record writes them; the layout
// itself is pinned against hand-laid bytes below.
Bytes Stored(const CRenderMaterial& m) {
  TK_BinaryArchive out;
  EXPECT_TRUE(Record(m)->Write(out));
  return out.TakeBuffer();
}

// A map block laid down by hand: offsets come before tiling.
void AppendMap(LittleEndianBytes& b, const MaterialMap& m, bool with_filter) {
  const std::wstring& name = m.file_name.str();
  b.Bool(m.enabled).Double(m.amount).Double(m.offset_u).Double(m.offset_v).Double(m.tiling_u).Double(m.tiling_v);
  b.String(std::u16string(name.begin(), name.end()));
  if (with_filter) b.Int(m.filter);
}

// The sample record laid down by hand in the layout of version 1.minor.
Bytes SampleRecordBytes(int minor) {
  LittleEndianBytes b;
  b.Int(1).Int(minor);
  AppendSampleMaterialBytes(b);
  for (int seed : {1, 3, 4, 5}) AppendMap(b, SampleMap(seed), minor >= 1);  // texture, environment, bump, transparency
  b.Bool(false).Bool(true).Bool(true).Color(0x070809).Double(0.3).Double(0.07).Double(11.5).Double(-12.5);
  if (minor >= 2) {
    AppendMap(b, SampleMap(2), true);  // specular, stored last
    b.Double(0.45);
  }
  return b.bytes;
}

TEST(RenderMaterial, DefaultsOfTheSlotsAndSettings) {
  const CRenderMaterial m;
  for (int slot = 0; slot < CRenderMaterial::slot_count; ++slot) {
    const MaterialMap& map = m.Map(slot);
    const bool bump = slot == CRenderMaterial::bump_slot;
    EXPECT_FALSE(map.enabled);
    EXPECT_EQ(map.amount, bump ? 0.025 : 1.0) << slot;
    EXPECT_EQ(map.filter, bump ? 0 : 1) << slot;
    EXPECT_TRUE(map.tiling_u == 1.0 && map.tiling_v == 1.0 && map.offset_u == 0.0 && map.offset_v == 0.0);
  }
  EXPECT_EQ(&m.Map(CRenderMaterial::specular_slot), &m.m_specular_map);
  EXPECT_EQ(&m.Map(CRenderMaterial::transparency_slot), &m.m_transparency_map);
  EXPECT_TRUE(m.m_two_sided);
  EXPECT_FALSE(m.m_faceted);
  EXPECT_EQ(m.m_specular_level, 0.01);
}

TEST(RenderMaterial, FromAHostMaterialEnablesExactlyTheNamedMaps) {
  TK_Material host = SampleMaterial();
  host.SetEmapBitmapFileName(L"");
  ASSERT_TRUE(CDMMaterialUserData::AttachTo(host, Record(SampleRenderMaterial())));
  const CRenderMaterial m(host);

  CRenderMaterial expected;
  expected.CopyPropertiesFrom(host);
  expected.m_texture_map.file_name = host.TextureBitmapFileName();
  expected.m_texture_map.enabled = true;
  expected.m_bump_map.file_name = host.BumpBitmapFileName();
  expected.m_bump_map.enabled = true;
  EXPECT_EQ(Stored(m), Stored(expected));
  EXPECT_TRUE(m.AllUserData().empty()) << "the host's record must not be nested in its render material";
}

TEST(RenderMaterial, RefreshTakesTheHostPartAndKeepsTheRest) {
  CRenderMaterial m = SampleRenderMaterial();
  TK_Material host;
  host.SetDiffuse(TK_Color(1, 1, 1));
  host.SetTextureBitmapFileName(L"new_texture.png");
  host.SetBumpBitmapFileName(L"new_bump.png");
  ASSERT_TRUE(CDMMaterialUserData::AttachTo(host, Record(m)));
  m.RefreshFrom(host);
  m.RefreshFrom(host);

  CRenderMaterial expected = SampleRenderMaterial();
  expected.CopyPropertiesFrom(host);
  expected.m_texture_map.file_name = L"new_texture.png";
  expected.m_bump_map.file_name = L"new_bump.png";
  expected.m_environment_map.file_name = L"";
  EXPECT_EQ(Stored(m), Stored(expected));
  EXPECT_TRUE(m.AllUserData().empty());
}

TEST(MaterialUserData, RegistrationAndCast) {
  const TK_ClassId* by_name = TK_ClassId::ClassId("CDMMaterialUserData");
  ASSERT_EQ(by_name, &CDMMaterialUserData::m_CDMMaterialUserData_class_id);
  EXPECT_STREQ(by_name->BaseClassName(), "TK_UserData");
  EXPECT_EQ(TK_ClassId::ClassId(*TK_UUID::FromString("CA08EE53-9D33-4AB6-B2EF-B68CCFEAF030")), by_name);
  auto created = by_name->Create();
  const CDMMaterialUserData* record = CDMMaterialUserData::Cast(created.get());
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->m_material, nullptr);
  EXPECT_EQ(record->m_userdata_uuid, by_name->Uuid());
  EXPECT_EQ(record->m_userdata_copycount, 1);
  EXPECT_TRUE(record->Archive());
  TK_wString text;
  EXPECT_TRUE(CDMMaterialUserData().GetDescription(text));
  EXPECT_EQ(text, TK_wString(L"DuskMoth material settings"));

  TK_Material material;
  CDMRenderUserData render_record;
  EXPECT_EQ(CDMMaterialUserData::Cast(&material), nullptr);
  EXPECT_EQ(CDMMaterialUserData::Cast(&render_record), nullptr);
  EXPECT_EQ(CDMMaterialUserData::Cast(static_cast<TK_Object*>(nullptr)), nullptr);
}

TEST(MaterialUserData, WrittenRecordsReadBackWithEveryField) {
  TK_BinaryArchive out;
  ASSERT_TRUE(Record(SampleRenderMaterial())->Write(out));
  EXPECT_EQ(out.Buffer(), SampleRecordBytes(2));
  CDMMaterialUserData back;
  TK_BinaryArchive in(out.Buffer());
  ASSERT_TRUE(back.Read(in));
  EXPECT_EQ(in.BytesRemaining(), 0u);
  EXPECT_EQ(back.m_archive_major, 1);
  EXPECT_EQ(back.m_archive_minor, 2);
  ASSERT_NE(back.m_material, nullptr);
  EXPECT_EQ(Stored(*back.m_material), SampleRecordBytes(2));
}

TEST(MaterialUserData, OlderVersionsKeepDefaultsForWhatTheyLack) {
  for (int minor : {0, 1}) {
    CDMMaterialUserData record;
    TK_BinaryArchive in(SampleRecordBytes(minor));
    ASSERT_TRUE(record.Read(in)) << minor;
    EXPECT_EQ(in.BytesRemaining(), 0u);
    EXPECT_EQ(record.m_archive_minor, minor);
    CRenderMaterial expected = SampleRenderMaterial();
    if (minor == 0) {  // no filters: each slot keeps its default (1; bump 0)
      for (int slot = 0; slot < CRenderMaterial::slot_count; ++slot) expected.Map(slot).filter = CRenderMaterial().Map(slot).filter;
    }
    expected.m_specular_map = MaterialMap();
    expected.m_reflectivity = 0.0;
    ASSERT_NE(record.m_material, nullptr);
    EXPECT_EQ(Stored(*record.m_material), Stored(expected)) << minor;
  }
}

TEST(MaterialUserData, TruncatedOrCorruptRecordsFail) {
  const Bytes bytes = SampleRecordBytes(2);
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    CDMMaterialUserData record;
    TK_BinaryArchive in(std::span(bytes.data(), length));
    EXPECT_FALSE(record.Read(in)) << length;
    // The version pair stays as read; past it the record keeps the material
    // it was filling.
    EXPECT_EQ(record.m_archive_minor, length >= 8 ? 2 : 0) << length;
    EXPECT_EQ(record.m_material != nullptr, length >= 8) << length;
  }
  // Corrupt the first map's enabled flag, right after the material part.
  LittleEndianBytes head;
  head.Int(1).Int(2);
  AppendSampleMaterialBytes(head);
  Bytes corrupt = bytes;
  corrupt[head.size()] = 0x11;
  CDMMaterialUserData record;
  TK_BinaryArchive in(corrupt);
  EXPECT_FALSE(record.Read(in));
  EXPECT_EQ(in.Position(), head.size());
  ASSERT_NE(record.m_material, nullptr);
  EXPECT_TRUE(static_cast<const TK_Material&>(*record.m_material) == SampleMaterial());

  // A record without a material writes its version only and does not read back.
  TK_BinaryArchive out;
  ASSERT_TRUE(CDMMaterialUserData().Write(out));
  EXPECT_EQ(out.Buffer(), (Bytes{1, 0, 0, 0, 2, 0, 0, 0}));
  TK_BinaryArchive empty_in(out.Buffer());
  EXPECT_FALSE(CDMMaterialUserData().Read(empty_in));
}

TEST(MaterialUserData, LookupAttachAndDetachOnAHostMaterial) {
  TK_Material host;
  EXPECT_EQ(CDMMaterialUserData::FromMaterial(host), nullptr);
  EXPECT_EQ(CDMMaterialUserData::DetachFrom(host), nullptr);
  auto record = Record(SampleRenderMaterial());
  CDMMaterialUserData* raw = record.get();
  ASSERT_TRUE(CDMMaterialUserData::AttachTo(host, std::move(record)));
  EXPECT_EQ(CDMMaterialUserData::FromMaterial(host), raw);
  EXPECT_EQ(raw->Owner(), &host);

  auto second = Record(CRenderMaterial());
  EXPECT_FALSE(CDMMaterialUserData::AttachTo(host, std::move(second)));
  ASSERT_NE(second, nullptr) << "a refused record stays with the caller";
  EXPECT_FALSE(CDMMaterialUserData::AttachTo(host, nullptr));

  std::unique_ptr<CDMMaterialUserData> detached = CDMMaterialUserData::DetachFrom(host);
  EXPECT_EQ(detached.get(), raw);
  EXPECT_EQ(detached->Owner(), nullptr);
  EXPECT_EQ(CDMMaterialUserData::FromMaterial(host), nullptr);
  EXPECT_TRUE(CDMMaterialUserData::AttachTo(host, std::move(second)));
}

TEST(MaterialUserData, CopiesOfHostMaterialsAndRecordsAreDeep) {
  TK_Material host = SampleMaterial();
  ASSERT_TRUE(CDMMaterialUserData::AttachTo(host, Record(SampleRenderMaterial())));
  TK_Material copy = host;
  CDMMaterialUserData* original = CDMMaterialUserData::FromMaterial(host);
  CDMMaterialUserData* copied = CDMMaterialUserData::FromMaterial(copy);
  ASSERT_NE(copied, nullptr);
  ASSERT_NE(copied->m_material, nullptr);
  EXPECT_NE(copied, original);
  EXPECT_NE(copied->m_material.get(), original->m_material.get());
  EXPECT_EQ(copied->Owner(), &copy);
  EXPECT_EQ(Stored(*copied->m_material), Stored(*original->m_material));
  copied->m_material->m_luminosity = 0.9;
  EXPECT_EQ(original->m_material->m_luminosity, 0.3);

  original->m_archive_minor = 1;
  std::unique_ptr<TK_Object> dup = original->DuplicateObject();
  const CDMMaterialUserData* duplicate = CDMMaterialUserData::Cast(dup.get());
  ASSERT_NE(duplicate, nullptr);
  ASSERT_NE(duplicate->m_material, nullptr);
  EXPECT_NE(duplicate->m_material.get(), original->m_material.get());
  EXPECT_EQ(Stored(*duplicate->m_material), Stored(*original->m_material));
  EXPECT_EQ(duplicate->m_archive_minor, 1);
  EXPECT_EQ(duplicate->Owner(), nullptr);

  CDMMaterialUserData target;
  target = *original;
  EXPECT_NE(target.m_material.get(), original->m_material.get());
  const CDMMaterialUserData& self = target;
  target = self;
  ASSERT_NE(target.m_material, nullptr);
  EXPECT_EQ(Stored(*target.m_material), Stored(*original->m_material));
  target = CDMMaterialUserData();
  EXPECT_EQ(target.m_material, nullptr);
}

}  // namespace
