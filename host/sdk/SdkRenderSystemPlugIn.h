#pragma once
// CKavraRenderSystemPlugIn: base of a render plug-in object. A module holds
// one as a static object; its construction registers it with the host (the
// module loader finds it there after loading the module) and its destruction
// removes it. The host calls the virtual operations below, declared in the
// order of the host's slots; each default is neutral (does nothing, declines).
// The module owns the object; the host only points at it.

#include <memory>
#include <vector>

#include "host/platform/WinTypes.h"
#include "host/sdk/CommandContext.h"
#include "host/sdk/StackedDialogPage.h"
#include "host/toolkit/Object.h"
#include "host/toolkit/String.h"
#include "host/toolkit/Uuid.h"

class CKavraDoc;
class CKavraView;
class KvDocumentDataClient;
class TK_BinaryArchive;
class TK_Material;

// Options of a document save or read, handed to a plug-in's document data.
struct CKavraFileWriteOptions {
  TK_wString path;  // the file being written
};
struct CKavraFileReadOptions {
  TK_wString path;  // the file being read
};

using CKavraDialogPages = std::vector<std::unique_ptr<CKavraStackedDialogPage>>;

class CKavraRenderSystemPlugIn : public TK_Object {
  TK_OBJECT_DECLARE(CKavraRenderSystemPlugIn)
public:
  CKavraRenderSystemPlugIn();
  ~CKavraRenderSystemPlugIn() override;
  CKavraRenderSystemPlugIn(const CKavraRenderSystemPlugIn&) = delete;
  CKavraRenderSystemPlugIn& operator=(const CKavraRenderSystemPlugIn&) = delete;

  // Identity.
  virtual void PlugInID(TK_UUID& id) const;
  virtual TK_wString PlugInName() const;
  virtual TK_wString PlugInVersion() const;
  virtual bool PlugInQueryA();

  // Loading: OnLoadPlugIn answers 1 when the plug-in is ready; the loader
  // refuses the module on 0.
  virtual int OnLoadPlugIn();
  virtual bool CanUnLoad();
  virtual void OnUnloadPlugIn();

  // Settings kept by the host between sessions.
  virtual void LoadProfile(const TK_wString& section);
  virtual void SaveProfile(const TK_wString& section);
  virtual TK_wString GetPlugInRegistryKey() const;
  virtual bool OnRegisterPlugIn();
  virtual int PlugInQueryB();

  // Help and menus.
  virtual bool AddToPlugInHelpMenu() const;
  virtual bool OnDisplayPlugInHelp(HWND parent) const;
  virtual void OnInitPlugInMenuPopups(WPARAM wParam, LPARAM lParam);
  virtual bool OnPlugInMenuCommand(WPARAM wParam);
  virtual void OnPlugInNotification(WPARAM wParam, LPARAM lParam);

  // The plug-in's block of document data in document files.
  virtual bool HasDocumentData(const CKavraDoc& doc) const;
  virtual bool WriteDocumentData(const CKavraDoc& doc, TK_BinaryArchive& archive,
                                 const CKavraFileWriteOptions& options);
  virtual bool ReadDocumentData(CKavraDoc& doc, TK_BinaryArchive& archive, const CKavraFileReadOptions& options);

  // Pages of the host's dialogs.
  virtual void AddPagesToObjectPropertiesDialog(CKavraDialogPages& pages);
  virtual void AddPagesToDocumentPropertiesDialog(CKavraDoc& doc, CKavraDialogPages& pages);
  virtual void RemoveDocumentPropertiesDialogTabs(std::vector<TK_UUID>& tabs);
  virtual void AddPagesToOptionsDialog(HWND parent, CKavraDialogPages& pages);

  // Rendering: into a render window, or the given view's rectangle.
  virtual KvCommandResult Render(CKavraCommandContext& context, bool flag);
  virtual KvCommandResult RenderWindow(CKavraCommandContext& context, bool flag, const CKavraView* view,
                                       const RECT& rect);

  // Materials. OnEditMaterial answers true when it changed the material.
  virtual bool OnAssignMaterial(HWND parent, TK_Material& material);
  virtual bool EnableAssignMaterialButton() const;
  virtual bool OnEditMaterial(HWND parent, TK_Material& material);
  virtual bool EnableEditMaterialButton() const;
  virtual bool OnCreateMaterial(HWND parent, TK_Material& material);
  virtual bool EnableCreateMaterialButton() const;
  virtual bool PlugInQueryC(TK_wString text);
  virtual bool PlugInQueryD();

  virtual void OnSetCurrentRenderPlugIn(bool current);
  // The caller owns the page; null when the plug-in has none.
  virtual std::unique_ptr<CKavraStackedDialogPage> CreateRenderPropertiesPage(CKavraDoc& doc, HWND parent);
  virtual bool DisplayHelp(HWND parent, int topic);

  // The host side.
  // Plug-in objects alive in the process, oldest first.
  static std::vector<CKavraRenderSystemPlugIn*> RegisteredPlugIns();
  // Forwards document saves and reads to the virtual operations above; the
  // module loader registers it with the application while loaded.
  KvDocumentDataClient& DocumentDataClient();
  // Set by the module loader between OnLoadPlugIn and OnUnloadPlugIn.
  bool IsLoaded() const { return loaded_; }
  void SetLoaded(bool loaded) { loaded_ = loaded; }

private:
  class DataClient;
  std::unique_ptr<DataClient> data_client_;
  bool loaded_ = false;
};

// The render session names its plug-in by this name.
using CKavraRenderPlugIn = CKavraRenderSystemPlugIn;
