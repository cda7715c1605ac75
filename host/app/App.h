#pragma once
// CKavraApp: the host application, reached through KavraApp(). It owns the
// open documents, the registered event watchers and document-data clients
// (not owned), the application settings, the directory manager, the
// message catalogue and the window toolkit that makes its windows. One
// instance per process, shared by program and plug-in.

#include <filesystem>
#include <functional>
#include <istream>
#include <utility>
#include <memory>
#include <string>
#include <vector>

#include "host/app/AppSettings.h"
#include "host/app/DirectoryManager.h"
#include "host/app/MessageCatalogue.h"
#include "host/platform/NativeWindows.h"

class CKavraDoc;
class CKavraView;
class CKavraEventWatcher;
class KvDocumentDataClient;
struct KvDocumentFileResult;

class CKavraApp {
public:
  // Receives every text that Print produces (already formatted).
  using OutputSink = std::function<void(const std::wstring& text)>;

  CKavraApp();
  ~CKavraApp();
  CKavraApp(const CKavraApp&) = delete;
  CKavraApp& operator=(const CKavraApp&) = delete;

  // printf-style output to the command line. The format follows the host's
  // wide-format rules: %s and %c take wide strings and characters, %S and %C
  // narrow ones (the C library's %ls/%hs forms work as well).
  void Print(const wchar_t* format, ...);
  // Replaces where Print writes (null: UTF-8 on stdout); returns the old sink.
  OutputSink SetOutputSink(OutputSink sink);
  // Where the command line's answers come from (null: standard input), UTF-8
  // lines; answers the old one. The caller keeps the stream alive.
  std::istream* SetCommandInput(std::istream* input) { return std::exchange(input_, input); }
  std::istream& CommandInput() const;
  // The busy cursor of a windowed host; nothing to show here.
  void Wait(int /*on*/) {}

  // Documents the application owns. NewDocument raises the new-document
  // event; OpenDocument raises begin-open and end-open around the read and
  // answers null (result telling why) when the file could not be read;
  // CloseDocument raises close-document and destroys the document. The new
  // or opened document becomes the active one.
  CKavraDoc& NewDocument();
  CKavraDoc* OpenDocument(const std::filesystem::path& path, KvDocumentFileResult& result);
  bool CloseDocument(CKavraDoc& doc);
  int DocumentCount() const { return int(documents_.size()); }
  CKavraDoc* Document(int i) const;

  // The active document: null when none. SetActiveDoc accepts null or any
  // document (also one the application does not own; the caller then keeps
  // it alive while it is active or calls SetActiveDoc(nullptr)).
  CKavraDoc* ActiveDoc() const { return active_doc_; }
  void SetActiveDoc(CKavraDoc* doc);
  // The active document's active view, or null.
  CKavraView* ActiveView() const;

  // Help pages live in <docs>/help/<topic>.md. DoHelp prints where the page
  // is (or that there is none), has the window toolkit show it, and answers
  // whether it was shown.
  bool DoHelp(int topic);
  std::filesystem::path HelpPagePath(int topic) const;
  // The docs folder: set explicitly, or the first of <program dir>/docs,
  // <program dir>/../share/duskmoth/docs and the source tree's docs that exists.
  std::filesystem::path DocsFolder() const;
  void SetDocsFolder(const std::filesystem::path& folder) { docs_folder_ = folder; }

  const CKavraAppSettings& AppSettings() const { return settings_; }
  // Replaces the settings and raises the app-settings-changed event.
  void SetAppSettings(const CKavraAppSettings& settings);

  // The toolkit that makes the application's windows: headless until the
  // program installs another. Answers the one it replaces; windows it made
  // must be gone before that one goes.
  KvWindowToolkit& WindowToolkit();
  std::unique_ptr<KvWindowToolkit> SetWindowToolkit(std::unique_ptr<KvWindowToolkit> toolkit);

  // The default directories; loaded on first use from the user's config.
  CKavraDirectoryManager& DirectoryManager();

  // The message catalogue used by the KvLocalize functions; on first use it
  // is loaded from the file named by $DUSKMOTH_CATALOGUE (none: empty).
  const CKavraMessageCatalogue& MessageCatalogue();
  void SetMessageCatalogue(CKavraMessageCatalogue catalogue);

  // Event watchers (CKavraEventWatcher::Register does this) and the
  // plug-ins' document-data clients; neither is owned.
  void RegisterEventWatcher(CKavraEventWatcher& watcher);
  void UnRegisterEventWatcher(CKavraEventWatcher& watcher);
  bool IsEventWatcherRegistered(const CKavraEventWatcher& watcher) const;
  // Calls f on every registered, enabled watcher. Safe against watchers
  // that register or unregister (themselves or others) during the call.
  void DispatchEvent(const std::function<void(CKavraEventWatcher&)>& f);

  bool RegisterDocumentDataClient(KvDocumentDataClient& client);
  void UnRegisterDocumentDataClient(KvDocumentDataClient& client);
  const std::vector<KvDocumentDataClient*>& DocumentDataClients() const { return data_clients_; }

private:
  OutputSink sink_;
  std::istream* input_ = nullptr;
  std::vector<std::unique_ptr<CKavraDoc>> documents_;
  CKavraDoc* active_doc_ = nullptr;
  std::filesystem::path docs_folder_;
  CKavraAppSettings settings_;
  std::unique_ptr<CKavraDirectoryManager> directories_;
  std::unique_ptr<KvWindowToolkit> toolkit_;
  std::unique_ptr<CKavraMessageCatalogue> catalogue_;
  std::vector<CKavraEventWatcher*> watchers_;
  std::vector<KvDocumentDataClient*> data_clients_;
};

// The one application object (constructed on first use).
CKavraApp& KavraApp();

// The folder of the running program, empty when it cannot be told.
std::filesystem::path ProgramFolder();
// A file beside the program (the modules it loads), or in the current
// folder when the program's folder cannot be told.
std::filesystem::path BesideProgram(const std::filesystem::path& file);

// A message box of the application's toolkit over the given window (null:
// none); answers the button pressed.
int KavraMessageBox(KvFrameWindow* parent, const TK_wString& text, const TK_wString& caption, UINT style);
