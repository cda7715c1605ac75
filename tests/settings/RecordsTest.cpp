// The renderer's stored records against hand-laid bytes: the plug-in's
// user-data classes and the host's import glue write the same bytes and read
// every version, and a cut record fails.
#include <gtest/gtest.h>

#include "host/import/RendererRecords.h"
#include "host/toolkit/BinaryArchive.h"
#include "settings/MaterialUserData.h"
#include "settings/RenderUserData.h"
#include "support/RecordBytes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// What a record of version 1.minor holds once read: older versions keep the
// defaults of what they lack.
MaterialRecord ExpectedRead(int minor) {
  MaterialRecord r = SampleMaterialRecord();
  if (minor < 1)
    for (MapRecord* m : {&r.texture, &r.environment, &r.bump, &r.transparency}) m->filter = m == &r.bump ? 0 : 1;
  if (minor < 2) {
    r.specular = MapRecord();
    r.reflectivity = 0.0;
  }
  return r;
}

class MaterialRecordVersion : public testing::TestWithParam<int> {};

TEST_P(MaterialRecordVersion, ReadsThroughThePlugInAndTheHostAlike) {
  const Bytes bytes = SampleMaterialRecordBytes(GetParam());
  CDMMaterialUserData record;
  TK_BinaryArchive in(bytes);
  ASSERT_TRUE(record.Read(in));
  EXPECT_EQ(in.BytesRemaining(), 0u);
  EXPECT_EQ(record.m_archive_minor, GetParam());
  ASSERT_NE(record.m_material, nullptr);
  EXPECT_EQ(record.m_material->Record(), ExpectedRead(GetParam()));
  EXPECT_TRUE(static_cast<const TK_Material&>(*record.m_material) == SampleMaterial());

  TK_Material host;
  MaterialRecord settings;
  ASSERT_TRUE(renderer_records::ReadMaterialRecord(bytes, host, settings));
  EXPECT_EQ(settings, ExpectedRead(GetParam()));
  EXPECT_TRUE(host == SampleMaterial());

  // Every cut fails; the host's reader then changes nothing.
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    CDMMaterialUserData cut;
    TK_BinaryArchive cut_in(std::span(bytes.data(), length));
    EXPECT_FALSE(cut.Read(cut_in)) << length;
    MaterialRecord untouched;
    EXPECT_FALSE(renderer_records::ReadMaterialRecord(std::span(bytes.data(), length), host, untouched)) << length;
    EXPECT_EQ(untouched, MaterialRecord()) << length;
  }
}

INSTANTIATE_TEST_SUITE_P(Records, MaterialRecordVersion, testing::Values(0, 1, 2));

TEST(MaterialRecord, BothWritersGiveTheCurrentLayout) {
  CDMMaterialUserData record;
  record.m_material = std::make_unique<CRenderMaterial>(SampleMaterial());
  record.m_material->SetRecord(SampleMaterialRecord());
  TK_BinaryArchive out;
  ASSERT_TRUE(record.Write(out));
  EXPECT_EQ(out.Buffer(), SampleMaterialRecordBytes(2));
  EXPECT_EQ(renderer_records::WriteMaterialRecord(SampleMaterial(), SampleMaterialRecord()), SampleMaterialRecordBytes(2));
  // A host material without a record renders with what its own maps name.
  TK_Material host;
  host.SetTextureBitmapFileName(L"t.png");
  EXPECT_EQ(CRenderMaterial(host).Record(), MaterialRecord::FromHostMaterial(host));
  EXPECT_TRUE(MaterialRecord::FromHostMaterial(host).texture.enabled);
  EXPECT_FALSE(MaterialRecord::FromHostMaterial(host).bump.enabled);
}

TEST(DocumentFlagsRecord, LayoutAndOlderVersions) {
  CDMRenderUserData record;
  record.m_use_wallpaper = true;
  record.m_favor_memory = false;
  TK_BinaryArchive out;
  ASSERT_TRUE(record.Write(out));
  const Bytes current{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0};
  EXPECT_EQ(out.Buffer(), current);
  EXPECT_EQ(renderer_records::WriteDocumentFlags(record.Flags()), current);
  // Version 1.0 has no memory flag: the one in force stays.
  const Bytes v10 = LittleEndianBytes().Int(1).Int(0).Bool(false).Bool(true).bytes;
  DocumentFlagsRecord flags;
  flags.favor_memory = false;
  ASSERT_TRUE(renderer_records::ReadDocumentFlags(v10, flags));
  EXPECT_EQ(flags, (DocumentFlagsRecord{false, true, false}));
  EXPECT_FALSE(renderer_records::ReadDocumentFlags(std::span(current).first(10), flags));
}

}  // namespace
