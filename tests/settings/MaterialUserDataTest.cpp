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
  m.filter = seed % 2 == 1 ? 0 : 1;  // the opposite of each slot's default
  m.file_name = TK_wString(L"/maps/slot") + TK_wString(std::to_wstring(seed)) + TK_wString(L"\u00E9.png");
  return m;
}

// A render material with a non-default value in every stored field.
CRenderMaterial SampleRenderMaterial() {
  CRenderMaterial m;
  m.CopyPropertiesFrom(SampleMaterial());
  m.m_texture_map = SampleMap(1);
  m.m_specular_map = SampleMap(2);
  m.m_environment_map = SampleMap(3);
  m.m_bump_map = SampleMap(4);
  m.m_bump_map.filter = 1;
  m.m_transparency_map = SampleMap(5);
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

void ExpectSameMap(const MaterialMap& a, const MaterialMap& b, const char* slot) {
  SCOPED_TRACE(slot);
  EXPECT_EQ(a.enabled, b.enabled);
  EXPECT_EQ(a.amount, b.amount);
  EXPECT_EQ(a.tiling_u, b.tiling_u);
  EXPECT_EQ(a.tiling_v, b.tiling_v);
  EXPECT_EQ(a.offset_u, b.offset_u);
  EXPECT_EQ(a.offset_v, b.offset_v);
  EXPECT_EQ(a.filter, b.filter);
  EXPECT_EQ(a.file_name, b.file_name);
}

void ExpectSameStoredFields(const CRenderMaterial& a, const CRenderMaterial& b) {
  EXPECT_TRUE(static_cast<const TK_Material&>(a) == static_cast<const TK_Material&>(b));
  ExpectSameMap(a.m_texture_map, b.m_texture_map, "texture");
  ExpectSameMap(a.m_specular_map, b.m_specular_map, "specular");
  ExpectSameMap(a.m_environment_map, b.m_environment_map, "environment");
  ExpectSameMap(a.m_bump_map, b.m_bump_map, "bump");
  ExpectSameMap(a.m_transparency_map, b.m_transparency_map, "transparency");
  EXPECT_EQ(a.m_two_sided, b.m_two_sided);
  EXPECT_EQ(a.m_faceted, b.m_faceted);
  EXPECT_EQ(a.m_use_luminosity_color, b.m_use_luminosity_color);
  EXPECT_EQ(a.m_luminosity_color, b.m_luminosity_color);
  EXPECT_EQ(a.m_luminosity, b.m_luminosity);
  EXPECT_EQ(a.m_specular_level, b.m_specular_level);
  EXPECT_EQ(a.m_reserved_a, b.m_reserved_a);
  EXPECT_EQ(a.m_reserved_b, b.m_reserved_b);
  EXPECT_EQ(a.m_reflectivity, b.m_reflectivity);
}

// A map block laid down by hand: offsets come before tiling.
void AppendMap(LittleEndianBytes& b, const MaterialMap& m, bool with_filter) {
  std::u16string name;
  for (wchar_t c : m.file_name.str()) name.push_back(char16_t(c));
  b.Bool(m.enabled).Double(m.amount).Double(m.offset_u).Double(m.offset_v).Double(m.tiling_u).Double(m.tiling_v);
  b.String(name);
  if (with_filter) b.Int(m.filter);
}

// The sample record in the layout of the given minor version (major 1).
Bytes SampleRecordBytes(int minor) {
  const CRenderMaterial m = SampleRenderMaterial();
  LittleEndianBytes b;
  b.Int(1).Int(minor);
  AppendSampleMaterialBytes(b);
  for (const MaterialMap* map : {&m.m_texture_map, &m.m_environment_map, &m.m_bump_map, &m.m_transparency_map})
    AppendMap(b, *map, minor >= 1);
  b.Bool(false).Bool(true).Bool(true).Color(m.m_luminosity_color.Value());
  b.Double(0.3).Double(0.07).Double(11.5).Double(-12.5);
  if (minor >= 2) {
    AppendMap(b, m.m_specular_map, true);
    b.Double(0.45);
  }
  return b.bytes;
}

std::unique_ptr<CDMMaterialUserData> SampleRecord() {
  auto record = std::make_unique<CDMMaterialUserData>();
  record->m_material = std::make_unique<CRenderMaterial>(SampleRenderMaterial());
  return record;
}

TEST(RenderMaterial, DefaultsOfTheSlotsAndSettings) {
  const CRenderMaterial m;
  for (int slot = 0; slot < CRenderMaterial::slot_count; ++slot) {
    const MaterialMap& map = m.Map(slot);
    const bool bump = slot == CRenderMaterial::bump_slot;
    EXPECT_FALSE(map.enabled);
    EXPECT_EQ(map.amount, bump ? 0.025 : 1.0) << slot;
    EXPECT_EQ(map.filter, bump ? 0 : 1) << slot;
    EXPECT_EQ(map.tiling_u, 1.0);
    EXPECT_EQ(map.tiling_v, 1.0);
    EXPECT_EQ(map.offset_u, 0.0);
    EXPECT_EQ(map.offset_v, 0.0);
    EXPECT_EQ(map.bitmap, nullptr);
  }
  EXPECT_EQ(&m.Map(CRenderMaterial::specular_slot), &m.m_specular_map);
  EXPECT_EQ(&m.Map(CRenderMaterial::environment_slot), &m.m_environment_map);
  EXPECT_EQ(&m.Map(CRenderMaterial::transparency_slot), &m.m_transparency_map);
  EXPECT_TRUE(m.m_two_sided);
  EXPECT_FALSE(m.m_faceted);
  EXPECT_EQ(m.m_specular_level, 0.01);
  EXPECT_EQ(m.m_reflectivity, 0.0);
}

TEST(RenderMaterial, FromAHostMaterialEnablesExactlyTheNamedMaps) {
  TK_Material host = SampleMaterial();
  host.SetEmapBitmapFileName(L"");
  auto foreign = std::make_unique<CDMMaterialUserData>();
  foreign->m_material = std::make_unique<CRenderMaterial>(SampleRenderMaterial());
  ASSERT_TRUE(CDMMaterialUserData::AttachTo(host, std::move(foreign)));

  const CRenderMaterial m(host);
  EXPECT_TRUE(static_cast<const TK_Material&>(m) == host);
  EXPECT_TRUE(m.AllUserData().empty()) << "the host's record must not be nested in its render material";
  EXPECT_TRUE(m.m_texture_map.enabled);
  EXPECT_EQ(m.m_texture_map.file_name, host.TextureBitmapFileName());
  EXPECT_TRUE(m.m_bump_map.enabled);
  EXPECT_EQ(m.m_bump_map.file_name, host.BumpBitmapFileName());
  EXPECT_EQ(m.m_bump_map.amount, 0.025);
  EXPECT_FALSE(m.m_environment_map.enabled);
  EXPECT_FALSE(m.m_specular_map.enabled);
  EXPECT_FALSE(m.m_transparency_map.enabled);
  EXPECT_TRUE(m.m_two_sided);
  EXPECT_EQ(m.m_specular_level, 0.01);

  const CRenderMaterial plain{TK_Material()};
  for (int slot = 0; slot < CRenderMaterial::slot_count; ++slot) EXPECT_FALSE(plain.Map(slot).enabled) << slot;
}

TEST(RenderMaterial, RefreshTakesTheHostPartAndKeepsTheRest) {
  CRenderMaterial m = SampleRenderMaterial();
  TK_Material host;
  host.SetDiffuse(TK_Color(1, 1, 1));
  host.SetTextureBitmapFileName(L"new_texture.png");
  host.SetBumpBitmapFileName(L"new_bump.png");
  ASSERT_TRUE(CDMMaterialUserData::AttachTo(host, SampleRecord()));
  m.RefreshFrom(host);
  m.RefreshFrom(host);

  CRenderMaterial expected = SampleRenderMaterial();
  expected.CopyPropertiesFrom(host);
  expected.m_texture_map.file_name = L"new_texture.png";
  expected.m_bump_map.file_name = L"new_bump.png";
  expected.m_environment_map.file_name = L"";
  ExpectSameStoredFields(m, expected);
  EXPECT_TRUE(m.AllUserData().empty());
}

TEST(MaterialUserData, RegisteredUnderItsNameAndIdentifier) {
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
}

TEST(MaterialUserData, CastAcceptsOnlyTheRecordClass) {
  CDMMaterialUserData record;
  TK_Material material;
  CDMRenderUserData render_record;
  EXPECT_EQ(CDMMaterialUserData::Cast(static_cast<TK_Object*>(&record)), &record);
  EXPECT_EQ(CDMMaterialUserData::Cast(static_cast<const TK_Object*>(&record)), &record);
  EXPECT_EQ(CDMMaterialUserData::Cast(&material), nullptr);
  EXPECT_EQ(CDMMaterialUserData::Cast(&render_record), nullptr);
  EXPECT_EQ(CDMMaterialUserData::Cast(static_cast<TK_Object*>(nullptr)), nullptr);
}

TEST(MaterialUserData, WrittenRecordsReadBackWithEveryField) {
  TK_BinaryArchive out;
  ASSERT_TRUE(SampleRecord()->Write(out));
  EXPECT_EQ(out.Buffer(), SampleRecordBytes(2));
  CDMMaterialUserData back;
  TK_BinaryArchive in(out.Buffer());
  ASSERT_TRUE(back.Read(in));
  EXPECT_EQ(in.BytesRemaining(), 0u);
  EXPECT_EQ(back.m_archive_major, 1);
  EXPECT_EQ(back.m_archive_minor, 2);
  ASSERT_NE(back.m_material, nullptr);
  ExpectSameStoredFields(*back.m_material, SampleRenderMaterial());
}

TEST(MaterialUserData, VersionOneZeroLacksFiltersSpecularMapAndReflectivity) {
  const Bytes bytes = SampleRecordBytes(0);
  CDMMaterialUserData record;
  TK_BinaryArchive in(bytes);
  ASSERT_TRUE(record.Read(in));
  EXPECT_EQ(in.BytesRemaining(), 0u);
  CRenderMaterial expected = SampleRenderMaterial();
  for (int slot = 0; slot < CRenderMaterial::slot_count; ++slot)
    expected.Map(slot).filter = slot == CRenderMaterial::bump_slot ? 0 : 1;
  expected.m_specular_map = MaterialMap();
  expected.m_reflectivity = 0.0;
  ASSERT_NE(record.m_material, nullptr);
  ExpectSameStoredFields(*record.m_material, expected);
  EXPECT_EQ(record.m_archive_minor, 0);
}

TEST(MaterialUserData, VersionOneOneReadsFiltersOnly) {
  const Bytes bytes = SampleRecordBytes(1);
  CDMMaterialUserData record;
  TK_BinaryArchive in(bytes);
  ASSERT_TRUE(record.Read(in));
  EXPECT_EQ(in.BytesRemaining(), 0u);
  CRenderMaterial expected = SampleRenderMaterial();
  expected.m_specular_map = MaterialMap();
  expected.m_reflectivity = 0.0;
  ASSERT_NE(record.m_material, nullptr);
  ExpectSameStoredFields(*record.m_material, expected);
}

TEST(MaterialUserData, TruncatedOrCorruptRecordsFail) {
  const Bytes bytes = SampleRecordBytes(2);
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    CDMMaterialUserData record;
    TK_BinaryArchive in(std::span(bytes.data(), length));
    EXPECT_FALSE(record.Read(in)) << length;
    // The version pair is kept as read, and past it the record holds the
    // material it was filling.
    EXPECT_EQ(record.m_archive_minor, length >= 8 ? 2 : 0) << length;
    EXPECT_EQ(record.m_material != nullptr, length >= 8) << length;
  }
  // The first map's enabled flag sits right after the material part.
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
  EXPECT_FALSE(record.m_material->m_texture_map.enabled);
}

