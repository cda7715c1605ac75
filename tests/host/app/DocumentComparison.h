#pragma once
// Field-by-field comparison of two documents for round-trip tests: gtest
// failures name the part that differs. Saved material user data is compared
// as the bytes its record writes; run-time records are not saved, so ignored.

#include <gtest/gtest.h>

#include "host/app/Doc.h"
#include "host/toolkit/BinaryArchive.h"

inline std::vector<std::uint8_t> UserDataBytes(const TK_UserData& ud) {
  TK_BinaryArchive a;
  EXPECT_TRUE(ud.Write(a));
  return a.TakeBuffer();
}

inline std::size_t SavedUserDataCount(const TK_Material& m) {
  std::size_t n = 0;
  for (const auto& ud : m.AllUserData()) n += ud->Archive();
  return n;
}

// Same count, same records and the same deleted places.
template <typename Table>
void ExpectSameTable(const Table& a, const Table& b, const char* what) {
  ASSERT_EQ(a.Count(), b.Count()) << what;
  for (int i = 0; i < a.Count(); ++i) {
    EXPECT_TRUE(a[i] == b[i]) << what << " " << i;
    EXPECT_EQ(a.IsDeleted(i), b.IsDeleted(i)) << what << " " << i;
  }
}

inline void ExpectSameDocument(const CKavraDoc& a, const CKavraDoc& b) {
  EXPECT_EQ(a.Properties().RenderSettings(), b.Properties().RenderSettings());
  const auto sa = a.Properties().CustomRenderSizes(), sb = b.Properties().CustomRenderSizes();
  EXPECT_TRUE(std::equal(sa.begin(), sa.end(), sb.begin(), sb.end())) << "custom render sizes";
  ExpectSameTable(a.LayerTable(), b.LayerTable(), "layer");
  ExpectSameTable(a.MaterialTable(), b.MaterialTable(), "material");
  ExpectSameTable(a.LightTable(), b.LightTable(), "light");
  for (int i = 0; i < a.MaterialTable().Count(); ++i) {
    const TK_Material& ma = a.MaterialTable()[i];
    const TK_Material& mb = b.MaterialTable()[i];
    EXPECT_EQ(SavedUserDataCount(ma), SavedUserDataCount(mb)) << "material " << i;
    for (const auto& ua : ma.AllUserData()) {
      if (!ua->Archive()) continue;
      const TK_UserData* ub = mb.GetUserData(ua->m_userdata_uuid);
      ASSERT_NE(ub, nullptr) << "material " << i << " lost its user data";
      EXPECT_EQ(UserDataBytes(*ua), UserDataBytes(*ub)) << "material " << i;
    }
  }
  ASSERT_EQ(a.ObjectCount(), b.ObjectCount());
  for (int i = 0; i < a.ObjectCount(); ++i) EXPECT_TRUE(*a.ObjectAt(i) == *b.ObjectAt(i)) << "object " << i;
  ASSERT_EQ(a.ViewCount(), b.ViewCount());
  for (int i = 0; i < a.ViewCount(); ++i) EXPECT_TRUE(*a.ViewAt(i) == *b.ViewAt(i)) << "view " << i;
  EXPECT_EQ(a.ActiveViewIndex(), b.ActiveViewIndex());
  // Every block of a comes back (b may also keep blocks its readers took).
  for (const TK_UUID& id : a.PlugInDataIds()) {
    ASSERT_NE(b.PlugInData(id), nullptr);
    EXPECT_EQ(*a.PlugInData(id), *b.PlugInData(id)) << "plug-in data " << id.ToString();
  }
}
