#pragma once
// Finding a file that was named on another machine or before its folder
// moved: by the tail of the path it was written with, then by its name,
// around the folder of the file that names it (a model or a document).

#include <filesystem>
#include <optional>

namespace file_search {

// The longest tail of `written` (its last one to four parts) that names a
// file under `folder` or one of its three nearest parents.
std::optional<std::filesystem::path> ByPathTail(const std::filesystem::path& written, const std::filesystem::path& folder);

// The first file of that name, in any letter case, in `folder` or the
// folders below it (at most three levels, a few thousand entries).
std::optional<std::filesystem::path> ByName(const std::filesystem::path& name, const std::filesystem::path& folder);

}  // namespace file_search
