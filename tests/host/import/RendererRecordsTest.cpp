// The import glue between the renderer's material record and a host
// material: the plug-in's own record class while it is loaded, the bytes
// kept as they are otherwise.
#include "host/import/RendererRecords.h"

#include <gtest/gtest.h>

#include "host/app/UnknownUserData.h"
#include "settings/MaterialUserData.h"
#include "support/RecordBytes.h"

namespace {

TEST(RendererRecords, AttachesTheRegisteredRecordOrKeepsTheBytes) {
  TK_Material host = SampleMaterial();
  const std::vector<std::uint8_t> bytes = SampleMaterialRecordBytes(2);

  // With the plug-in's class registered the record is the renderer's own.
  const TK_ClassId* cls = TK_ClassId::ClassId(renderer_records::kMaterialClassName);
  ASSERT_EQ(cls, &CDMMaterialUserData::m_CDMMaterialUserData_class_id);
  ASSERT_TRUE(renderer_records::AttachMaterialRecord(host, bytes, cls));
  const CDMMaterialUserData* record = CDMMaterialUserData::FromMaterial(host);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->m_material->Record(), SampleMaterialRecord());
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
  MaterialRecord other;
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

}  // namespace
