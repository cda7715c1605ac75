#pragma once
// The one path through which a command hands a prepared document to the
// renderer: the module is loaded for the document (a PlugInSession), and the plug-in
// renders the active view into its render window, with progress on the
// error stream and Ctrl-C stopping it. The command then finishes (writes
// the image, shows the window) while the module is still loaded and the
// window still open.

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "apps/duskmoth/InterruptRequest.h"
#include "apps/duskmoth/MemoryWatch.h"
#include "host/sdk/CommandContext.h"
#include "host/sdk/RowShare.h"

class CKavraDib;
class CKavraDoc;
class CKavraSdkRenderFrame;

struct RenderRequest {
  std::optional<bool> favor_memory;  // the renderer's flag for this render; none: the document's
  bool quiet = false;                // no progress on stderr
  std::optional<int> threads;        // none: the renderer's default
  // Sees every message-line text as well, as the render shows it.
  std::function<void(const TK_wString& text)> on_status;
  bool alpha = false;  // the image keeps each pixel's coverage in its fourth byte
  RowShare rows{};     // the rows this process renders when several share the image
};

// What the plug-in's render left, for the command to finish with.
struct RenderOutcome {
  KvCommandResult result = KvCommandResult::failure;
  CKavraSdkRenderFrame* frame = nullptr;  // the render window; null when none was made
  std::optional<int> code;                // the host's code for the render
  const InterruptRequest& interrupt;      // still catching Ctrl-C while the command finishes
  MemoryWatch& memory;                    // the command enters its own phases while it finishes
  const KvRenderReport& report;           // what a completed render reported of itself

  bool Interrupted() const { return interrupt.Raised(); }
  // The render window's image; null without one.
  CKavraDib* Image() const;
  // Says why the render did not complete, naming `subject`, and answers the
  // exit code: 130 after Ctrl-C, else 1. Memory that ran out is named as
  // the reason, with the phase it ran out in.
  int Fail(const std::string& subject, std::ostream& err) const;
};

// Loads the module and renders the document as above, then answers what
// `finish` answers: the program's exit code. 1 when the module cannot be
// loaded (finish is not called).
int RenderDocument(CKavraDoc& doc, const RenderRequest& request, std::ostream& err,
                   const std::function<int(const RenderOutcome&)>& finish);
