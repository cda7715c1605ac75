// The plug-in's settings dialogs in Qt widgets, offscreen: the material dialog driven with QTest
// (typing through the edits' filters, a spin arrow, a check box and its colour button, the map
// dialog and its file dialog with the preview, OK and Escape), the properties page applied by a
// scripted user, the script's faults, and the program's material, properties and options commands.

#include <gtest/gtest.h>

#include <QApplication>
#include <QColorDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/app/DocumentFile.h"
#include "host/app/View.h"
#include "host/qt/QtImageFileDialog.h"
#include "host/qt/QtSpinArrows.h"
#include "host/qt/QtToolkit.h"
#include "plugin/RenderSystemPlugIn.h"
#include "settings/MaterialUserData.h"
#include "support/TempDir.h"
#include "ui/MapDialog.h"
#include "ui/MaterialDialog.h"
#include "ui/RenderPropertiesPage.h"

namespace {

const TK_UUID kPlugIn = TK_UUID::FromString("6c6a3c8e-2a47-4d5f-9c61-0d8e2d1b7a10").value();

class QtDialogs : public testing::Test {
protected:
  static void SetUpTestSuite() {
    if (!std::getenv("XDG_RUNTIME_DIR")) setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);  // private: 0700
    application = std::make_unique<QApplication>(argc, argv);
  }
  static void TearDownTestSuite() { application.reset(); }
  void SetUp() override {
    auto made = std::make_unique<KvQtToolkit>();
    toolkit = made.get();
    previous = KavraApp().SetWindowToolkit(std::move(made));
  }
  void TearDown() override { KavraApp().SetWindowToolkit(std::move(previous)); }

  KvQtToolkit* toolkit = nullptr;
  std::unique_ptr<KvWindowToolkit> previous;
  static inline TempDir runtime;
  static inline int argc = 1;
  static inline char name[] = "test_qt";
  static inline char* argv[] = {name, nullptr};
  static inline std::unique_ptr<QApplication> application;
};

// The user's turn once the next modal dialog is on the screen (its modal run has begun); what
// the user leaves open is closed, so that a dialog that fails to end fails the test, not hangs it.
template <typename Dialog> void WhenShown(std::function<void(Dialog&)> user) {
  QTimer::singleShot(0, [user] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    if (dialog) user(*dialog);
    if (dialog && dialog->isVisible()) static_cast<QDialog*>(dialog)->reject();
  });
}

template <typename Widget> Widget& Control(QWidget& dialog, int id) {
  auto* widget = dialog.findChild<Widget*>(QString::number(id));
  if (!widget) throw std::runtime_error("no control " + std::to_string(id));
  return *widget;
}

