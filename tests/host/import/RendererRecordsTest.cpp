// The host's view of the renderer's records checked against the renderer's
// own record classes: the same bytes both ways, every version.
#include "host/app/import/RendererRecords.h"

#include <gtest/gtest.h>

#include "host/app/Doc.h"
#include "host/app/UnknownUserData.h"
#include "host/toolkit/BinaryArchive.h"
#include "settings/MaterialUserData.h"
#include "settings/RenderUserData.h"
#include "support/LittleEndianBytes.h"
#include "support/SampleMaterial.h"

namespace {

// Settings with every field away from its default.
RendererMaterialSettings SampleSettings() {
  RendererMaterialSettings s;
  RendererMapSettings* maps[] = {&s.texture, &s.specular, &s.environment, &s.bump, &s.transparency};
  for (int i = 0; i < 5; ++i) {
    RendererMapSettings& m = *maps[i];
    m.enabled = i % 2 == 0;
    m.amount = 0.1 * (i + 1);
    m.tiling_u = 2 + i;
    m.tiling_v = 3 + i;
    m.offset_u = -4.5 * i;
    m.offset_v = 7.25 + i;
    m.filter = i % 2;
    m.file_name = TK_wString::FromUtf8("/maps/slot" + std::to_string(i) + ".png");
  }
  s.two_sided = false;
  s.faceted = true;
  s.use_luminosity_color = true;
  s.luminosity_color = TK_Color(10, 20, 30);
  s.luminosity = 0.4;
  s.specular_level = 0.03;
  s.reserved_a = 1.5;
  s.reserved_b = -2.5;
  s.reflectivity = 0.6;
  return s;
}

// The same settings in the renderer's own record.
std::unique_ptr<CDMMaterialUserData> SampleRecord(const TK_Material& host, const RendererMaterialSettings& s) {
  auto record = std::make_unique<CDMMaterialUserData>();
  record->m_material = std::make_unique<CRenderMaterial>();
  CRenderMaterial& m = *record->m_material;
  m.CopyPropertiesFrom(host);
  const RendererMapSettings* from[] = {&s.texture, &s.specular, &s.environment, &s.bump, &s.transparency};
  for (int i = 0; i < CRenderMaterial::slot_count; ++i) {
    MaterialMap& to = m.Map(i);
    to.enabled = from[i]->enabled;
    to.amount = from[i]->amount;
    to.tiling_u = from[i]->tiling_u;
    to.tiling_v = from[i]->tiling_v;
    to.offset_u = from[i]->offset_u;
    to.offset_v = from[i]->offset_v;
    to.filter = from[i]->filter;
    to.file_name = from[i]->file_name;
  }
  m.m_two_sided = s.two_sided;
  m.m_faceted = s.faceted;
  m.m_use_luminosity_color = s.use_luminosity_color;
  m.m_luminosity_color = s.luminosity_color;
  m.m_luminosity = s.luminosity;
  m.m_specular_level = s.specular_level;
  m.m_reserved_a = s.reserved_a;
  m.m_reserved_b = s.reserved_b;
  m.m_reflectivity = s.reflectivity;
  return record;
}

std::vector<std::uint8_t> Written(const TK_Object& record) {
  TK_BinaryArchive a;
  EXPECT_TRUE(record.Write(a));
  return a.TakeBuffer();
}

TEST(RendererRecords, MaterialRecordBytesEqualTheRenderersOwn) {
  const TK_Material host = SampleMaterial();
  const RendererMaterialSettings s = SampleSettings();
  const std::vector<std::uint8_t> ours = renderer_records::WriteMaterialRecord(host, s);
  EXPECT_EQ(ours, Written(*SampleRecord(host, s)));

  // And the renderer reads them into the same fields.
  CDMMaterialUserData read;
  TK_BinaryArchive in(ours);
  ASSERT_TRUE(read.Read(in));
  EXPECT_EQ(in.BytesRemaining(), 0u);
  EXPECT_EQ(Written(read), ours);
  EXPECT_EQ(read.m_material->m_specular_map.file_name, TK_wString(L"/maps/slot1.png"));
  EXPECT_EQ(read.m_material->m_bump_map.offset_u, -13.5);
  EXPECT_EQ(read.m_material->m_reflectivity, 0.6);
}

TEST(RendererRecords, ReadsWhatTheRendererWrote) {
  const TK_Material host = SampleMaterial();
  const RendererMaterialSettings s = SampleSettings();
  const std::vector<std::uint8_t> bytes = Written(*SampleRecord(host, s));
  TK_Material read_host;
  RendererMaterialSettings read;
  ASSERT_TRUE(renderer_records::ReadMaterialRecord(bytes, read_host, read));
  EXPECT_EQ(read, s);
  EXPECT_TRUE(read_host == host);
}

TEST(RendererRecords, OlderMaterialRecordsKeepDefaultsForWhatTheyLack) {
  // Version 1.0: map blocks without filter; no specular map, no reflectivity.
  LittleEndianBytes b;
  b.Int(1).Int(0);
  AppendSampleMaterialBytes(b);
  for (int i = 0; i < 4; ++i) b.Bool(true).Double(0.5).Double(1).Double(2).Double(3).Double(4).String(u"m.png");
  b.Bool(false).Bool(true).Bool(false).Color(0).Double(0.2).Double(0.05).Double(0).Double(0);
  TK_Material host;
  RendererMaterialSettings s;
  ASSERT_TRUE(renderer_records::ReadMaterialRecord(b.bytes, host, s));
  EXPECT_EQ(s.texture.filter, 1);
  EXPECT_EQ(s.bump.filter, 0);
  EXPECT_EQ(s.bump.amount, 0.5);
  EXPECT_EQ(s.texture.tiling_u, 3.0);  // offsets come before tiling in a block
  EXPECT_EQ(s.texture.offset_u, 1.0);
  EXPECT_FALSE(s.specular.enabled);
  EXPECT_EQ(s.reflectivity, 0.0);
  EXPECT_EQ(s.specular_level, 0.05);

  // Version 1.1 reads the filters but still no specular map.
  LittleEndianBytes b11;
  b11.Int(1).Int(1);
  AppendSampleMaterialBytes(b11);
  for (int i = 0; i < 4; ++i) b11.Bool(true).Double(0.5).Double(1).Double(2).Double(3).Double(4).String(u"m.png").Int(0);
  b11.Bool(false).Bool(true).Bool(false).Color(0).Double(0.2).Double(0.05).Double(0).Double(0);
  ASSERT_TRUE(renderer_records::ReadMaterialRecord(b11.bytes, host, s));
  EXPECT_EQ(s.texture.filter, 0);
  EXPECT_FALSE(s.specular.enabled);
}

TEST(RendererRecords, TruncatedMaterialRecordsChangeNothing) {
  const TK_Material host = SampleMaterial();
  const std::vector<std::uint8_t> bytes = renderer_records::WriteMaterialRecord(host, SampleSettings());
  for (std::size_t cut = 0; cut < bytes.size(); cut += 7) {
    TK_Material read_host;
    RendererMaterialSettings read;
    EXPECT_FALSE(renderer_records::ReadMaterialRecord(std::span(bytes).first(cut), read_host, read)) << cut;
    EXPECT_EQ(read, RendererMaterialSettings()) << cut;
    EXPECT_TRUE(read_host == TK_Material()) << cut;
  }
}

TEST(RendererRecords, DocumentFlagsBytesEqualTheRenderersOwn) {
  for (int bits = 0; bits < 8; ++bits) {
    const RendererDocumentFlags flags{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0};
    CDMRenderUserData record;
    record.m_use_wallpaper = flags.use_wallpaper;
    record.m_stretch_wallpaper = flags.stretch_wallpaper;
    record.m_favor_memory = flags.favor_memory;
    const std::vector<std::uint8_t> ours = renderer_records::WriteDocumentFlags(flags);
    EXPECT_EQ(ours, Written(record));
    RendererDocumentFlags read{!flags.use_wallpaper, !flags.stretch_wallpaper, !flags.favor_memory};
    ASSERT_TRUE(renderer_records::ReadDocumentFlags(ours, read));
    EXPECT_EQ(read, flags);
  }
  // Version 1.0 has no memory flag: it keeps its value.
  LittleEndianBytes b;
  b.Int(1).Int(0).Bool(true).Bool(false);
  RendererDocumentFlags read;
  read.favor_memory = false;
  ASSERT_TRUE(renderer_records::ReadDocumentFlags(b.bytes, read));
  EXPECT_TRUE(read.use_wallpaper);
  EXPECT_FALSE(read.favor_memory);
  // A cut record changes nothing.
  RendererDocumentFlags untouched;
  EXPECT_FALSE(renderer_records::ReadDocumentFlags(std::span(b.bytes).first(9), untouched));
  EXPECT_EQ(untouched, RendererDocumentFlags());
}

TEST(RendererRecords, AttachesTheRegisteredRecordOrKeepsTheBytes) {
  TK_Material host = SampleMaterial();
  const RendererMaterialSettings s = SampleSettings();
  const std::vector<std::uint8_t> bytes = renderer_records::WriteMaterialRecord(host, s);

  // With the plug-in's class registered the record is the renderer's own.
  const TK_ClassId* cls = TK_ClassId::ClassId(renderer_records::kMaterialClassName);
  ASSERT_EQ(cls, &CDMMaterialUserData::m_CDMMaterialUserData_class_id);
  ASSERT_TRUE(renderer_records::AttachMaterialRecord(host, bytes, cls));
  const CDMMaterialUserData* record = CDMMaterialUserData::FromMaterial(host);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->m_material->m_transparency_map.amount, 0.5);
  EXPECT_EQ(renderer_records::MaterialRecordBytes(host), bytes);

