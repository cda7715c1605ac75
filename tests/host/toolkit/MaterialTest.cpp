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
  explicit NoteUserData(int copy_count = 0) {
    m_userdata_uuid = m_NoteUserData_class_id.Uuid();
    m_userdata_copycount = copy_count;
  }
  std::unique_ptr<TK_Object> DuplicateObject() const override { return std::make_unique<NoteUserData>(*this); }
};
TK_OBJECT_IMPLEMENT(NoteUserData, TK_UserData, "5C1F0A3E-2B7D-4E59-9A61-0D3C8E2F7B14")

namespace {

const TK_UUID& NoteId() { return NoteUserData::m_NoteUserData_class_id.Uuid(); }

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
  TK_Material noted = SampleMaterial();
  ASSERT_TRUE(noted.AttachUserData(std::make_unique<NoteUserData>(1)));
  TK_BinaryArchive plain, with_note;
  ASSERT_TRUE(SampleMaterial().Write(plain) && noted.Write(with_note));
  EXPECT_EQ(plain.Buffer(), with_note.Buffer());
  EXPECT_TRUE(noted == SampleMaterial());

  const TK_Material copy = noted;
  ASSERT_NE(copy.GetUserData(NoteId()), nullptr);
  EXPECT_NE(copy.GetUserData(NoteId()), noted.GetUserData(NoteId()));
  EXPECT_EQ(copy.GetUserData(NoteId())->Owner(), &copy);

  TK_Material stays_behind;
  ASSERT_TRUE(stays_behind.AttachUserData(std::make_unique<NoteUserData>(0)));
  EXPECT_EQ(TK_Material(stays_behind).GetUserData(NoteId()), nullptr);

  TK_Material target;
  target.CopyPropertiesFrom(noted);
  EXPECT_TRUE(target == noted);
  EXPECT_TRUE(target.AllUserData().empty());

  std::unique_ptr<TK_Object> dup = noted.DuplicateObject();
  ASSERT_NE(TK_Material::Cast(dup.get()), nullptr);
  EXPECT_TRUE(*TK_Material::Cast(dup.get()) == noted);
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

TEST(Material, ShineAndTransparencyStayInRangeFromSettersAndFiles) {
  TK_Material m;
  const std::pair<double, double> shines[] = {{300, TK_Material::MaxShine()}, {-3, 0}, {NAN, 0}, {12.5, 12.5}};
  for (auto [in, out] : shines) {
    m.SetShine(in);
    EXPECT_EQ(m.Shine(), out) << in;
  }
  const std::pair<double, double> transparencies[] = {{1.5, 1}, {-0.5, 0}, {NAN, 0}, {0.75, 0.75}};
  for (auto [in, out] : transparencies) {
    m.SetTransparency(in);
    EXPECT_EQ(m.Transparency(), out) << in;
  }
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
  bytes.bytes[0] = 2;  // a later major version
  TK_BinaryArchive in(bytes.bytes);
  TK_Material m;
  EXPECT_FALSE(m.Read(in));
  EXPECT_TRUE(m == TK_Material());
}

}  // namespace
