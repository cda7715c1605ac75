#pragma once
// Why an image file that exists cannot serve as a map: a folder, not a
// regular file, unreadable, or not an image this program decodes (damaged
// or truncated too). Importers warn with it as they warn of a missing file,
// since the renderer leaves such maps out without a word.

#include <filesystem>
#include <optional>
#include <string>

// Nothing when the file decodes as an image.
std::optional<std::string> UnreadableImageReason(const std::filesystem::path& file);