  // Without it the bytes are kept as they are, found by the record's identifier.
  TK_Material plain = SampleMaterial();
  ASSERT_TRUE(renderer_records::AttachMaterialRecord(plain, bytes, nullptr));
  const TK_UserData* opaque = plain.GetUserData(renderer_records::MaterialRecordUuid());
  ASSERT_NE(CKavraUnknownUserData::Cast(opaque), nullptr);
  EXPECT_EQ(CKavraUnknownUserData::Cast(opaque)->StoredClassId(), renderer_records::MaterialRecordUuid());
  EXPECT_EQ(opaque->m_userdata_copycount, 1);
  EXPECT_EQ(renderer_records::MaterialRecordBytes(plain), bytes);
  // ... and follow copies of the material.
  const TK_Material copy = plain;
  EXPECT_EQ(renderer_records::MaterialRecordBytes(copy), bytes);

  // A second attach replaces the first record.
  RendererMaterialSettings other;
  other.reflectivity = 0.25;
  const std::vector<std::uint8_t> other_bytes = renderer_records::WriteMaterialRecord(host, other);
  ASSERT_TRUE(renderer_records::AttachMaterialRecord(host, other_bytes, cls));
  EXPECT_EQ(host.AllUserData().size(), 1u);
  EXPECT_EQ(renderer_records::MaterialRecordBytes(host), other_bytes);

  // Bytes the renderer's Read refuses attach nothing.
  TK_Material refused;
  EXPECT_FALSE(renderer_records::AttachMaterialRecord(refused, {1, 0, 0, 0}, cls));
  EXPECT_TRUE(refused.AllUserData().empty());
  EXPECT_TRUE(renderer_records::MaterialRecordBytes(refused).empty());
}

TEST(RendererRecords, FromHostMaterialMatchesTheRenderersConstruction) {
  TK_Material host;
  host.SetTextureBitmapFileName(L"t.png");
  host.SetBumpBitmapFileName(L"b.png");
  const RendererMaterialSettings s = RendererMaterialSettings::FromHostMaterial(host);
  const CRenderMaterial renderer(host);
  EXPECT_TRUE(s.texture.enabled);
  EXPECT_TRUE(s.bump.enabled);
  EXPECT_FALSE(s.environment.enabled);
  CDMMaterialUserData record;
  record.m_material = std::make_unique<CRenderMaterial>(renderer);
  EXPECT_EQ(renderer_records::WriteMaterialRecord(host, s), Written(record));
}

}  // namespace
