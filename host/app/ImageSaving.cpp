#include "host/app/ImageSaving.h"

#include <filesystem>

#include "host/app/App.h"
#include "host/app/Localize.h"
#include "host/platform/KavraDib.h"

bool KvWriteImageWithDialog(CKavraDib& image, KvFrameWindow* parent) {
  if (!parent || !image.HasPixels()) return false;
  CKavraDirectoryManager& directories = KavraApp().DirectoryManager();
  const std::filesystem::path folder =
      std::filesystem::path(directories.GetDefaultDirectory(CKavraDirectoryManager::bitmap_dialog_directory).ToUtf8());
  const std::filesystem::path last(image.LastSaveName().ToUtf8());
  const std::filesystem::path name = last.empty() ? std::filesystem::path("render.png") : last.filename();
  const std::optional<std::filesystem::path> path = parent->Toolkit().AskSaveImagePath(parent, folder, name);
  if (!path) return false;
  if (!image.WriteToFile(TK_wString::FromUtf8(path->string()))) {
    // The user chose where to write: say that it did not work.
    KavraMessageBox(parent, KvLocalizeString(L"The image could not be written to ") + TK_wString::FromUtf8(path->string()),
                    KvLocalizeString(L"Save As"), MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  directories.SetDefaultDirectory(CKavraDirectoryManager::bitmap_dialog_directory,
                                  TK_wString::FromUtf8(path->parent_path().string()));
  return true;
}
