#include "host/toolkit/Material.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "host/toolkit/BinaryArchive.h"
#include "support/SampleMaterial.h"

// A user-data record of the tests' own, to see what follows copies.
class NoteUserData : public TK_UserData {
  TK_OBJECT_DECLARE(NoteUserData)
public:
  NoteUserData() { m_userdata_uuid = m_NoteUserData_class_id.Uuid(); }
  std::unique_ptr<TK_Object> DuplicateObject() const override { return std::make_unique<NoteUserData>(*this); }
  int value = 0;
};
TK_OBJECT_IMPLEMENT(NoteUserData, TK_UserData, "5C1F0A3E-2B7D-4E59-9A61-0D3C8E2F7B14")

namespace {

std::unique_ptr<NoteUserData> Note(int value, int copy_count) {
  auto note = std::make_unique<NoteUserData>();
  note->value = value;
  note->m_userdata_copycount = copy_count;
  return note;
}

TEST(Material, ArchiveLayoutIsPinnedByHandLaidBytes) {
  LittleEndianBytes bytes;
  AppendSampleMaterialBytes(bytes);
  TK_BinaryArchive in(bytes.bytes);
  TK_Material read;
  ASSERT_TRUE(read.Read(in));
  EXPECT_EQ(in.BytesRemaining(), 0u);
  EXPECT_TRUE(read == SampleMaterial());

  TK_BinaryArchive out;
  ASSERT_TRUE(SampleMaterial().Write(out));
  EXPECT_EQ(out.Buffer(), bytes.bytes);
}

TEST(Material, UserDataIsNeitherWrittenNorComparedButFollowsCopies) {
  TK_Material with_notes = SampleMaterial();
  ASSERT_TRUE(with_notes.AttachUserData(Note(7, 1)));
  TK_BinaryArchive plain, noted;
  ASSERT_TRUE(SampleMaterial().Write(plain));
  ASSERT_TRUE(with_notes.Write(noted));
  EXPECT_EQ(plain.Buffer(), noted.Buffer());
  EXPECT_TRUE(with_notes == SampleMaterial());

  const TK_Material copy = with_notes;
  auto* copied = NoteUserData::Cast(copy.GetUserData(NoteUserData::m_NoteUserData_class_id.Uuid()));
  ASSERT_NE(copied, nullptr);
  EXPECT_EQ(copied->value, 7);
  EXPECT_EQ(copied->Owner(), &copy);
  EXPECT_NE(copied, with_notes.GetUserData(NoteUserData::m_NoteUserData_class_id.Uuid()));

  TK_Material stays_behind = SampleMaterial();
  ASSERT_TRUE(stays_behind.AttachUserData(Note(8, 0)));
  const TK_Material copy2 = stays_behind;
  EXPECT_EQ(copy2.GetUserData(NoteUserData::m_NoteUserData_class_id.Uuid()), nullptr);

  TK_Material target;
  target.CopyPropertiesFrom(with_notes);
  EXPECT_TRUE(target == with_notes);
  EXPECT_TRUE(target.AllUserData().empty());
}

TEST(Material, EqualityComparesEveryField) {
  const std::vector<std::function<void(TK_Material&)>> changes = {
      [](TK_Material& m) { m.SetName(L"other"); },
      [](TK_Material& m) { m.SetDiffuse(TK_Color(200, 150, 41)); },
      [](TK_Material& m) { m.SetAmbient(TK_Color(10, 20, 31)); },
      [](TK_Material& m) { m.SetSpecular(TK_Color(250, 240, 231)); },
      [](TK_Material& m) { m.SetEmission(TK_Color(1, 2, 4)); },
      [](TK_Material& m) { m.SetShine(64.25); },
      [](TK_Material& m) { m.SetTransparency(0.5); },
      [](TK_Material& m) { m.SetTextureBitmapFileName(L"/maps/brass.png"); },  // case counts
      [](TK_Material& m) { m.SetBumpBitmapFileName(L""); },
      [](TK_Material& m) { m.SetEmapBitmapFileName(L"/maps/sky2.jpg"); },
      [](TK_Material& m) { m.SetMaterialPlugInUuid(TK_UUID{}); },
  };
  for (std::size_t i = 0; i < changes.size(); ++i) {
    TK_Material m = SampleMaterial();
    changes[i](m);
    EXPECT_FALSE(m == SampleMaterial()) << "change " << i;
  }
}

TEST(Material, ShineAndTransparencyStayInRange) {
  TK_Material m;
  m.SetShine(TK_Material::MaxShine() + 1);
  EXPECT_EQ(m.Shine(), TK_Material::MaxShine());
  m.SetShine(-3);
  EXPECT_EQ(m.Shine(), 0.0);
  m.SetShine(NAN);
  EXPECT_EQ(m.Shine(), 0.0);
  m.SetTransparency(1.5);
  EXPECT_EQ(m.Transparency(), 1.0);
  m.SetTransparency(-0.5);
  EXPECT_EQ(m.Transparency(), 0.0);
  m.SetTransparency(NAN);
  EXPECT_EQ(m.Transparency(), 0.0);

  // Out-of-range values in a file are clamped too.
  LittleEndianBytes bytes;
  bytes.Int(1).Int(0).String(u"").Color(0).Color(0).Color(0).Color(0).Double(1e9).Double(-2.0);
  bytes.String(u"").String(u"").String(u"").Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  TK_BinaryArchive in(bytes.bytes);
  ASSERT_TRUE(m.Read(in));
  EXPECT_EQ(m.Shine(), TK_Material::MaxShine());
  EXPECT_EQ(m.Transparency(), 0.0);
}

TEST(Material, FailedReadsLeaveTheMaterialUnchanged) {
  LittleEndianBytes bytes;
  AppendSampleMaterialBytes(bytes);
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    TK_BinaryArchive in(std::span(bytes.bytes.data(), length));
    TK_Material m;
    EXPECT_FALSE(m.Read(in)) << length;
    EXPECT_TRUE(m == TK_Material()) << length;
  }
  LittleEndianBytes future;
  future.Int(2).Int(0);
  future.Append(std::vector<std::uint8_t>(bytes.bytes.begin() + 8, bytes.bytes.end()));
  TK_BinaryArchive in(future.bytes);
  TK_Material m;
  EXPECT_FALSE(m.Read(in));
  EXPECT_TRUE(m == TK_Material());
}

TEST(Material, RegisteredAndDuplicable) {
  const TK_ClassId* id = TK_ClassId::ClassId("TK_Material");
  ASSERT_EQ(id, &TK_Material::m_TK_Material_class_id);
  const TK_Material sample = SampleMaterial();
  std::unique_ptr<TK_Object> dup = sample.DuplicateObject();
  const TK_Material* m = TK_Material::Cast(dup.get());
  ASSERT_NE(m, nullptr);
  EXPECT_TRUE(*m == sample);
  auto created = id->Create();
  EXPECT_NE(TK_Material::Cast(created.get()), nullptr);
}

}  // namespace
