#include "settings/RenderUserData.h"

#include <gtest/gtest.h>

#include "host/toolkit/BinaryArchive.h"
#include "support/LittleEndianBytes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

bool ReadFrom(CDMRenderUserData& record, const Bytes& bytes, std::uint64_t* remaining = nullptr) {
  TK_BinaryArchive in(bytes);
  const bool ok = record.Read(in);
  if (remaining) *remaining = in.BytesRemaining();
  return ok;
}

TEST(RenderUserData, RegisteredUnderItsNameAndIdentifier) {
  const TK_ClassId* by_name = TK_ClassId::ClassId("CDMRenderUserData");
  ASSERT_EQ(by_name, &CDMRenderUserData::m_CDMRenderUserData_class_id);
  EXPECT_STREQ(by_name->BaseClassName(), "TK_UserData");
  EXPECT_EQ(by_name->BaseClass(), &TK_UserData::m_TK_UserData_class_id);
  EXPECT_EQ(TK_ClassId::ClassId(*TK_UUID::FromString("61a1375d-8f84-43B5-826d-2d6fae6e6535")), by_name);
  auto created = by_name->Create();
  const CDMRenderUserData* record = CDMRenderUserData::Cast(created.get());
  ASSERT_NE(record, nullptr);
  EXPECT_TRUE(record->IsKindOf(&TK_UserData::m_TK_UserData_class_id));
}

TEST(RenderUserData, FreshRecordIdentifiesItselfAndHasDefaults) {
  CDMRenderUserData record;
  EXPECT_EQ(record.m_userdata_uuid, CDMRenderUserData::m_CDMRenderUserData_class_id.Uuid());
  EXPECT_EQ(record.m_userdata_copycount, 1);
  EXPECT_FALSE(record.m_use_wallpaper);
  EXPECT_FALSE(record.m_stretch_wallpaper);
  EXPECT_TRUE(record.m_favor_memory);
  EXPECT_TRUE(record.Archive());
  TK_wString text;
  EXPECT_TRUE(record.GetDescription(text));
  EXPECT_EQ(text, TK_wString(L"DuskMoth render settings"));
}

TEST(RenderUserData, DocumentDataIsTwoVersionIntsAndThreeBools) {
  CDMRenderUserData record;
  record.m_use_wallpaper = true;
  record.m_stretch_wallpaper = false;
  record.m_favor_memory = false;
  TK_BinaryArchive out;
  ASSERT_TRUE(record.Write(out));
  EXPECT_EQ(out.Buffer(), (Bytes{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0}));

  CDMRenderUserData back;
  ASSERT_TRUE(ReadFrom(back, out.Buffer()));
  EXPECT_EQ(back.m_archive_major, 1);
  EXPECT_EQ(back.m_archive_minor, 1);
  EXPECT_TRUE(back.m_use_wallpaper);
  EXPECT_FALSE(back.m_stretch_wallpaper);
  EXPECT_FALSE(back.m_favor_memory);
}

TEST(RenderUserData, VersionOneZeroKeepsTheCurrentMemoryPreference) {
  const Bytes v10 = LittleEndianBytes().Int(1).Int(0).Bool(false).Bool(true).bytes;
  CDMRenderUserData fresh;
  std::uint64_t remaining = 99;
  ASSERT_TRUE(ReadFrom(fresh, v10, &remaining));
  EXPECT_EQ(remaining, 0u);
  EXPECT_FALSE(fresh.m_use_wallpaper);
  EXPECT_TRUE(fresh.m_stretch_wallpaper);
  EXPECT_TRUE(fresh.m_favor_memory);
  EXPECT_EQ(fresh.m_archive_minor, 0);

  CDMRenderUserData changed;
  changed.m_favor_memory = false;
  ASSERT_TRUE(ReadFrom(changed, v10));
  EXPECT_FALSE(changed.m_favor_memory);
}

TEST(RenderUserData, MajorVersionZeroReadsTwoBoolsOnly) {
  for (int minor : {0, 1, 7}) {
    const Bytes bytes = LittleEndianBytes().Int(0).Int(minor).Bool(true).Bool(true).Bool(false).bytes;
    CDMRenderUserData record;
    std::uint64_t remaining = 0;
    ASSERT_TRUE(ReadFrom(record, bytes, &remaining));
    EXPECT_EQ(remaining, 1u) << "minor " << minor;
    EXPECT_TRUE(record.m_use_wallpaper);
    EXPECT_TRUE(record.m_stretch_wallpaper);
    EXPECT_TRUE(record.m_favor_memory);
    EXPECT_EQ(record.m_archive_major, 0);
    EXPECT_EQ(record.m_archive_minor, minor);
  }
}

TEST(RenderUserData, ReadsStopAtTheFirstFailingPrimitive) {
  const Bytes full = LittleEndianBytes().Int(1).Int(1).Bool(true).Bool(true).Bool(false).bytes;
  // Items end at 4, 8, 9, 10 and 11 bytes; each field changes once its item fits.
  for (std::size_t length = 0; length < full.size(); ++length) {
    CDMRenderUserData record;
    EXPECT_FALSE(ReadFrom(record, Bytes(full.begin(), full.begin() + long(length)))) << length;
    EXPECT_EQ(record.m_archive_major, length >= 4 ? 1 : 0) << length;
    EXPECT_EQ(record.m_archive_minor, length >= 8 ? 1 : 0) << length;
    EXPECT_EQ(record.m_use_wallpaper, length >= 9) << length;
    EXPECT_EQ(record.m_stretch_wallpaper, length >= 10) << length;
    EXPECT_TRUE(record.m_favor_memory) << length;
  }
  // A corrupt bool stops the read there.
  Bytes corrupt = full;
  corrupt[9] = 2;
  CDMRenderUserData record;
  std::uint64_t remaining = 0;
  EXPECT_FALSE(ReadFrom(record, corrupt, &remaining));
  EXPECT_EQ(remaining, 2u);
  EXPECT_TRUE(record.m_use_wallpaper);
  EXPECT_FALSE(record.m_stretch_wallpaper);
}

TEST(RenderUserData, WriteFailsWhenTheArchiveRefuses) {
  TK_BinaryArchive reader(Bytes{});
  EXPECT_FALSE(CDMRenderUserData().Write(reader));
}

TEST(RenderUserData, DuplicatesTakeTheFlagsAndVersion) {
  CDMRenderUserData record;
  ASSERT_TRUE(ReadFrom(record, LittleEndianBytes().Int(1).Int(0).Bool(true).Bool(true).bytes));
  record.m_favor_memory = false;
  std::unique_ptr<TK_Object> dup = record.DuplicateObject();
  const CDMRenderUserData* copy = CDMRenderUserData::Cast(dup.get());
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, &record);
  EXPECT_TRUE(copy->m_use_wallpaper);
  EXPECT_TRUE(copy->m_stretch_wallpaper);
  EXPECT_FALSE(copy->m_favor_memory);
  EXPECT_EQ(copy->m_archive_major, 1);
  EXPECT_EQ(copy->m_archive_minor, 0);
  EXPECT_EQ(copy->m_userdata_uuid, record.m_userdata_uuid);
  EXPECT_EQ(copy->m_userdata_copycount, 1);
  EXPECT_EQ(copy->Owner(), nullptr);
}

}  // namespace
