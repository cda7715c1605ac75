#pragma once
// PlugInSession: the render plug-in module loaded for one command's
// document, as if the document had been opened with the plug-in loaded: the
// plug-in reads its block of the document's data, the materials' renderer
// records become the plug-in's own, and the document is the active one.
// When the session goes, every renderer record a material carries (edited
// ones too) goes back to bytes before the module's code goes. The command
// keeps the session on its stack; the document must outlive it, and a
// document saved while it lasts carries the plug-in's current data.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class CKavraDoc;
class CKavraRenderSystemPlugIn;
class KvPlugInModule;

// The render plug-in module: $DUSKMOTH_PLUGIN when set, else duskmoth.kvp
// beside the program.
std::filesystem::path RenderPlugInPath();

class PlugInSession {
public:
  // Null, with a one-line reason in `error`, when the module cannot be loaded.
  static std::unique_ptr<PlugInSession> Open(CKavraDoc& doc, std::string& error);
  ~PlugInSession();
  PlugInSession(const PlugInSession&) = delete;
  PlugInSession& operator=(const PlugInSession&) = delete;

  CKavraRenderSystemPlugIn& PlugIn() const;
  // What of the document the plug-in could not take ("warning: ..." lines
  // without the prefix); its defaults apply there.
  const std::vector<std::string>& Warnings() const { return warnings_; }

private:
  PlugInSession(CKavraDoc& doc, std::unique_ptr<KvPlugInModule> module);

  CKavraDoc& doc_;
  std::unique_ptr<KvPlugInModule> module_;
  CKavraDoc* previous_active_;
  std::vector<std::string> warnings_;
};
