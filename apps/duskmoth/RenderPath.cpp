#include "apps/duskmoth/RenderPath.h"

#include "apps/duskmoth/CommandLine.h"

// The renderer module is not wired into the program yet: say so plainly
// rather than write no image and claim success.
int RenderDocument(CKavraDoc& /*doc*/, const RenderRequest& request, std::ostream& err) {
  err << "duskmoth: " << request.output.string() << ": rendering is not available yet in this build\n";
  return ParseOutcome::kFailed;
}
