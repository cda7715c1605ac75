#include "host/app/App.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <iostream>
#include <system_error>
#include <utility>

#include "host/app/Doc.h"
#include "host/app/DocumentDataClient.h"
#include "host/app/DocumentFile.h"
#include "host/app/EventWatcher.h"
#include "host/platform/HeadlessToolkit.h"

#ifndef DM_SOURCE_DIR
#define DM_SOURCE_DIR "."
#endif

namespace {

// The host's wide-format rules (%s and %c wide, %S and %C narrow) in the C
// library's terms, where a plain %s in a wide format is narrow.
std::wstring ToLibraryFormat(const wchar_t* format) {
  std::wstring out;
  for (const wchar_t* p = format; *p;) {
    out.push_back(*p);
    if (*p++ != L'%') continue;
    while (*p && std::wcschr(L"-+ #0123456789.*", *p)) out.push_back(*p++);
    std::wstring length;
    while (*p && std::wcschr(L"hlLqjzt", *p)) length.push_back(*p++);
    if (!*p) break;
    const wchar_t conversion = *p++;
    if ((conversion == L's' || conversion == L'c') && length.empty()) {
      out += L'l';
      out += conversion;
    } else if ((conversion == L's' || conversion == L'c') && length == L"h") {
      out += conversion;
    } else if (conversion == L'S' || conversion == L'C') {
      out += wchar_t(conversion == L'S' ? L's' : L'c');
    } else {
      out += length;
      out += conversion;
    }
  }
  return out;
}

}  // namespace

std::filesystem::path ProgramFolder() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : exe.parent_path();
}

std::filesystem::path BesideProgram(const std::filesystem::path& file) {
  const std::filesystem::path folder = ProgramFolder();
  return (folder.empty() ? std::filesystem::path(".") : folder) / file;
}

CKavraApp::CKavraApp() = default;

CKavraApp::~CKavraApp() {
  // Documents look at the active document while they go.
  active_doc_ = nullptr;
  documents_.clear();
}

void CKavraApp::Print(const wchar_t* format, ...) {
  if (!format) return;
  const std::wstring library_format = ToLibraryFormat(format);
  std::wstring text;
  for (std::size_t size = 256; size <= (std::size_t(1) << 24); size *= 4) {
    std::wstring buffer(size, L'\0');
    va_list args;
    va_start(args, format);
    const int n = std::vswprintf(buffer.data(), size, library_format.c_str(), args);
    va_end(args);
    if (n >= 0) {
      buffer.resize(std::size_t(n));
      text = std::move(buffer);
      break;
    }
  }
  if (sink_) {
    sink_(text);
  } else {
    std::fputs(TK_wString(text).ToUtf8().c_str(), stdout);
    std::fflush(stdout);
  }
}

CKavraApp::OutputSink CKavraApp::SetOutputSink(OutputSink sink) { return std::exchange(sink_, std::move(sink)); }

std::istream& CKavraApp::CommandInput() const { return input_ ? *input_ : std::cin; }

CKavraDoc& CKavraApp::NewDocument() {
  documents_.push_back(std::make_unique<CKavraDoc>());
  CKavraDoc& doc = *documents_.back();
  active_doc_ = &doc;
  doc.RaiseEvent([&](CKavraEventWatcher& w) { w.OnNewDocument(doc); });
  return doc;
}

CKavraDoc* CKavraApp::OpenDocument(const std::filesystem::path& path, KvDocumentFileResult& result) {
  auto doc = std::make_unique<CKavraDoc>();
  const TK_wString name = TK_wString::FromUtf8(path.string());
  doc->RaiseEvent([&](CKavraEventWatcher& w) { w.OnBeginOpenDocument(*doc, name, false, false); });
  result = CKavraDocumentFile().Read(path, *doc);
  if (result.Failed()) return nullptr;
  documents_.push_back(std::move(doc));
  CKavraDoc& opened = *documents_.back();
  active_doc_ = &opened;
  opened.RaiseEvent([&](CKavraEventWatcher& w) { w.OnEndOpenDocument(opened, name, false, false); });
  return &opened;
}

bool CKavraApp::CloseDocument(CKavraDoc& doc) {
  auto it = std::find_if(documents_.begin(), documents_.end(), [&](const auto& d) { return d.get() == &doc; });
  if (it == documents_.end()) return false;
  doc.RaiseEvent([&](CKavraEventWatcher& w) { w.OnCloseDocument(doc); });
  std::unique_ptr<CKavraDoc> closing = std::move(*it);
  documents_.erase(it);
  if (active_doc_ == &doc) active_doc_ = documents_.empty() ? nullptr : documents_.back().get();
  return true;
}