// Luminosity typed, a spin arrow, "Color:" on and its colour picked, a texture chosen through the
// map dialog and Qt's file dialog (its preview shows it; a refused character stays out of the
// tiling), OK: the host material takes it all. Then Escape leaves everything as it was.
TEST_F(QtDialogs, TheMaterialDialogTakesKeysClicksAndTheFileDialogsChoice) {
  TempDir dir;
  ASSERT_TRUE(QImage(40, 20, QImage::Format_RGB32).save(QString::fromStdString((dir / "bricks.png").string())));
  TK_Material host;
  std::vector<std::string> seen;
  WhenShown<QDialog>([&](QDialog& d) {
    QTest::keyClicks(&Control<QLineEdit>(d, 6029), "29");
    QTest::mouseClick(&static_cast<KvQtSpinArrows&>(Control<QWidget>(d, 6024)).Arrow(+1), Qt::LeftButton);
    seen.push_back(Control<QLineEdit>(d, 6019).text().toStdString());
    QPushButton& colour = Control<QPushButton>(d, 1065);
    seen.push_back(colour.isEnabled() ? "colour on" : "colour off");
    QTest::mouseClick(&Control<QWidget>(d, 6031), Qt::LeftButton);
    seen.push_back(colour.isEnabled() ? "colour on" : "colour off");
    WhenShown<QColorDialog>([](QColorDialog& picker) {
      picker.setCurrentColor(QColor(10, 20, 30));
      picker.accept();
    });
    QTest::mouseClick(&colour, Qt::LeftButton);
    WhenShown<QDialog>([&](QDialog& map) {
      QLineEdit& tiling = Control<QLineEdit>(map, 6011);
      static_cast<KvQtSpinArrows&>(Control<QWidget>(map, 6025)).ClickHeld(+1, 5000);  // a hundred steps
      seen.push_back(tiling.text().toStdString());
      tiling.selectAll();
      QTest::keyClicks(&tiling, "2x.5.5");
      seen.push_back(tiling.text().toStdString());
      WhenShown<QFileDialog>([&](QFileDialog& files) {
        files.selectFile("bricks.png");
        const QPixmap preview = static_cast<KvQtImageFileDialog&>(files).Preview();
        seen.push_back(std::to_string(preview.width()) + "x" + std::to_string(preview.height()));
        static_cast<QDialog&>(files).accept();  // as the Open button does
      });
      KavraApp().DirectoryManager().SetDefaultDirectory(CKavraDirectoryManager::map_bitmap_directory,
                                                        TK_wString::FromUtf8(dir.Path().string()));
      QTest::mouseClick(&Control<QPushButton>(map, 6009), Qt::LeftButton);
      QTest::mouseClick(&Control<QPushButton>(map, IDOK), Qt::LeftButton);
    });
    QTest::mouseClick(&Control<QPushButton>(d, 6007), Qt::LeftButton);
    seen.push_back(Control<QPushButton>(d, 6007).text().toStdString());
    QTest::mouseClick(&Control<QPushButton>(d, IDOK), Qt::LeftButton);
  });
  ASSERT_TRUE(CMaterialDialog::EditMaterial(host, kPlugIn));
  EXPECT_EQ(seen, (std::vector<std::string>{"101", "colour off", "colour on", "2.00", "2.55", "40x20", "bricks.png"}));
  const CDMMaterialUserData* record = CDMMaterialUserData::FromMaterial(host);
  ASSERT_TRUE(record && record->m_material);
  const CRenderMaterial& m = *record->m_material;
  EXPECT_EQ(std::tuple(std::lround(m.m_luminosity * 100), std::lround(m.m_specular_level * 1e4), m.m_use_luminosity_color),
            std::tuple(29, 101, true));
  EXPECT_EQ(m.m_luminosity_color, TK_Color(10, 20, 30));
  EXPECT_EQ(std::tuple(m.m_texture_map.file_name.ToUtf8(), m.m_texture_map.tiling_u),
            std::tuple((dir / "bricks.png").string(), 2.55));

  const TK_Material before = host;
  WhenShown<QDialog>([](QDialog& d) {
    QTest::keyClicks(&Control<QLineEdit>(d, 6029), "7");
    QTest::keyClick(&d, Qt::Key_Escape);
  });
  EXPECT_FALSE(CMaterialDialog::EditMaterial(host, kPlugIn));
  EXPECT_TRUE(host == before && std::lround(CDMMaterialUserData::FromMaterial(host)->m_material->m_luminosity * 100) == 29);
}

// A scripted user picks Custom, locks the aspect, types a width (the height follows when the
// edit is left), picks a level, a colour and the wallpaper, and confirms.
TEST_F(QtDialogs, AScriptedUserAppliesThePropertiesPage) {
  CKavraDoc doc;
  doc.SetActiveView(doc.AddView(CKavraView(TK_ScnView(), 1000, 500)));
  KavraApp().SetActiveDoc(&doc);
  TK_ScnRenderSettings s;
  s.m_image_width = 400;
  s.m_image_height = 300;
  doc.Properties().SetRenderSettings(s);
  CRenderSystemPlugIn plugin;
  toolkit->SetDialogScript({"select 12002 1", "click 12003", "type 115 1000", "# comment", "", "click 107",
                            "colour 1015 10 20 30", "click 6039", "click 1"});
  CRenderPropertiesPage page(doc, plugin);
  EXPECT_EQ(page.DoModal(), IDOK);
  KavraApp().SetActiveDoc(nullptr);
  EXPECT_EQ(toolkit->DialogScriptFault(), "");
  const TK_ScnRenderSettings& stored = doc.Properties().RenderSettings();
  EXPECT_EQ(std::tuple(stored.m_custom_imagesize, stored.m_image_width, stored.m_image_height, stored.m_antialias_level),
            std::tuple(1, 1000, 750, 1));
  EXPECT_EQ(stored.m_background_color, TK_Color(10, 20, 30));
  EXPECT_TRUE(plugin.GetRenderUserData().m_use_wallpaper);
  EXPECT_EQ(page.DoModal(), IDCANCEL);  // beyond the script: closed at once
}

