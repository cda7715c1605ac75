#pragma once
// DocumentFlagsRecord: the renderer's own render settings as the plug-in
// saves them as its document data (version 1.1), and the one writer and
// reader of that layout for the plug-in and the host's scene import. A value.

#include "host/toolkit/Uuid.h"

class TK_BinaryArchive;

struct DocumentFlagsRecord {
  bool use_wallpaper = false;
  bool stretch_wallpaper = false;
  // Pixel cells are filled 4 rows at a time instead of 32.
  bool favor_memory = true;

  // The plug-in's identifier, under which a document keeps these flags.
  static TK_UUID PlugInUuid();

  // Layout: int major 1, int minor 1, bool use wallpaper, bool stretch
  // wallpaper to fit, bool favor memory over speed.
  bool Write(TK_BinaryArchive& archive) const;
  // Takes the third flag only from version 1.1 on; stops at the first failed
  // primitive, so a failed read may leave the flags partly read.
  bool Read(TK_BinaryArchive& archive, int& major, int& minor);
  bool operator==(const DocumentFlagsRecord&) const = default;
};
