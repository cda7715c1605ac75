#pragma once
// Field-by-field comparison of two documents for round-trip tests: gtest
// failures name the part that differs. Material user data is compared as
// the bytes its record writes.

#include <gtest/gtest.h>

#include "host/app/Doc.h"
#include "host/toolkit/BinaryArchive.h"

inline std::vector<std::uint8_t> UserDataBytes(const TK_UserData& ud) {
  TK_BinaryArchive a;
  EXPECT_TRUE(ud.Write(a));
  return a.TakeBuffer();
}

inline void ExpectSameDocument(const CKavraDoc& a, const CKavraDoc& b) {
  EXPECT_EQ(a.Properties().RenderSettings(), b.Properties().RenderSettings());
  const auto sa = a.Properties().CustomRenderSizes(), sb = b.Properties().CustomRenderSizes();
  EXPECT_TRUE(std::equal(sa.begin(), sa.end(), sb.begin(), sb.end())) << "custom render sizes";
  ASSERT_EQ(a.LayerTable().Count(), b.LayerTable().Count());
  for (int i = 0; i < a.LayerTable().Count(); ++i) EXPECT_EQ(a.LayerTable()[i], b.LayerTable()[i]) << "layer " << i;
  ASSERT_EQ(a.MaterialTable().Count(), b.MaterialTable().Count());
  for (int i = 0; i < a.MaterialTable().Count(); ++i) {
    const TK_Material& ma = a.MaterialTable()[i];
    const TK_Material& mb = b.MaterialTable()[i];
    EXPECT_TRUE(ma == mb) << "material " << i;
    ASSERT_EQ(ma.AllUserData().size(), mb.AllUserData().size()) << "material " << i;
    for (std::size_t k = 0; k < ma.AllUserData().size(); ++k) {
      const TK_UserData& ua = *ma.AllUserData()[k];
      const TK_UserData* ub = mb.GetUserData(ua.m_userdata_uuid);
      ASSERT_NE(ub, nullptr) << "material " << i << " lost its user data";
      EXPECT_EQ(UserDataBytes(ua), UserDataBytes(*ub)) << "material " << i;
    }
  }
  ASSERT_EQ(a.ObjectCount(), b.ObjectCount());
  for (int i = 0; i < a.ObjectCount(); ++i) EXPECT_TRUE(*a.ObjectAt(i) == *b.ObjectAt(i)) << "object " << i;
  ASSERT_EQ(a.LightTable().Count(), b.LightTable().Count());
  for (int i = 0; i < a.LightTable().Count(); ++i) EXPECT_TRUE(a.LightTable()[i] == b.LightTable()[i]) << "light " << i;
  ASSERT_EQ(a.ViewCount(), b.ViewCount());
  for (int i = 0; i < a.ViewCount(); ++i) EXPECT_TRUE(*a.ViewAt(i) == *b.ViewAt(i)) << "view " << i;
  EXPECT_EQ(a.ActiveViewIndex(), b.ActiveViewIndex());
  EXPECT_EQ(a.PlugInDataIds(), b.PlugInDataIds());
  for (const TK_UUID& id : a.PlugInDataIds()) {
    ASSERT_NE(b.PlugInData(id), nullptr);
    EXPECT_EQ(*a.PlugInData(id), *b.PlugInData(id)) << "plug-in data " << id.ToString();
  }
}