// A line that cannot be played cancels its dialog (the OK after it never comes) and names itself.
TEST_F(QtDialogs, AScriptLineThatCannotBePlayedCancelsTheDialog) {
  const std::pair<std::string, std::string> faults[] = {
      {"bogus 1", "script line 2: unknown command \"bogus\""},
      {"click 9999", "script line 2: click: the dialog \"Map Settings... - Bump map\" has no control 9999"},
      {"type 6009 x", "script line 2: type: control 6009 is not an edit"},
      {"spin 6025 +2", "script line 2: spin: the direction is +1 or -1"},
      {"select 6008 0", "script line 2: select: control 6008 is not a drop-down list"},
      {"colour 6038 1 2 300", "script line 2: colour: control 6038 is not a colour button"},
      {"click 6009 now", "script line 2: click: \"now\" is not a whole number"},
      {"click 6009 1", "script line 2: click: expected click ID"},
      {"file /nonexistent/x.png\nclick 6009", "script line 2: file: /nonexistent/x.png: no such file"},
  };
  for (const auto& [line, fault] : faults) {
    std::vector<std::string> lines{"type 6011 3"};
    for (std::istringstream in(line + "\nclick 1"); std::getline(in, lines.emplace_back());) {}
    toolkit->SetDialogScript(lines);
    CMapDialog dialog(MaterialMap(), CMapDialog::bump_map);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL) << line;
    EXPECT_EQ(toolkit->DialogScriptFault().substr(0, fault.size()), fault);
  }
}

