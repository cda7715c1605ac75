#include "host/app/ImageSaving.h"

#include <filesystem>

#include "host/app/App.h"
#include "host/platform/KavraDib.h"

bool KvWriteImageWithDialog(CKavraDib& image, KvFrameWindow* parent) {
  if (!parent || !image.HasPixels()) return false;
  CKavraDirectoryManager& directories = KavraApp().DirectoryManager();
  const std::filesystem::path folder =
      std::filesystem::path(directories.GetDefaultDirectory(CKavraDirectoryManager::bitmap_dialog_directory).ToUtf8());
  const std::filesystem::path last(image.LastSaveName().ToUtf8());
  const std::filesystem::path name = last.empty() ? std::filesystem::path("render.png") : last.filename();
  const std::optional<std::filesystem::path> path = parent->Toolkit().AskSaveImagePath(parent, folder, name);
  if (!path || !image.WriteToFile(TK_wString::FromUtf8(path->string()))) return false;
  directories.SetDefaultDirectory(CKavraDirectoryManager::bitmap_dialog_directory,
                                  TK_wString::FromUtf8(path->parent_path().string()));
  return true;
}