TEST(MaterialUserData, ARecordWithoutMaterialWritesOnlyItsVersion) {
  CDMMaterialUserData empty;
  TK_BinaryArchive out;
  ASSERT_TRUE(empty.Write(out));
  EXPECT_EQ(out.Buffer(), (Bytes{1, 0, 0, 0, 2, 0, 0, 0}));
  CDMMaterialUserData back;
  TK_BinaryArchive in(out.Buffer());
  EXPECT_FALSE(back.Read(in));
}

TEST(MaterialUserData, LookupAttachAndDetachOnAHostMaterial) {
  TK_Material host;
  EXPECT_EQ(CDMMaterialUserData::FromMaterial(host), nullptr);
  EXPECT_EQ(CDMMaterialUserData::DetachFrom(host), nullptr);
  auto record = SampleRecord();
  CDMMaterialUserData* raw = record.get();
  ASSERT_TRUE(CDMMaterialUserData::AttachTo(host, std::move(record)));
  EXPECT_EQ(CDMMaterialUserData::FromMaterial(host), raw);
  EXPECT_EQ(raw->Owner(), &host);

  auto second = SampleRecord();
  EXPECT_FALSE(CDMMaterialUserData::AttachTo(host, std::move(second)));
  ASSERT_NE(second, nullptr) << "a refused record stays with the caller";
  EXPECT_FALSE(CDMMaterialUserData::AttachTo(host, nullptr));

  std::unique_ptr<CDMMaterialUserData> detached = CDMMaterialUserData::DetachFrom(host);
  EXPECT_EQ(detached.get(), raw);
  EXPECT_EQ(detached->Owner(), nullptr);
  EXPECT_EQ(CDMMaterialUserData::FromMaterial(host), nullptr);
  EXPECT_TRUE(CDMMaterialUserData::AttachTo(host, std::move(second)));
}

