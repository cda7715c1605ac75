#include "apps/duskmoth/OptionsCommand.h"

#include <memory>

#include "apps/duskmoth/DocumentEdit.h"
#include "host/sdk/SdkRenderSystemPlugIn.h"

int RunOptions(const std::filesystem::path& document, std::ostream& out, std::ostream& err) {
  return EditDocument(document, out, err, [&](CKavraDoc& doc, CKavraRenderSystemPlugIn& plugin) {
    const std::unique_ptr<CKavraStackedDialogPage> page = plugin.CreateRenderPropertiesPage(doc, nullptr);
    if (!page) {
      err << "duskmoth: the render plug-in has no properties page\n";
      return EditResult::failed;
    }
    // The form writes each accepted change to the document at once.
    return page->RunCommandLineForm(doc) == KvCommandResult::success ? EditResult::changed : EditResult::unchanged;
  });
}
