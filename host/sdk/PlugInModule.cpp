#include "host/sdk/PlugInModule.h"

#include <dlfcn.h>

#include <cstring>

#include "host/app/App.h"
#include "host/sdk/SdkRenderSystemPlugIn.h"

struct KvPlugInModule::Handle {
  void* module = nullptr;
  ~Handle() {
    if (module) dlclose(module);
  }
};

namespace {

using TextExport = const wchar_t* (*)();
using NumberExport = int (*)();

// dlsym answers an object pointer; the exports are functions.
template <typename Function> Function Export(void* module, const char* name) {
  void* symbol = dlsym(module, name);
  Function function = nullptr;
  static_assert(sizeof(function) == sizeof(symbol));
  if (symbol) std::memcpy(&function, &symbol, sizeof(function));
  return function;
}

TK_wString Text(void* module, const char* name) {
  const TextExport text = Export<TextExport>(module, name);
  return TK_wString(text ? text() : nullptr);
}

bool ReadExports(void* module, const std::filesystem::path& path, KvPlugInIdentity& identity, std::string& error) {
  const NumberExport version = Export<NumberExport>(module, "KavraPlugInSdkVersion");
  if (!version) {
    error = path.string() + ": not a render plug-in module (it has no KavraPlugInSdkVersion)";
    return false;
  }
  const NumberExport release = Export<NumberExport>(module, "KavraPlugInSdkServiceRelease");
  identity.organization = Text(module, "KavraPlugInDeveloperOrganization");
  identity.address = Text(module, "KavraPlugInDeveloperAddress");
  identity.country = Text(module, "KavraPlugInDeveloperCountry");
  identity.phone = Text(module, "KavraPlugInDeveloperPhone");
  identity.fax = Text(module, "KavraPlugInDeveloperFax");
  identity.email = Text(module, "KavraPlugInDeveloperEmail");
  identity.website = Text(module, "KavraPlugInDeveloperWebsite");
  identity.sdk_version = version();
  identity.sdk_service_release = release ? release() : 0;
  identity.update_url = Text(module, "KavraPlugInUpdateURL");
  return true;
}

// The registered plug-in object that lives in the module: the one whose
// address lies in the same loaded object as the module's own export.
CKavraRenderSystemPlugIn* FindPlugIn(void* module) {
  Dl_info module_info;
  void* anchor = dlsym(module, "KavraPlugInSdkVersion");
  if (!anchor || dladdr(anchor, &module_info) == 0) return nullptr;
  for (CKavraRenderSystemPlugIn* plugin : CKavraRenderSystemPlugIn::RegisteredPlugIns()) {
    Dl_info info;
    if (dladdr(static_cast<const void*>(plugin), &info) != 0 && info.dli_fbase == module_info.dli_fbase)
      return plugin;
  }
  return nullptr;
}

}  // namespace

std::unique_ptr<KvPlugInModule::Handle> KvPlugInModule::Open(const std::filesystem::path& path, std::string& error) {
  dlerror();
  auto handle = std::make_unique<Handle>();
  handle->module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle->module) {
    const char* why = dlerror();
    error = path.string() + ": cannot load the module (" + (why ? why : "unknown reason") + ")";
    return nullptr;
  }
  return handle;
}

bool KvPlugInModule::ReadIdentity(const std::filesystem::path& path, KvPlugInIdentity& identity, std::string& error) {
  const std::unique_ptr<Handle> handle = Open(path, error);
  return handle && ReadExports(handle->module, path, identity, error);
}

std::unique_ptr<KvPlugInModule> KvPlugInModule::Load(const std::filesystem::path& path, std::string& error) {
  std::unique_ptr<Handle> handle = Open(path, error);
  if (!handle) return nullptr;
  KvPlugInIdentity identity;
  if (!ReadExports(handle->module, path, identity, error)) return nullptr;
  if (identity.sdk_version != kKavraPlugInSdkVersion) {
    error = path.string() + ": built for plug-in SDK version " + std::to_string(identity.sdk_version) +
            ", this host needs " + std::to_string(kKavraPlugInSdkVersion);
    return nullptr;
  }
  CKavraRenderSystemPlugIn* plugin = FindPlugIn(handle->module);
  if (!plugin) {
    error = path.string() + ": no render plug-in in the module";
    return nullptr;
  }
  // Loading the same file twice hands back the same object: one load only.
  if (plugin->IsLoaded()) {
    error = path.string() + ": the plug-in is already loaded";
    return nullptr;
  }
  if (plugin->OnLoadPlugIn() == 0) {
    error = path.string() + ": the plug-in failed to load";
    return nullptr;
  }
  plugin->SetLoaded(true);
  if (!KavraApp().RegisterDocumentDataClient(plugin->DocumentDataClient())) {
    plugin->OnUnloadPlugIn();
    plugin->SetLoaded(false);
    error = path.string() + ": another loaded plug-in has the same identifier";
    return nullptr;
  }
  return std::unique_ptr<KvPlugInModule>(new KvPlugInModule(std::move(handle), *plugin, std::move(identity), path));
}

KvPlugInModule::KvPlugInModule(std::unique_ptr<Handle> handle, CKavraRenderSystemPlugIn& plugin,
                               KvPlugInIdentity identity, std::filesystem::path path)
    : handle_(std::move(handle)), plugin_(plugin), identity_(std::move(identity)), path_(std::move(path)) {}

// The plug-in lives in the module: everything that touches it comes before
// the module closes (handle_ goes last, with the members).
KvPlugInModule::~KvPlugInModule() {
  KavraApp().UnRegisterDocumentDataClient(plugin_.DocumentDataClient());
  plugin_.OnUnloadPlugIn();
  plugin_.SetLoaded(false);
}
