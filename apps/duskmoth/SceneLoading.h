#pragma once
// Opening the scene a command names, with the import's messages on the
// program's error stream: errors as "duskmoth: <file>: <what>" lines,
// warnings as "duskmoth: warning: ..." lines unless asked to be quiet.

#include <atomic>
#include <filesystem>
#include <optional>
#include <ostream>

class CKavraDoc;

// `stop`, when given, ends a long read as soon as it is raised; long reads
// use `threads` threads (none: DefaultThreadCount()).
bool LoadScene(const std::filesystem::path& path, CKavraDoc& doc, std::ostream& err, bool show_warnings,
               const std::atomic<bool>* stop = nullptr, std::optional<int> threads = std::nullopt);
