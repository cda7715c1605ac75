#pragma once
// CRenderSystemPlugIn: the render plug-in object of the module, reached
// through ThePlugIn(). It identifies the plug-in, sets up its document
// watcher on load, saves and reads the one
// CDMRenderUserData record (which it owns) as its document data, and runs
// renders through CRenderSession.

#include <memory>

#include "host/sdk/SdkRenderSystemPlugIn.h"
#include "plugin/DocumentWatcher.h"
#include "settings/RenderUserData.h"

class CRenderSession;

class CRenderSystemPlugIn : public CKavraRenderSystemPlugIn {
public:
  // The render window's icon and menu.
  static constexpr unsigned kRenderWindowResource = 12000;

  CRenderSystemPlugIn();
  ~CRenderSystemPlugIn() override;

  void PlugInID(TK_UUID& id) const override;
  TK_wString PlugInName() const override;
  TK_wString PlugInVersion() const override;
  bool PlugInQueryA() override { return true; }

  // Prints the banner, registers and enables the watcher (telling it about
  // an active document): 1. The pixel-format catalogue is built when the
  // first shadow map wants it.
  int OnLoadPlugIn() override;
  void OnUnloadPlugIn() override;
  int PlugInQueryB() override { return 2; }

  bool HasDocumentData(const CKavraDoc& doc) const override;
  bool WriteDocumentData(const CKavraDoc& doc, TK_BinaryArchive& archive,
                         const CKavraFileWriteOptions& options) override;
  bool ReadDocumentData(CKavraDoc& doc, TK_BinaryArchive& archive, const CKavraFileReadOptions& options) override;

  // The context's option "favor-memory" ("1" or "0") overrides the record's
  // flag for this render only. A completed render fills the context's report.
  KvCommandResult Render(CKavraCommandContext& context, bool flag) override;
  KvCommandResult RenderWindow(CKavraCommandContext& context, bool flag, const CKavraView* view,
                               const RECT& rect) override;

  // The material settings dialog on the material: true when it was changed.
  bool OnEditMaterial(HWND parent, TK_Material& material) override;
  bool EnableEditMaterialButton() const override { return true; }
  bool PlugInQueryC(TK_wString) override { return false; }
  bool PlugInQueryD() override { return false; }

  // The render properties page "DuskMoth" of the document.
  std::unique_ptr<CKavraStackedDialogPage> CreateRenderPropertiesPage(CKavraDoc& doc, HWND parent) override;
  bool DisplayHelp(HWND parent, int topic) override;

  // The plug-in's render settings, created with defaults on first use.
  CDMRenderUserData& GetRenderUserData() const;
  void MarkSceneChanged(bool changed) { m_watcher.MarkSceneChanged(changed); }
  void MarkLightsChanged(bool changed) { m_watcher.MarkLightsChanged(changed); }
  const CDocumentWatcher& Watcher() const { return m_watcher; }

  // What a render command answers for the host's render codes.
  static KvCommandResult RenderResult(int code);
  static KvCommandResult RenderWindowResult(int code);
  // The record a render uses: the plug-in's, with the context's
  // "favor-memory" option applied.
  CDMRenderUserData RenderSettingsFor(const CKavraCommandContext& context) const;

private:
  // Wires the session to the watcher and to the render window it makes,
  // and takes the context's "threads" and "alpha" ("1": keep coverage) options.
  void PrepareSession(CRenderSession& session, const CKavraCommandContext& context, bool flag);
  // Says once per load why a render that wants shadows gets none: no
  // offscreen OpenGL could be had.
  void ExplainMissingShadows(const CKavraDoc& doc);
  // The completed render's report into the context, with the seconds that
  // asking for OpenGL before the render took counted to the shadow maps.
  static void ReportRender(const CRenderSession& session, CKavraCommandContext& context, double opengl_start);
  static void PrintReturnCode(int code);

  CDocumentWatcher m_watcher;
  bool m_explained_missing_shadows = false;
  mutable std::unique_ptr<CDMRenderUserData> m_render_user_data;
  const TK_wString m_version;
};

// The module's plug-in object.
CRenderSystemPlugIn& ThePlugIn();
