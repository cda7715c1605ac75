// The plug-in base: registration for the module loader, neutral answers, and
// the bridge from the document file to the plug-in's document data.

#include <gtest/gtest.h>

#include <algorithm>

#include "host/app/Doc.h"
#include "host/app/DocumentDataClient.h"
#include "host/app/DocumentFile.h"
#include "host/sdk/SdkRenderSystemPlugIn.h"
#include "host/toolkit/BinaryArchive.h"

namespace {

bool Registered(const CKavraRenderSystemPlugIn* plugin) {
  const auto plugins = CKavraRenderSystemPlugIn::RegisteredPlugIns();
  return std::find(plugins.begin(), plugins.end(), plugin) != plugins.end();
}

class DataPlugIn : public CKavraRenderSystemPlugIn {
public:
  void PlugInID(TK_UUID& id) const override { id = *TK_UUID::FromString("0D47A000-1111-4222-8333-444455556666"); }
  bool HasDocumentData(const CKavraDoc&) const override { return has_data; }
  bool WriteDocumentData(const CKavraDoc&, TK_BinaryArchive& archive, const CKavraFileWriteOptions& options) override {
    write_path = options.path;
    return archive.WriteInt(value);
  }
  bool ReadDocumentData(CKavraDoc&, TK_BinaryArchive& archive, const CKavraFileReadOptions&) override {
    return archive.ReadInt(read_value);
  }
  bool has_data = true;
  int value = 0;
  int read_value = 0;
  TK_wString write_path;
};

TEST(RenderSystemPlugIn, ConstructionRegistersAndDestructionUnregisters) {
  const std::size_t before = CKavraRenderSystemPlugIn::RegisteredPlugIns().size();
  auto first = std::make_unique<CKavraRenderSystemPlugIn>();
  auto second = std::make_unique<DataPlugIn>();
  EXPECT_TRUE(Registered(first.get()));
  EXPECT_TRUE(Registered(second.get()));
  const auto plugins = CKavraRenderSystemPlugIn::RegisteredPlugIns();
  ASSERT_EQ(plugins.size(), before + 2);
  EXPECT_EQ(plugins[before], first.get());  // oldest first
  first.reset();
  EXPECT_EQ(CKavraRenderSystemPlugIn::RegisteredPlugIns().size(), before + 1);
  EXPECT_TRUE(Registered(second.get()));
  const CKavraRenderSystemPlugIn* gone = second.get();
  second.reset();
  EXPECT_FALSE(Registered(gone));
}

TEST(RenderSystemPlugIn, DocumentDataGoesThroughThePlugInsOperations) {
  DataPlugIn plugin;
  plugin.value = 77;
  KvDocumentDataClient& client = plugin.DocumentDataClient();
  EXPECT_EQ(client.DocumentDataPlugInId(), *TK_UUID::FromString("0D47A000-1111-4222-8333-444455556666"));

  CKavraDoc doc;
  doc.SetPath("/tmp/somewhere/scene.kvd");
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(CKavraDocumentFile({&client}).Write(doc, bytes).Ok());
  EXPECT_EQ(plugin.write_path, TK_wString(L"/tmp/somewhere/scene.kvd"));

  CKavraDoc read;
  ASSERT_TRUE(CKavraDocumentFile({&client}).Read(bytes, "scene.kvd", read).Ok());
  EXPECT_EQ(plugin.read_value, 77);

  // Without data nothing is written, and a document without the block
  // leaves the plug-in as it was.
  plugin.has_data = false;
  plugin.read_value = 5;
  ASSERT_TRUE(CKavraDocumentFile({&client}).Write(doc, bytes).Ok());
  ASSERT_TRUE(CKavraDocumentFile({&client}).Read(bytes, "scene.kvd", read).Ok());
  EXPECT_EQ(plugin.read_value, 5);
}

}  // namespace
