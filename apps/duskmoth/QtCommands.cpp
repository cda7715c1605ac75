#include "apps/duskmoth/QtCommands.h"

#include <dlfcn.h>

#include <filesystem>

#include "host/app/App.h"

int RunQtCommand(const CommandLine& line, std::ostream& out, std::ostream& err) {
  const std::filesystem::path path = BesideProgram("duskmoth_qt.so");
  // Loaded for the rest of the process: Qt's objects outlive the command's
  // stack (its application's exit handlers among them).
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  void* entry = module ? dlsym(module, "DuskMothRunQtCommand") : nullptr;
  if (!entry) {
    const char* why = dlerror();
    err << "duskmoth: " << path.string() << ": cannot load the window commands ("
        << (why ? why : "the module lacks its entry") << ")\n";
    return ParseOutcome::kFailed;
  }
  // dlsym answers an object pointer; the export is a function.
  return reinterpret_cast<decltype(&DuskMothRunQtCommand)>(entry)(line, out, err);
}
