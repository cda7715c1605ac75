// The material settings dialog: every control's conversion both ways, and the edit of a host
// material driven as a user would (typing, clicking, a map dialog inside), on OK and on Cancel.

#include <gtest/gtest.h>

#include "host/app/App.h"
#include "host/platform/HeadlessToolkit.h"
#include "support/ToolkitScope.h"
#include "settings/MaterialUserData.h"
#include "ui/MaterialDialog.h"

namespace {

const TK_UUID kPlugIn = TK_UUID::FromString("6c6a3c8e-2a47-4d5f-9c61-0d8e2d1b7a10").value();

// Every integer each control can show survives Store and Load, and is stored as its scale says.
TEST(MaterialDialog, EveryValueOfEveryControlIsStoredScaledAndShownAgainAsEntered) {
  using D = CMaterialDialog;
  const struct {
    const char* name;
    int lowest, highest;
    std::function<int&(D&)> control;
    std::function<double(const CRenderMaterial&)> stored;
    double scale;
  } controls[] = {
      {"specular level", 0, 999, [](D& d) -> int& { return d.m_specular_level; }, [](auto& m) { return m.m_specular_level; }, 1e-4},
      {"glossiness", 0, 100, [](D& d) -> int& { return d.m_glossiness; }, [](auto& m) { return m.Shine() / TK_Material::MaxShine(); }, 0.01},
      {"transparency", 0, 100, [](D& d) -> int& { return d.m_transparency; }, [](auto& m) { return m.Transparency(); }, 0.01},
      {"luminosity", 0, 100, [](D& d) -> int& { return d.m_luminosity; }, [](auto& m) { return m.m_luminosity; }, 0.01},
      {"reflectivity", -500, 500, [](D& d) -> int& { return d.m_reflectivity; }, [](auto& m) { return m.m_reflectivity; }, 0.01},
      {"texture amount", 0, 100, [](D& d) -> int& { return d.m_map_amount[0]; }, [](auto& m) { return m.m_texture_map.amount; }, 0.01},
      {"specular amount", 0, 100, [](D& d) -> int& { return d.m_map_amount[1]; }, [](auto& m) { return m.m_specular_map.amount; }, 0.01},
      {"environment amount", 0, 100, [](D& d) -> int& { return d.m_map_amount[2]; }, [](auto& m) { return m.m_environment_map.amount; }, 0.01},
      {"bump amount", -999, 999, [](D& d) -> int& { return d.m_map_amount[3]; }, [](auto& m) { return m.m_bump_map.amount; }, 0.001},
      {"transparency amount", 0, 100, [](D& d) -> int& { return d.m_map_amount[4]; }, [](auto& m) { return m.m_transparency_map.amount; }, 0.01},
  };
  for (const auto& c : controls)
    for (int v = c.lowest; v <= c.highest; ++v) {
      D entered;
      entered.Load(CRenderMaterial());
      c.control(entered) = v;
      CRenderMaterial material;
      entered.Store(material);
      D reopened;
      reopened.Load(material);
      ASSERT_EQ(c.control(reopened), v) << c.name;
      ASSERT_NEAR(c.stored(material), v * c.scale, 1e-12) << c.name << " " << v;
    }
}

TEST(MaterialDialog, MapButtonsShowTheFileNameOnly) {
  const struct { const wchar_t* file; const wchar_t* caption; } cases[] = {
      {L"", L"(none)"}, {L"wood.png", L"wood.png"}, {L"C:\\maps\\wood.png", L"wood.png"}, {L"/srv/maps/bump.tga", L"bump.tga"},
  };
  for (const auto& c : cases) EXPECT_EQ(CMaterialDialog::MapButtonCaption(TK_wString(c.file)).str(), c.caption);
}

// A material without a record: the maps its host file names name are on, the bump amount
// shows 25; the user enters a luminosity of 29, picks a texture in the map dialog and a
// luminosity colour, and confirms.
TEST(MaterialDialog, EditingAHostMaterialAttachesTheEditedRecordOnOk) {
  ToolkitScope scope;
  TK_Material host;
  host.SetTextureBitmapFileName(L"old.png");
  host.SetShine(TK_Material::MaxShine() / 2);
  std::map<std::string, std::wstring> seen;
  scope.headless->ScriptDialog([&](KvHeadlessDialog& d) {
    seen["texture on"] = d.Checked(6004) ? L"yes" : L"no";
    seen["bump on"] = d.Checked(6012) ? L"yes" : L"no";
    seen["bump amount"] = d.Text(6013).str();
    seen["texture button"] = d.Text(6007).str();
    seen["colour enabled"] = d.IsEnabled(1065) ? L"yes" : L"no";
    d.Type(6029, L"29");
    d.Click(6031);  // "Color:" on: its colour button follows
    seen["colour enabled after"] = d.IsEnabled(1065) ? L"yes" : L"no";
    d.PickColour(1065, MakeColorRef(10, 20, 30));
    d.Spin(6024, +1);  // specular level 100 -> 101
    d.Click(6007);     // the texture's map settings
    seen["texture button after"] = d.Text(6007).str();
    d.Click(IDOK);
  });
  scope.headless->ScriptDialog([](KvHeadlessDialog& d) {
    d.Type(6008, L"/maps/new.png");
    d.Type(6011, L"2");
    d.Click(IDOK);
  });
  ASSERT_TRUE(CMaterialDialog::EditMaterial(host, kPlugIn));
  EXPECT_EQ(seen, (std::map<std::string, std::wstring>{{"texture on", L"yes"}, {"bump on", L"no"}, {"bump amount", L"25"},
                                                      {"texture button", L"old.png"}, {"colour enabled", L"no"},
                                                      {"colour enabled after", L"yes"},
                                                      {"texture button after", L"new.png"}}));
  const CDMMaterialUserData* record = CDMMaterialUserData::FromMaterial(host);
  ASSERT_TRUE(record && record->m_material);
  const CRenderMaterial& m = *record->m_material;
  EXPECT_DOUBLE_EQ(m.m_luminosity, 0.29);
  EXPECT_DOUBLE_EQ(m.m_specular_level, 0.0101);
  EXPECT_TRUE(m.m_use_luminosity_color && m.m_luminosity_color == TK_Color(10, 20, 30));
  EXPECT_EQ(std::tuple(m.m_texture_map.file_name.str(), m.m_texture_map.tiling_u, m.m_texture_map.tiling_v),
            std::tuple(std::wstring(L"/maps/new.png"), 2.0, 1.0));
  EXPECT_EQ(host.TextureBitmapFileName().str(), L"/maps/new.png");  // the host material follows on OK
  EXPECT_EQ(host.MaterialPlugInUuid(), kPlugIn);
  EXPECT_DOUBLE_EQ(host.Shine(), TK_Material::MaxShine() / 2);  // glossiness 50, untouched
}

// Cancel keeps everything, the previous record included, even after a map was chosen.
TEST(MaterialDialog, CancelLeavesTheMaterialAndItsRecordAsTheyWere) {
  ToolkitScope scope;
  TK_Material host;
  auto previous = std::make_unique<CDMMaterialUserData>();
  previous->m_material = std::make_unique<CRenderMaterial>(host);
  previous->m_material->m_luminosity = 0.5;
  ASSERT_TRUE(CDMMaterialUserData::AttachTo(host, std::move(previous)));
  const TK_Material before = host;
  scope.headless->ScriptDialog([](KvHeadlessDialog& d) {
    d.Type(6029, L"80");
    d.Click(6007);
    d.Click(IDCANCEL);
  });
  scope.headless->ScriptDialog([](KvHeadlessDialog& d) {
    d.Type(6008, L"chosen.png");
    d.Click(IDOK);
  });
  EXPECT_FALSE(CMaterialDialog::EditMaterial(host, kPlugIn));
  const CDMMaterialUserData* record = CDMMaterialUserData::FromMaterial(host);
  ASSERT_TRUE(record && record->m_material);
  EXPECT_EQ(record->m_material->m_luminosity, 0.5);
  EXPECT_TRUE(host == before && host.TextureBitmapFileName().IsEmpty());
  // A value that is no number keeps the dialog open and says so: the script's end cancels.
  scope.headless->ScriptDialog([](KvHeadlessDialog& d) {
    d.Type(6019, L"--");
    d.Click(IDOK);
    EXPECT_FALSE(d.Ended());
  });
  EXPECT_FALSE(CMaterialDialog::EditMaterial(host, kPlugIn));
  ASSERT_EQ(scope.headless->Messages().size(), 1u);
  EXPECT_EQ(scope.headless->Messages()[0].text.str(), L"Please enter a number.");
}

}  // namespace
