#include "host/app/import/SceneImport.h"

#include <gtest/gtest.h>

#include "host/app/Doc.h"
#include "host/app/DocumentComparison.h"
#include "host/app/DocumentFile.h"
#include "host/app/import/ImportLog.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace {

const std::filesystem::path kExamples = std::filesystem::path(DM_SOURCE_DIR) / "examples/scenes";

TEST(SceneImport, ChoosesTheReaderByExtension) {
  using scene_import::SceneKind;
  EXPECT_EQ(scene_import::KindOf("a/b.kvd"), SceneKind::document);
  EXPECT_EQ(scene_import::KindOf("B.KVD"), SceneKind::document);
  EXPECT_EQ(scene_import::KindOf("scene.Json"), SceneKind::description);
  EXPECT_EQ(scene_import::KindOf("model.obj"), SceneKind::model);
  EXPECT_EQ(scene_import::KindOf("model.glb"), SceneKind::model);
  EXPECT_EQ(scene_import::KindOf("no_extension"), SceneKind::model);
}

TEST(SceneImport, OpensEveryKindIntoAnEmptiedDocument) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  CKavraDoc json, model;
  CImportLog log;
  ASSERT_TRUE(scene_import::OpenScene(kExamples / "showcase.json", json, log)) << log.FirstError();
  EXPECT_TRUE(log.Warnings().empty()) << log.Warnings().front();
  EXPECT_GT(json.ObjectCount(), 5);
  ASSERT_TRUE(scene_import::OpenScene(kExamples / "crate.gltf", model, log)) << log.FirstError();
  EXPECT_EQ(model.ObjectCount(), 2);
  ASSERT_TRUE(CKavraDocumentFile().Write(json, dir / "showcase.kvd").Ok());

  // Opening replaces what the document held.
  ASSERT_TRUE(scene_import::OpenScene(dir / "showcase.kvd", model, log)) << log.FirstError();
  ExpectSameDocument(json, model);
  EXPECT_TRUE(log.Errors().empty());
  EXPECT_FALSE(model.EventsSuppressed());
  // Map files were stored absolute, so they are found from the document's new home.
  int maps = 0;
  for (int i = 0; i < model.MaterialTable().Count(); ++i) {
    const TK_wString& texture = model.MaterialTable()[i].TextureBitmapFileName();
    if (texture.IsEmpty()) continue;
    ++maps;
    EXPECT_TRUE(std::filesystem::exists(model.ResolveFileName(texture).str())) << texture.ToUtf8();
  }
  EXPECT_GT(maps, 0);
}

TEST(SceneImport, ADamagedDocumentOpensWithWarningsAndAMissingOneFails) {
  TempDir dir;
  ASSERT_TRUE(dir.Ok());
  CKavraDoc doc;
  CImportLog log;
  ASSERT_TRUE(scene_import::OpenScene(kExamples / "showcase.json", doc, log));
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(CKavraDocumentFile().Write(doc, bytes).Ok());
  bytes[bytes.size() / 2] ^= 0x5A;
  WriteFile(dir / "damaged.kvd", bytes);
  CKavraDoc damaged;
  CImportLog damaged_log;
  EXPECT_TRUE(scene_import::OpenScene(dir / "damaged.kvd", damaged, damaged_log));
  EXPECT_TRUE(damaged_log.Errors().empty());
  EXPECT_FALSE(damaged_log.Warnings().empty());

  CImportLog missing_log;
  EXPECT_FALSE(scene_import::OpenScene(dir / "missing.kvd", damaged, missing_log));
  ASSERT_FALSE(missing_log.Errors().empty());
  EXPECT_NE(missing_log.FirstError().find("missing.kvd"), std::string::npos) << missing_log.FirstError();
  EXPECT_EQ(damaged.ObjectCount(), 0) << "the document was emptied before reading";
}

}  // namespace