// The program itself, run through the shell in a folder holding the showcase as a document.
struct Program {
  Program() { imported = Run("import '" DM_SOURCE_DIR "/examples/scenes/showcase.json' -o doc.kvd") == 0; }
  int Run(const std::string& arguments, const std::string& environment = "") {
    const std::string command = "cd '" + dir.Path().string() + "' && " + environment + " '" DM_BINARY_DIR "/duskmoth' " +
                                arguments + " > out.txt 2> err.txt";
    const int status = std::system(command.c_str());
    out = Read("out.txt");
    err = Read("err.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Read(const std::string& file) const {
    std::stringstream text;
    text << std::ifstream(dir / file, std::ios::binary).rdbuf();
    return text.str();
  }
  void Write(const std::string& file, const std::string& text) const { std::ofstream(dir / file) << text; }

  TempDir dir;
  bool imported = false;
  std::string out, err;
};

TEST_F(QtDialogs, TheProgramLeavesTheDocumentByteForByteUnlessAnEditIsConfirmed) {
  Program p;
  ASSERT_TRUE(p.imported) << p.err;
  const std::string original = p.Read("doc.kvd");
  const auto inode = [&p] {
    struct stat file {};
    return ::stat((p.dir / "doc.kvd").c_str(), &file) == 0 ? file.st_ino : 0;
  };
  const ino_t before = inode();
  const std::string no_display = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM";
  const struct { std::string arguments, input, environment; int code; std::string said; } runs[] = {
      {"material doc.kvd oak --script s.txt", "type 6029 50\nclick 2\n", "", 0, ""},
      {"properties doc.kvd --script s.txt", "click 6039\n", "", 0, ""},  // the script's end closes it
      {"options doc.kvd < s.txt", "\x1b\n", "", 0, ""},
      {"options doc.kvd < s.txt", "Resolution\nType=Viewport\n\x1b\n", "", 0, ""},  // changed, then cancelled
      {"material doc.kvd wood", "", "", 1, "duskmoth: doc.kvd: no material named \"wood\"; the materials are \"floor\", "},
      {"material doc.kvd --script s.txt", "type 6029\nclick 1\nclick 3\n", "", 1,
       "duskmoth: s.txt: script line 3: click: the dialog \"Material Settings...\" has no control 3\n"},
      {"properties doc.kvd --script none.txt", "", "", 1, "duskmoth: none.txt: cannot read the dialog script\n"},
      {"material doc.kvd", "", no_display, 1, "duskmoth: no display: set DISPLAY or run with QT_QPA_PLATFORM=offscreen\n"},
  };
  for (const auto& r : runs) {
    p.Write("s.txt", r.input);
    EXPECT_EQ(p.Run(r.arguments, r.environment), r.code) << r.arguments << "\n" << p.err;
    EXPECT_EQ(p.err.substr(0, r.said.size()), r.said) << r.arguments;
    EXPECT_EQ(p.Read("doc.kvd"), original) << r.arguments;
    EXPECT_EQ(inode(), before) << r.arguments;  // not even written again
  }
}

TEST_F(QtDialogs, TheProgramSavesConfirmedEditsWithThePlugInsData) {
  Program p;
  ASSERT_TRUE(p.imported) << p.err;
  p.Write("s.txt", "type 6029 29\nclick 1\n");
  ASSERT_EQ(p.Run("material doc.kvd oak --script s.txt"), 0) << p.err;
  EXPECT_NE(p.out.find("Saved doc.kvd"), std::string::npos) << p.out;
  p.Write("s.txt", "click 6039\nclick 1\n");
  ASSERT_EQ(p.Run("properties doc.kvd --script s.txt"), 0) << p.err;
  ASSERT_EQ(p.Run("info doc.kvd"), 0) << p.err;
  const std::size_t oak = p.out.find("\"oak\": diffuse");
  EXPECT_NE(p.out.find("renderer settings: two-sided yes, faceted no, luminosity 0.29,", oak), std::string::npos) << p.out;
  EXPECT_NE(p.out.find("DuskMoth Render: use wallpaper yes"), std::string::npos) << p.out;

  // Every setting of the options prompt, from a pipe.
  p.Write("s.txt", "Resolution\nType=Custom\nWidth=640\nHeight=360\n\nAntialiasing=None\nShadows=Normal\nShadowMaps\n"
                   "Size=512\nOffset=0.5\n\nColors\nAmbientLight\n10,20,30\nBackground\n40 50 60\n\nUseOffLights\n"
                   "Wireframe\nAnnotation\n\n");
  ASSERT_EQ(p.Run("options doc.kvd < s.txt"), 0) << p.err;
  EXPECT_NE(p.out.find("Shadow Map settings (  Size=2048  Offset=0.02 ): Size=512\n"), std::string::npos) << p.out;
  CKavraDoc doc;
  ASSERT_TRUE(CKavraDocumentFile().Read(p.dir / "doc.kvd", doc).Ok());
  const TK_ScnRenderSettings& s = doc.Properties().RenderSettings();
  EXPECT_EQ(std::tuple(s.m_custom_imagesize, s.m_image_width, s.m_image_height, s.m_antialias_level, s.m_shadow_level),
            std::tuple(1, 640, 360, 0, 1));
  EXPECT_EQ(std::tuple(s.m_shadowmap_width, s.m_shadowmap_offset, s.m_ambient_color, s.m_background_color),
            std::tuple(512, 0.5, TK_Color(10, 20, 30), TK_Color(40, 50, 60)));
  EXPECT_EQ(std::tuple(s.m_use_hidden_lights, s.m_render_curves_and_isocurves, s.m_render_dimensions_and_text),
            std::tuple(1, 1, 1));
}

}  // namespace
