#pragma once
// CKavraDirectoryManager: the directories the host's file dialogs start in,
// by kind, remembered per user in a small text file
// ($XDG_CONFIG_HOME/duskmoth/directories, else ~/.config/duskmoth/directories).
// A failed read or write of that file never breaks anything: the values stay
// in memory. Owned by CKavraApp; tests make their own.

#include <filesystem>
#include <map>

#include "host/toolkit/String.h"

class CKavraDirectoryManager {
public:
  // Kinds the renderer uses; other kinds 0..63 are free for the host.
  enum Kind : int {
    document_directory = 0,
    bitmap_dialog_directory = 4,  // where the bitmap save dialog starts
    render_image_directory = 5,   // where render images were last saved
    map_bitmap_directory = 6,     // texture, environment and bump maps
    map_mask_directory = 7,       // transparency maps
  };
  static constexpr int kMaxKind = 63;

  // Uses the config file of the current user, read now.
  CKavraDirectoryManager();
  // Uses the given file (read now; missing is fine).
  explicit CKavraDirectoryManager(std::filesystem::path config_file);

  // The remembered directory of the kind; empty when none (or a bad kind).
  TK_wString GetDefaultDirectory(int kind) const;
  // Remembers dir for the kind (an empty dir forgets it) and rewrites the
  // file. False for a kind outside 0..kMaxKind; a failed write is not an
  // error (see Saved()).
  bool SetDefaultDirectory(int kind, const TK_wString& dir);
  // Whether the last write of the file succeeded.
  bool Saved() const { return saved_; }

  const std::filesystem::path& ConfigFile() const { return config_file_; }
  // The per-user file name derived from the environment.
  static std::filesystem::path DefaultConfigFile();

private:
  void Load();
  bool Save() const;

  std::filesystem::path config_file_;
  std::map<int, TK_wString> directories_;
  bool saved_ = true;
};
