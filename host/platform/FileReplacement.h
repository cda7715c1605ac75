#pragma once
// Replaces a whole file so that readers see the old file or the new one,
// never a part. The bytes go to an unnamed temporary beside the target
// (O_TMPFILE), flushed, then linked in under a hidden temporary name and
// renamed over the target at once; a file system without unnamed
// temporaries gets a named one from the start, removed on failure. A write
// killed at any moment leaves the old file whole; one killed between the
// link and the rename leaves its named temporary, and the next write of the
// same target removes every temporary no live write holds. The new file
// takes the old one's permissions, or those of a new file.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>

// 0 when the target was replaced, else the errno that stopped it (the old
// file is then untouched).
int KvReplaceFile(const std::filesystem::path& target, std::span<const std::uint8_t> bytes);

// The same with the bytes made while they are written: `produce` hands them
// to its writer in pieces (the writer answers false once a write failed) and
// answers whether it made the whole file. A producer that fails leaves the
// target untouched (EIO, or the write's errno).
using KvFileWriter = std::function<bool(std::span<const std::uint8_t> bytes)>;
int KvReplaceFile(const std::filesystem::path& target, const std::function<bool(const KvFileWriter&)>& produce);