TEST(MaterialUserData, CopiedHostMaterialsCarryAnIndependentRecord) {
  TK_Material host = SampleMaterial();
  ASSERT_TRUE(CDMMaterialUserData::AttachTo(host, SampleRecord()));
  TK_Material copy = host;
  CDMMaterialUserData* original = CDMMaterialUserData::FromMaterial(host);
  CDMMaterialUserData* copied = CDMMaterialUserData::FromMaterial(copy);
  ASSERT_NE(copied, nullptr);
  ASSERT_NE(copied->m_material, nullptr);
  EXPECT_NE(copied, original);
  EXPECT_NE(copied->m_material.get(), original->m_material.get());
  EXPECT_EQ(copied->Owner(), &copy);
  ExpectSameStoredFields(*copied->m_material, *original->m_material);

  copied->m_material->m_texture_map.file_name = L"changed.png";
  copied->m_material->m_luminosity = 0.9;
  EXPECT_EQ(original->m_material->m_texture_map.file_name, SampleRenderMaterial().m_texture_map.file_name);
  EXPECT_EQ(original->m_material->m_luminosity, 0.3);

  // Assigning a material replaces the record as well.
  TK_Material target;
  target = host;
  ASSERT_NE(CDMMaterialUserData::FromMaterial(target), nullptr);
  EXPECT_NE(CDMMaterialUserData::FromMaterial(target), original);
}

TEST(MaterialUserData, DuplicationAndAssignmentAreDeep) {
  const auto source = SampleRecord();
  source->m_archive_major = 1;
  source->m_archive_minor = 1;
  std::unique_ptr<TK_Object> dup = source->DuplicateObject();
  const CDMMaterialUserData* copy = CDMMaterialUserData::Cast(dup.get());
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(copy->m_material, nullptr);
  EXPECT_NE(copy->m_material.get(), source->m_material.get());
  ExpectSameStoredFields(*copy->m_material, *source->m_material);
  EXPECT_EQ(copy->m_archive_minor, 1);
  EXPECT_EQ(copy->m_userdata_copycount, 1);

  CDMMaterialUserData target;
  target = *source;
  ASSERT_NE(target.m_material, nullptr);
  EXPECT_NE(target.m_material.get(), source->m_material.get());
  target = CDMMaterialUserData();
  EXPECT_EQ(target.m_material, nullptr);
  target = *source;
  const CDMMaterialUserData& self = target;
  target = self;
  ASSERT_NE(target.m_material, nullptr);
  ExpectSameStoredFields(*target.m_material, *source->m_material);
}

}  // namespace
