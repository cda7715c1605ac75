#include "apps/duskmoth/RenderPath.h"

#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <system_error>
#include <vector>

#include "apps/duskmoth/CommandLine.h"
#include "apps/duskmoth/InterruptRequest.h"
#include "apps/duskmoth/ProgressDisplay.h"
#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/app/DocumentDataClient.h"
#include "host/app/UnknownUserData.h"
#include "host/import/RendererRecords.h"
#include "host/platform/KavraDib.h"
#include "host/sdk/CommandContext.h"
#include "host/sdk/PlugInModule.h"
#include "host/sdk/SdkRenderSystemPlugIn.h"
#include "host/sdk/SdkRender.h"
#include "host/sdk/SdkRenderFrame.h"
#include "host/sdk/SdkRenderViewWnd.h"
#include "host/toolkit/BinaryArchive.h"

namespace {

constexpr int kInterrupted = 130;

// Hands the host's printed output to the display while it lives.
class PrintToDisplay {
public:
  explicit PrintToDisplay(ProgressDisplay& display)
      : old_(KavraApp().SetOutputSink([&display](const std::wstring& text) { display.Print(text); })) {}
  ~PrintToDisplay() { KavraApp().SetOutputSink(old_); }
  PrintToDisplay(const PrintToDisplay&) = delete;
  PrintToDisplay& operator=(const PrintToDisplay&) = delete;

private:
  CKavraApp::OutputSink old_;
};

// The document is the program's, not the application's: active only while
// the plug-in renders it.
class ActiveDocument {
public:
  explicit ActiveDocument(CKavraDoc& doc) : old_(KavraApp().ActiveDoc()) { KavraApp().SetActiveDoc(&doc); }
  ~ActiveDocument() { KavraApp().SetActiveDoc(old_); }
  ActiveDocument(const ActiveDocument&) = delete;
  ActiveDocument& operator=(const ActiveDocument&) = delete;

private:
  CKavraDoc* old_;
};

// The scene was read before the module was loaded, so the plug-in's block
// of document data (its own settings) was kept aside as bytes: it reaches
// the plug-in now, as when a document is opened with the plug-in loaded.
// False only when a block exists and the plug-in cannot read it.
bool HandDocumentDataToPlugIn(CKavraDoc& doc, CKavraRenderSystemPlugIn& plugin) {
  KvDocumentDataClient& client = plugin.DocumentDataClient();
  const std::vector<std::uint8_t>* bytes = doc.PlugInData(client.DocumentDataPlugInId());
  if (!bytes) return true;
  TK_BinaryArchive archive(*bytes);
  return client.ReadDocumentData(doc, archive);
}

// Likewise, a material's renderer record read while the plug-in was absent
// was kept as bytes. While the module is loaded each becomes the plug-in's
// own record, as a document read with the plug-in loaded makes it; before
// the module's code goes, they go back to bytes.
class AdoptedMaterialRecords {
public:
  explicit AdoptedMaterialRecords(CKavraDoc& doc) : doc_(doc) {
    const TK_ClassId* record_class = TK_ClassId::ClassId(renderer_records::kMaterialClassName);
    if (!record_class) return;
    CKavraMaterialTable& materials = doc_.MaterialTable();
    for (int i = 0; i < materials.Count(); ++i) {
      const auto* kept =
          CKavraUnknownUserData::Cast(materials[i].GetUserData(renderer_records::MaterialRecordUuid()));
      if (!kept) continue;
      TK_Material material = materials[i];
      if (renderer_records::AttachMaterialRecord(material, kept->Bytes(), record_class) &&
          materials.Modify(std::move(material), i))
        adopted_.push_back(i);
      else
        ++refused_;
    }
  }
  ~AdoptedMaterialRecords() {
    CKavraMaterialTable& materials = doc_.MaterialTable();
    for (int i : adopted_) {
      TK_Material material = materials[i];
      std::vector<std::uint8_t> bytes = renderer_records::MaterialRecordBytes(material);
      if (bytes.empty() || !renderer_records::AttachMaterialRecord(material, std::move(bytes), nullptr))
        material.DetachUserData(material.GetUserData(renderer_records::MaterialRecordUuid()));
      materials.Modify(std::move(material), i);
    }
  }
  AdoptedMaterialRecords(const AdoptedMaterialRecords&) = delete;
  AdoptedMaterialRecords& operator=(const AdoptedMaterialRecords&) = delete;

  // Records the plug-in could not read: those materials render with its defaults.
  int Refused() const { return refused_; }

private:
  CKavraDoc& doc_;
  std::vector<int> adopted_;
  int refused_ = 0;
};

}  // namespace

std::filesystem::path RenderPlugInPath() {
  if (const char* path = std::getenv("DUSKMOTH_PLUGIN"); path && *path) return path;
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  return (ec ? std::filesystem::path(".") : program.parent_path()) / "duskmoth.kvp";
}

CKavraDib* RenderOutcome::Image() const {
  CKavraSdkRenderViewWnd* view = frame ? frame->RenderView() : nullptr;
  return view ? view->ResultBitmap() : nullptr;
}

int RenderOutcome::Fail(const std::string& subject, std::ostream& err) const {
  if (Interrupted()) {
    err << "duskmoth: interrupted\n";
    return kInterrupted;
  }
  err << "duskmoth: " << subject << ": "
      << (code ? CKavraSdkRender::RenderReturnCodesToString(*code).ToUtf8() : "the render plug-in did not render")
      << '\n';
  return ParseOutcome::kFailed;
}

int RenderDocument(CKavraDoc& doc, const RenderRequest& request, std::ostream& err,
                   const std::function<int(const RenderOutcome&)>& finish) {
  const ProgressDisplay::Mode mode = request.quiet      ? ProgressDisplay::Mode::quiet
                                     : isatty(STDERR_FILENO) ? ProgressDisplay::Mode::bar
                                                             : ProgressDisplay::Mode::lines;
  ProgressDisplay progress(err, mode);
  const PrintToDisplay printing(progress);

  std::string error;
  // The module outlives the context: the render windows in it run its code.
  const std::unique_ptr<KvPlugInModule> module = KvPlugInModule::Load(RenderPlugInPath(), error);
  if (!module) {
    progress.Finish();
    err << "duskmoth: " << error << '\n';
    return ParseOutcome::kFailed;
  }
  if (!HandDocumentDataToPlugIn(doc, module->PlugIn()) && !request.quiet) {
    progress.Finish();
    err << "duskmoth: warning: the renderer's settings stored with the scene could not be read\n";
  }
  // Declared after the module: goes before it.
  const AdoptedMaterialRecords records(doc);
  if (records.Refused() > 0 && !request.quiet) {
    progress.Finish();
    err << "duskmoth: warning: the renderer's settings of " << records.Refused()
        << " material(s) could not be read; they render with the renderer's defaults\n";
  }
  const ActiveDocument active(doc);
  CKavraCommandContext context(doc);
  if (request.favor_memory) context.SetOption(L"favor-memory", *request.favor_memory ? L"1" : L"0");
  if (request.threads) context.SetOption(L"threads", TK_wString(std::to_wstring(*request.threads)));
  context.SetMessageListener([&progress, &request](const TK_wString& text) {
    progress.Status(text);
    if (request.on_status) request.on_status(text);
  });
  const InterruptRequest interrupt;
  context.SetStopRequest(&interrupt.Flag());

  const KvCommandResult result = module->PlugIn().Render(context, false);
  progress.Finish();
  return finish(RenderOutcome{result, context.LastRenderFrame(), context.RenderCode(), interrupt});
}
