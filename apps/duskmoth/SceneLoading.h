#pragma once
// Opening the scene a command names, with the import's messages on the
// program's error stream: errors as "duskmoth: <file>: <what>" lines,
// warnings as "duskmoth: warning: ..." lines unless asked to be quiet.

#include <filesystem>
#include <ostream>

class CKavraDoc;

bool LoadScene(const std::filesystem::path& path, CKavraDoc& doc, std::ostream& err, bool show_warnings);
