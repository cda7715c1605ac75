#include "apps/duskmoth/RenderPath.h"

#include <unistd.h>

#include <memory>

#include "apps/duskmoth/CommandLine.h"
#include "apps/duskmoth/InterruptRequest.h"
#include "apps/duskmoth/PlugInSession.h"
#include "apps/duskmoth/ProgressDisplay.h"
#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/platform/KavraDib.h"
#include "host/sdk/CommandContext.h"
#include "host/sdk/SdkRenderSystemPlugIn.h"
#include "host/sdk/SdkRender.h"
#include "host/sdk/SdkRenderFrame.h"
#include "host/sdk/SdkRenderViewWnd.h"

namespace {

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

}  // namespace

CKavraDib* RenderOutcome::Image() const {
  CKavraSdkRenderViewWnd* view = frame ? frame->RenderView() : nullptr;
  return view ? view->ResultBitmap() : nullptr;
}

int RenderOutcome::Fail(const std::string& subject, std::ostream& err) const {
  if (Interrupted()) return ReportInterrupted(err);
  if (memory.RanOut()) return memory.Report(err);
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

  MemoryWatch memory("loading the renderer");
  std::string error;
  // The session outlives the context: the render windows in it run the module's code.
  const std::unique_ptr<PlugInSession> plugin =
      memory.Guard(std::unique_ptr<PlugInSession>(), [&] { return PlugInSession::Open(doc, error); });
  if (!plugin) {
    progress.Finish();
    if (memory.RanOut()) return memory.Report(err);
    err << "duskmoth: " << error << '\n';
    return ParseOutcome::kFailed;
  }
  if (!request.quiet && !plugin->Warnings().empty()) {
    progress.Finish();
    for (const std::string& warning : plugin->Warnings()) err << "duskmoth: warning: " << warning << '\n';
  }
  CKavraCommandContext context(doc);
  if (request.favor_memory) context.SetOption(L"favor-memory", *request.favor_memory ? L"1" : L"0");
  if (request.threads) context.SetOption(L"threads", TK_wString(std::to_wstring(*request.threads)));
  if (request.alpha) context.SetOption(L"alpha", L"1");
  if (!request.rows.Whole()) context.SetOption(L"rows", TK_wString(request.rows.ToOption()));
  context.SetMessageListener([&progress, &request, &memory](const TK_wString& text) {
    memory.EnterStatus(text.str());
    progress.Status(text);
    if (request.on_status) request.on_status(text);
  });
  const InterruptRequest interrupt;
  context.SetStopRequest(&interrupt.Flag());

  memory.Enter("gathering the scene");
  const KvCommandResult result =
      memory.Guard(KvCommandResult::failure, [&] { return plugin->PlugIn().Render(context, false); });
  progress.Finish();
  return finish(
      RenderOutcome{result, context.LastRenderFrame(), context.RenderCode(), interrupt, memory, context.Report()});
}
