#pragma once
// The one call through which `duskmoth render` hands a prepared document to
// the renderer: the document with this render's settings in place, where to
// write the image, and the renderer's own memory-versus-speed flag when the
// command line sets it. The renderer is reached through its loaded module.

#include <filesystem>
#include <optional>
#include <ostream>

class CKavraDoc;

struct RenderRequest {
  std::filesystem::path output;
  std::optional<bool> favor_memory;  // the renderer's flag for this render; none: the document's
  bool quiet = false;                // no progress on stderr
};

// The render plug-in module: $DUSKMOTH_PLUGIN when set, else duskmoth.kvp
// beside the program.
std::filesystem::path RenderPlugInPath();

// Loads the module, hands it the document's data for the plug-in (its own
// settings, kept aside while the scene was read), has it render the active view,
// showing progress on err, and saves the image to request.output. Answers
// the program's exit code (0 rendered, 1 failed, 130 interrupted by Ctrl-C).
int RenderDocument(CKavraDoc& doc, const RenderRequest& request, std::ostream& err);
