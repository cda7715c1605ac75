#pragma once
// KvPlugInModule: a loaded render plug-in module (.kvp). Load opens the
// shared object, reads its identity exports, checks its SDK version, finds
// the plug-in object its static construction registered, calls OnLoadPlugIn
// and registers the plug-in's document data with the application. The
// destructor undoes it in reverse (OnUnloadPlugIn, then the module closes).

#include <filesystem>
#include <memory>
#include <string>

#include "host/toolkit/String.h"

class CKavraRenderSystemPlugIn;

// The SDK version a module must have been built against.
inline constexpr int kKavraPlugInSdkVersion = 200211190;

// What the module's identity exports answer; a text export the module
// lacks reads as empty.
struct KvPlugInIdentity {
  TK_wString organization;
  TK_wString address;
  TK_wString country;
  TK_wString phone;
  TK_wString fax;
  TK_wString email;
  TK_wString website;
  int sdk_version = 0;
  int sdk_service_release = 0;
  TK_wString update_url;
};

class KvPlugInModule {
public:
  // Null on failure, with a one-line message naming the file in error.
  static std::unique_ptr<KvPlugInModule> Load(const std::filesystem::path& path, std::string& error);
  // Reads only the identity of a module, whatever plug-in it holds. False,
  // with the message, when it cannot be loaded or lacks the SDK version.
  static bool ReadIdentity(const std::filesystem::path& path, KvPlugInIdentity& identity, std::string& error);

  ~KvPlugInModule();
  KvPlugInModule(const KvPlugInModule&) = delete;
  KvPlugInModule& operator=(const KvPlugInModule&) = delete;

  CKavraRenderSystemPlugIn& PlugIn() const { return plugin_; }
  const KvPlugInIdentity& Identity() const { return identity_; }
  const std::filesystem::path& Path() const { return path_; }

private:
  struct Handle;
  static std::unique_ptr<Handle> Open(const std::filesystem::path& path, std::string& error);
  KvPlugInModule(std::unique_ptr<Handle> handle, CKavraRenderSystemPlugIn& plugin, KvPlugInIdentity identity,
                 std::filesystem::path path);

  std::unique_ptr<Handle> handle_;
  CKavraRenderSystemPlugIn& plugin_;
  KvPlugInIdentity identity_;
  std::filesystem::path path_;
};
