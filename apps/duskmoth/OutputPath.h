#pragma once
// Checks an output file's path before the work that makes it, so that a
// render is not lost for want of a folder: the folder exists and can be
// written, the name is not a folder, and a write-protected file is not
// replaced (as cp and shell redirection refuse, even for root).

#include <filesystem>
#include <ostream>

// True when the file can be written; else says why on err,
// "duskmoth: PATH: Permission denied", with the path as given.
bool CheckOutputPath(const std::filesystem::path& file, std::ostream& err);

// "duskmoth: PATH: <the reason errno gives>", for a write that failed.
void ReportWriteError(const std::filesystem::path& file, int error, std::ostream& err);