CKavraDoc* CKavraApp::Document(int i) const {
  return i >= 0 && i < DocumentCount() ? documents_[std::size_t(i)].get() : nullptr;
}

void CKavraApp::SetActiveDoc(CKavraDoc* doc) { active_doc_ = doc; }

CKavraView* CKavraApp::ActiveView() const { return active_doc_ ? active_doc_->ActiveView() : nullptr; }

std::filesystem::path CKavraApp::DocsFolder() const {
  if (!docs_folder_.empty()) return docs_folder_;
  std::error_code ec;
  const std::filesystem::path program = ProgramFolder();
  if (!program.empty()) {
    for (const auto& candidate : {program / "docs", program / ".." / "share" / "duskmoth" / "docs"})
      if (std::filesystem::is_directory(candidate / "help", ec)) return candidate.lexically_normal();
  }
  return std::filesystem::path(DM_SOURCE_DIR) / "docs";
}

std::filesystem::path CKavraApp::HelpPagePath(int topic) const {
  return DocsFolder() / "help" / (std::to_string(topic) + ".md");
}

bool CKavraApp::DoHelp(int topic) {
  const std::filesystem::path page = HelpPagePath(topic);
  std::error_code ec;
  const bool exists = std::filesystem::is_regular_file(page, ec);
  if (!exists) {
    Print(L"Help topic %d: no help page (looked for %ls)\n", topic, TK_wString::FromUtf8(page.string()).c_str());
    return false;
  }
  Print(L"Help topic %d: %ls\n", topic, TK_wString::FromUtf8(page.string()).c_str());
  return WindowToolkit().ShowHelpPage(page, TK_wString(L"Help topic ") + TK_wString(std::to_wstring(topic)));
}

KvWindowToolkit& CKavraApp::WindowToolkit() {
  if (!toolkit_) toolkit_ = std::make_unique<KvHeadlessToolkit>();
  return *toolkit_;
}

std::unique_ptr<KvWindowToolkit> CKavraApp::SetWindowToolkit(std::unique_ptr<KvWindowToolkit> toolkit) {
  std::swap(toolkit, toolkit_);
  return toolkit;
}

int KavraMessageBox(KvFrameWindow* parent, const TK_wString& text, const TK_wString& caption, UINT style) {
  return KavraApp().WindowToolkit().MessageBox(parent, text, caption, style);
}

void CKavraApp::SetAppSettings(const CKavraAppSettings& settings) {
  settings_ = settings;
  DispatchEvent([this](CKavraEventWatcher& w) { w.OnAppSettingsChanged(settings_); });
}

CKavraDirectoryManager& CKavraApp::DirectoryManager() {
  if (!directories_) directories_ = std::make_unique<CKavraDirectoryManager>();
  return *directories_;
}

const CKavraMessageCatalogue& CKavraApp::MessageCatalogue() {
  if (!catalogue_) catalogue_ = std::make_unique<CKavraMessageCatalogue>(CKavraMessageCatalogue::FromEnvironment());
  return *catalogue_;
}

void CKavraApp::SetMessageCatalogue(CKavraMessageCatalogue catalogue) {
  catalogue_ = std::make_unique<CKavraMessageCatalogue>(std::move(catalogue));
}

void CKavraApp::RegisterEventWatcher(CKavraEventWatcher& watcher) {
  if (!IsEventWatcherRegistered(watcher)) watchers_.push_back(&watcher);
}

void CKavraApp::UnRegisterEventWatcher(CKavraEventWatcher& watcher) { std::erase(watchers_, &watcher); }

bool CKavraApp::IsEventWatcherRegistered(const CKavraEventWatcher& watcher) const {
  return std::find(watchers_.begin(), watchers_.end(), &watcher) != watchers_.end();
}

void CKavraApp::DispatchEvent(const std::function<void(CKavraEventWatcher&)>& f) {
  // A snapshot, checked again before each call: a handler may unregister
  // (or destroy) itself or another watcher, or register a new one, which
  // then waits for the next event.
  const std::vector<CKavraEventWatcher*> snapshot = watchers_;
  for (CKavraEventWatcher* w : snapshot)
    if (std::find(watchers_.begin(), watchers_.end(), w) != watchers_.end() && w->IsEnabled()) f(*w);
}

bool CKavraApp::RegisterDocumentDataClient(KvDocumentDataClient& client) {
  const TK_UUID id = client.DocumentDataPlugInId();
  for (const KvDocumentDataClient* c : data_clients_)
    if (c == &client || c->DocumentDataPlugInId() == id) return c == &client;
  data_clients_.push_back(&client);
  return true;
}

void CKavraApp::UnRegisterDocumentDataClient(KvDocumentDataClient& client) { std::erase(data_clients_, &client); }

CKavraApp& KavraApp() {
  static CKavraApp app;
  return app;
}
