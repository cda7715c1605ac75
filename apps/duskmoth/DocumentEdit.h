#pragma once
// What the commands that change a document share: the .kvd document opened,
// the render plug-in loaded for it, the edit run, and the document saved in
// place (atomically, with the plug-in's current data) only when the edit
// changed it; otherwise the file stays as it was, byte for byte.

#include <filesystem>
#include <functional>
#include <ostream>

class CKavraDoc;
class CKavraRenderSystemPlugIn;

enum class EditResult { changed, unchanged, failed };

// Runs `edit` on the document with the plug-in loaded; `failed` means the
// edit has said why on err. Says on out whether the document was saved.
// Answers the program's exit code: 0 saved or left alone, 1 failed, 130
// after Ctrl-C (the document is then not saved; the edit should end soon
// after the interrupt flag is raised: dialogs cancelled, input ended).
int EditDocument(const std::filesystem::path& file, std::ostream& out, std::ostream& err,
                 const std::function<EditResult(CKavraDoc& doc, CKavraRenderSystemPlugIn& plugin)>& edit);

// Writes the document with the existing document writer; false, with the
// reasons on err, when the file could not be written (the old file stays).
// What some plug-in could not write is a warning.
bool SaveDocument(CKavraDoc& doc, const std::filesystem::path& file, std::ostream& err);
