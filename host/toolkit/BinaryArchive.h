#pragma once
// TK_BinaryArchive: the toolkit's binary reader and writer over a file or a
// memory buffer. The archive owns its file handle or its buffer; callers own
// everything they read into.
//
// Stable file format (every primitive little-endian, no padding, no tags):
//   byte      1 byte
//   int       4 bytes, two's complement              (WriteInt, WriteUInt32)
//   int64     8 bytes, two's complement              (WriteInt64; sizes)
//   bool      1 byte, 0 or 1; any other byte read back is corrupt data and
//             the read fails
//   double    8 bytes, IEEE-754 binary64
//   colour    4 bytes, the packed TK_Color value (red in the low byte)
//   uuid      16 bytes: Data1 (4 bytes LE), Data2 (2 bytes LE), Data3
//             (2 bytes LE), then the 8 bytes of Data4 in order
//   string    int count of UTF-16 code units (no terminator counted or
//             stored), then the units at 2 bytes each; characters outside
//             the BMP are stored as surrogate pairs
//
// Every read fails (returns false) when fewer bytes remain than it needs;
// counts are checked against what remains before anything is allocated. A
// failed read leaves its output untouched and the position where it was. A
// file I/O error fails the primitive and every later one (the archive is then
// broken). Lone surrogates in a stored string read back as U+FFFD.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "host/toolkit/Color.h"
#include "host/toolkit/String.h"
#include "host/toolkit/Uuid.h"

class TK_BinaryArchive {
public:
  enum class Mode { Read, Write };

  // Writes into a growable memory buffer.
  TK_BinaryArchive();
  // Reads from a copy of the given bytes.
  explicit TK_BinaryArchive(std::span<const std::uint8_t> bytes);
  explicit TK_BinaryArchive(std::vector<std::uint8_t> bytes);
  // Opens a file for reading or (created or truncated) for writing; IsOpen()
  // tells whether that worked.
  TK_BinaryArchive(const std::filesystem::path& path, Mode mode);
  ~TK_BinaryArchive();
  TK_BinaryArchive(TK_BinaryArchive&&) noexcept;
  TK_BinaryArchive& operator=(TK_BinaryArchive&&) noexcept;
  TK_BinaryArchive(const TK_BinaryArchive&) = delete;
  TK_BinaryArchive& operator=(const TK_BinaryArchive&) = delete;

  bool IsOpen() const { return !broken_ && (!is_file_ || file_); }
  Mode GetMode() const { return mode_; }
  bool IsReading() const { return mode_ == Mode::Read; }
  bool IsWriting() const { return mode_ == Mode::Write; }

  // Bytes read or written so far.
  std::uint64_t Position() const { return position_; }
  // Bytes left to read; 0 for a writing archive.
  std::uint64_t BytesRemaining() const;
  // Reading only: moves to an absolute position within the data.
  bool SeekTo(std::uint64_t position);
  // Reading only: skips count bytes (fails when fewer remain).
  bool Skip(std::uint64_t count);
  // Writing to a file: pushes buffered data to the disk (fsync).
  bool Flush();
  // Closes a file archive; false when an earlier write or the final flush
  // failed. Memory archives answer IsOpen().
  bool Close();

  // The bytes written so far by a memory writer (empty for files).
  const std::vector<std::uint8_t>& Buffer() const { return buffer_; }
  std::vector<std::uint8_t> TakeBuffer();

  bool WriteByte(std::uint8_t value);
  bool ReadByte(std::uint8_t& value);
  bool WriteBytes(std::span<const std::uint8_t> bytes);
  // Reads exactly out.size() bytes.
  bool ReadBytes(std::span<std::uint8_t> out);
  // Reads count bytes into out (resized; checked before allocation).
  bool ReadBytes(std::uint64_t count, std::vector<std::uint8_t>& out);

  bool WriteInt(int value);
  bool ReadInt(int& value);
  bool WriteUInt32(std::uint32_t value);
  bool ReadUInt32(std::uint32_t& value);
  bool WriteInt64(std::int64_t value);
  bool ReadInt64(std::int64_t& value);
  bool WriteBool(bool value);
  bool ReadBool(bool& value);
  bool WriteDouble(double value);
  bool ReadDouble(double& value);
  bool WriteColor(const TK_Color& value);
  bool ReadColor(TK_Color& value);
  bool WriteUuid(const TK_UUID& value);
  bool ReadUuid(TK_UUID& value);
  bool WriteString(const TK_wString& value);
  bool ReadString(TK_wString& value);

private:
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };

  bool Put(const void* data, std::size_t size);
  bool Get(void* data, std::size_t size);
  bool PutLE(std::uint64_t value, int size);
  bool GetLE(std::uint64_t& value, int size);

  Mode mode_ = Mode::Write;
  bool is_file_ = false;
  bool broken_ = false;
  std::unique_ptr<std::FILE, FileCloser> file_;
  std::uint64_t file_size_ = 0;  // reading files: total size
  std::vector<std::uint8_t> buffer_;
  std::uint64_t position_ = 0;
};
