#include "settings/RenderUserData.h"

#include <gtest/gtest.h>

#include "host/toolkit/BinaryArchive.h"
#include "support/LittleEndianBytes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Reads the bytes into the record; answers the result and the bytes left.
std::pair<bool, std::uint64_t> ReadFrom(CDMRenderUserData& record, const Bytes& bytes) {
  TK_BinaryArchive in(bytes);
  const bool ok = record.Read(in);
  return {ok, in.BytesRemaining()};
}

TEST(RenderUserData, RegistrationIdentityAndDefaults) {
  const TK_ClassId* by_name = TK_ClassId::ClassId("CDMRenderUserData");
  ASSERT_EQ(by_name, &CDMRenderUserData::m_CDMRenderUserData_class_id);
  EXPECT_STREQ(by_name->BaseClassName(), "TK_UserData");
  EXPECT_EQ(TK_ClassId::ClassId(*TK_UUID::FromString("61a1375d-8f84-43B5-826d-2d6fae6e6535")), by_name);
  auto created = by_name->Create();
  const CDMRenderUserData* record = CDMRenderUserData::Cast(created.get());
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->m_userdata_uuid, by_name->Uuid());
  EXPECT_EQ(record->m_userdata_copycount, 1);
  EXPECT_FALSE(record->m_use_wallpaper);
  EXPECT_FALSE(record->m_stretch_wallpaper);
  EXPECT_TRUE(record->m_favor_memory);
  EXPECT_TRUE(record->Archive());
  TK_wString text;
  EXPECT_TRUE(CDMRenderUserData().GetDescription(text));
  EXPECT_EQ(text, TK_wString(L"DuskMoth render settings"));
}

TEST(RenderUserData, DocumentDataIsTwoVersionIntsAndThreeBools) {
  CDMRenderUserData record;
  record.m_use_wallpaper = true;
  record.m_favor_memory = false;
  TK_BinaryArchive out;
  ASSERT_TRUE(record.Write(out));
  EXPECT_EQ(out.Buffer(), (Bytes{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0}));

  CDMRenderUserData back;
  EXPECT_EQ(ReadFrom(back, out.Buffer()), std::make_pair(true, std::uint64_t(0)));
  EXPECT_EQ(back.m_archive_major, 1);
  EXPECT_EQ(back.m_archive_minor, 1);
  EXPECT_TRUE(back.m_use_wallpaper);
  EXPECT_FALSE(back.m_stretch_wallpaper);
  EXPECT_FALSE(back.m_favor_memory);
  TK_BinaryArchive reader(Bytes{});
  EXPECT_FALSE(CDMRenderUserData().Write(reader));  // a reading archive refuses
}

TEST(RenderUserData, OlderVersionsKeepTheCurrentMemoryPreference) {
  const Bytes v10 = LittleEndianBytes().Int(1).Int(0).Bool(false).Bool(true).bytes;
  for (bool current : {true, false}) {
    CDMRenderUserData record;
    record.m_favor_memory = current;
    EXPECT_EQ(ReadFrom(record, v10), std::make_pair(true, std::uint64_t(0)));
    EXPECT_TRUE(record.m_stretch_wallpaper);
    EXPECT_EQ(record.m_favor_memory, current);
  }
  // Major version 0 reads two bools only, whatever its minor version.
  for (int minor : {0, 1, 7}) {
    CDMRenderUserData record;
    const Bytes bytes = LittleEndianBytes().Int(0).Int(minor).Bool(true).Bool(true).Bool(false).bytes;
    EXPECT_EQ(ReadFrom(record, bytes), std::make_pair(true, std::uint64_t(1))) << minor;
    EXPECT_TRUE(record.m_use_wallpaper && record.m_stretch_wallpaper && record.m_favor_memory);
    EXPECT_EQ(record.m_archive_minor, minor);
  }
}

TEST(RenderUserData, ReadsStopAtTheFirstFailingPrimitive) {
  const Bytes full = LittleEndianBytes().Int(1).Int(1).Bool(true).Bool(true).Bool(false).bytes;
  // Items end at 4, 8, 9, 10 and 11 bytes; a field changes once its item fits.
  for (std::size_t length = 0; length < full.size(); ++length) {
    CDMRenderUserData record;
    EXPECT_FALSE(ReadFrom(record, Bytes(full.begin(), full.begin() + long(length))).first) << length;
    EXPECT_EQ(record.m_archive_major, length >= 4 ? 1 : 0) << length;
    EXPECT_EQ(record.m_archive_minor, length >= 8 ? 1 : 0) << length;
    EXPECT_EQ(record.m_use_wallpaper, length >= 9) << length;
    EXPECT_EQ(record.m_stretch_wallpaper, length >= 10) << length;
    EXPECT_TRUE(record.m_favor_memory) << length;
  }
  Bytes corrupt = full;
  corrupt[9] = 2;  // the second flag
  CDMRenderUserData record;
  EXPECT_EQ(ReadFrom(record, corrupt), std::make_pair(false, std::uint64_t(2)));
  EXPECT_TRUE(record.m_use_wallpaper);
  EXPECT_FALSE(record.m_stretch_wallpaper);
}

TEST(RenderUserData, DuplicatesTakeTheFlagsAndVersion) {
  CDMRenderUserData record;
  ASSERT_TRUE(ReadFrom(record, LittleEndianBytes().Int(1).Int(0).Bool(true).Bool(true).bytes).first);
  record.m_favor_memory = false;
  std::unique_ptr<TK_Object> dup = record.DuplicateObject();
  const CDMRenderUserData* copy = CDMRenderUserData::Cast(dup.get());
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, &record);
  EXPECT_TRUE(copy->m_use_wallpaper && copy->m_stretch_wallpaper);
  EXPECT_FALSE(copy->m_favor_memory);
  EXPECT_EQ(copy->m_archive_minor, 0);
  EXPECT_EQ(copy->m_userdata_uuid, record.m_userdata_uuid);
  EXPECT_EQ(copy->m_userdata_copycount, 1);
}

}  // namespace
