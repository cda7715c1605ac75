#include "host/platform/NativeWindows.h"

int KvWindowToolkit::RunModalDialog(const KvDialogTemplate&, KvDialogEvents&) { return IDCANCEL; }

std::optional<std::filesystem::path> KvWindowToolkit::AskOpenImagePath(const std::filesystem::path&,
                                                                       const std::filesystem::path&) {
  return std::nullopt;
}
