#include "host/toolkit/BinaryArchive.h"

#include <bit>
#include <climits>
#include <cstring>
#include <string>

#include <unistd.h>

static_assert(sizeof(wchar_t) == 4, "wide strings hold UTF-32 code points on this platform");

namespace {
constexpr char16_t kReplacement = 0xFFFD;

bool IsHighSurrogate(std::uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(std::uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

std::u16string ToUtf16(const std::wstring& text) {
  std::u16string out;
  out.reserve(text.size());
  for (wchar_t wc : text) {
    std::uint32_t cp = static_cast<std::uint32_t>(wc);
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
    if (cp < 0x10000) {
      out.push_back(char16_t(cp));
    } else {
      cp -= 0x10000;
      out.push_back(char16_t(0xD800 + (cp >> 10)));
      out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    }
  }
  return out;
}

std::wstring FromUtf16LE(const std::vector<std::uint8_t>& bytes) {
  const std::size_t count = bytes.size() / 2;
  auto unit = [&](std::size_t i) { return std::uint32_t(bytes[2 * i]) | std::uint32_t(bytes[2 * i + 1]) << 8; };
  std::wstring out;
  out.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t u = unit(i);
    if (IsHighSurrogate(u) && i + 1 < count && IsLowSurrogate(unit(i + 1))) {
      out.push_back(wchar_t(0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00)));
      ++i;
    } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
      out.push_back(wchar_t(kReplacement));
    } else {
      out.push_back(wchar_t(u));
    }
  }
  return out;
}
}  // namespace

TK_BinaryArchive::TK_BinaryArchive() : mode_(Mode::Write) {}

TK_BinaryArchive::TK_BinaryArchive(std::span<const std::uint8_t> bytes)
    : mode_(Mode::Read), buffer_(bytes.begin(), bytes.end()) {}

TK_BinaryArchive::TK_BinaryArchive(std::vector<std::uint8_t> bytes) : mode_(Mode::Read), buffer_(std::move(bytes)) {}

TK_BinaryArchive::TK_BinaryArchive(const std::filesystem::path& path, Mode mode) : mode_(mode), is_file_(true) {
  file_.reset(std::fopen(path.c_str(), mode == Mode::Read ? "rb" : "wb"));
  if (!file_ || mode != Mode::Read) return;
  // The size is taken once so that every read can be checked against it.
  if (fseeko(file_.get(), 0, SEEK_END) != 0) { broken_ = true; return; }
  const off_t size = ftello(file_.get());
  if (size < 0 || fseeko(file_.get(), 0, SEEK_SET) != 0) { broken_ = true; return; }
  file_size_ = std::uint64_t(size);
}

TK_BinaryArchive::~TK_BinaryArchive() = default;
TK_BinaryArchive::TK_BinaryArchive(TK_BinaryArchive&&) noexcept = default;
TK_BinaryArchive& TK_BinaryArchive::operator=(TK_BinaryArchive&&) noexcept = default;

std::uint64_t TK_BinaryArchive::BytesRemaining() const {
  if (mode_ != Mode::Read || !IsOpen()) return 0;
  const std::uint64_t size = is_file_ ? file_size_ : buffer_.size();
  return size - position_;
}

bool TK_BinaryArchive::SeekTo(std::uint64_t position) {
  if (mode_ != Mode::Read || !IsOpen()) return false;
  const std::uint64_t size = is_file_ ? file_size_ : buffer_.size();
  if (position > size) return false;
  if (is_file_ && fseeko(file_.get(), off_t(position), SEEK_SET) != 0) {
    broken_ = true;
    return false;
  }
  position_ = position;
  return true;
}

bool TK_BinaryArchive::Skip(std::uint64_t count) {
  return count <= BytesRemaining() && SeekTo(position_ + count);
}

bool TK_BinaryArchive::Flush() {
  if (!IsOpen()) return false;
  if (!is_file_ || mode_ != Mode::Write) return true;
  if (std::fflush(file_.get()) != 0 || fsync(fileno(file_.get())) != 0) {
    broken_ = true;
    return false;
  }
  return true;
}

bool TK_BinaryArchive::Close() {
  if (!is_file_) return IsOpen();
  if (!file_) return false;
  bool ok = !broken_;
  if (mode_ == Mode::Write && std::fflush(file_.get()) != 0) ok = false;
  if (std::fclose(file_.release()) != 0) ok = false;
  broken_ = true;  // nothing more can be read or written
  return ok;
}

std::vector<std::uint8_t> TK_BinaryArchive::TakeBuffer() {
  std::vector<std::uint8_t> out = std::move(buffer_);
  buffer_.clear();
  position_ = 0;
  return out;
}

bool TK_BinaryArchive::Put(const void* data, std::size_t size) {
  if (mode_ != Mode::Write || !IsOpen()) return false;
  if (is_file_) {
    if (size && std::fwrite(data, 1, size, file_.get()) != size) {
      broken_ = true;
      return false;
    }
  } else {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    buffer_.insert(buffer_.end(), bytes, bytes + size);
  }
  position_ += size;
  return true;
}

bool TK_BinaryArchive::Get(void* data, std::size_t size) {
  if (mode_ != Mode::Read || BytesRemaining() < size) return false;
  if (is_file_) {
    if (size && std::fread(data, 1, size, file_.get()) != size) {
      broken_ = true;
      return false;
    }
  } else if (size) {
    std::memcpy(data, buffer_.data() + position_, size);
  }
  position_ += size;
  return true;
}

bool TK_BinaryArchive::PutLE(std::uint64_t value, int size) {
  std::uint8_t bytes[8];
  for (int i = 0; i < size; ++i) bytes[i] = std::uint8_t(value >> (8 * i));
  return Put(bytes, std::size_t(size));
}

bool TK_BinaryArchive::GetLE(std::uint64_t& value, int size) {
  std::uint8_t bytes[8];
  if (!Get(bytes, std::size_t(size))) return false;
  value = 0;
  for (int i = 0; i < size; ++i) value |= std::uint64_t(bytes[i]) << (8 * i);
  return true;
}

bool TK_BinaryArchive::WriteByte(std::uint8_t value) { return Put(&value, 1); }
bool TK_BinaryArchive::ReadByte(std::uint8_t& value) { return Get(&value, 1); }
bool TK_BinaryArchive::WriteBytes(std::span<const std::uint8_t> bytes) { return Put(bytes.data(), bytes.size()); }
bool TK_BinaryArchive::ReadBytes(std::span<std::uint8_t> out) { return Get(out.data(), out.size()); }

bool TK_BinaryArchive::ReadBytes(std::uint64_t count, std::vector<std::uint8_t>& out) {
  if (mode_ != Mode::Read || count > BytesRemaining()) return false;
  std::vector<std::uint8_t> bytes(count);
  if (!Get(bytes.data(), bytes.size())) return false;
  out = std::move(bytes);
  return true;
}

bool TK_BinaryArchive::WriteInt(int value) { return PutLE(std::uint32_t(value), 4); }
bool TK_BinaryArchive::ReadInt(int& value) {
  std::uint64_t v;
  if (!GetLE(v, 4)) return false;
  value = std::int32_t(std::uint32_t(v));
  return true;
}

bool TK_BinaryArchive::WriteUInt32(std::uint32_t value) { return PutLE(value, 4); }
bool TK_BinaryArchive::ReadUInt32(std::uint32_t& value) {
  std::uint64_t v;
  if (!GetLE(v, 4)) return false;
  value = std::uint32_t(v);
  return true;
}

bool TK_BinaryArchive::WriteInt64(std::int64_t value) { return PutLE(std::uint64_t(value), 8); }
bool TK_BinaryArchive::ReadInt64(std::int64_t& value) {
  std::uint64_t v;
  if (!GetLE(v, 8)) return false;
  value = std::int64_t(v);
  return true;
}

bool TK_BinaryArchive::WriteBool(bool value) { return WriteByte(value ? 1 : 0); }
bool TK_BinaryArchive::ReadBool(bool& value) {
  const std::uint64_t start = position_;
  std::uint8_t b;
  if (!ReadByte(b)) return false;
  if (b > 1) {
    SeekTo(start);
    return false;
  }
  value = b == 1;
  return true;
}

bool TK_BinaryArchive::WriteDouble(double value) { return PutLE(std::bit_cast<std::uint64_t>(value), 8); }
bool TK_BinaryArchive::ReadDouble(double& value) {
  std::uint64_t v;
  if (!GetLE(v, 8)) return false;
  value = std::bit_cast<double>(v);
  return true;
}

bool TK_BinaryArchive::WriteColor(const TK_Color& value) { return PutLE(value.Value(), 4); }
bool TK_BinaryArchive::ReadColor(TK_Color& value) {
  std::uint64_t v;
  if (!GetLE(v, 4)) return false;
  value = TK_Color(std::uint32_t(v));
  return true;
}

bool TK_BinaryArchive::WriteUuid(const TK_UUID& value) {
  std::uint8_t bytes[16];
  for (int i = 0; i < 4; ++i) bytes[i] = std::uint8_t(value.Data1 >> (8 * i));
  for (int i = 0; i < 2; ++i) bytes[4 + i] = std::uint8_t(value.Data2 >> (8 * i));
  for (int i = 0; i < 2; ++i) bytes[6 + i] = std::uint8_t(value.Data3 >> (8 * i));
  std::memcpy(bytes + 8, value.Data4.data(), 8);
  return Put(bytes, sizeof bytes);
}

bool TK_BinaryArchive::ReadUuid(TK_UUID& value) {
  std::uint8_t b[16];
  if (!Get(b, sizeof b)) return false;
  value.Data1 = std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24;
  value.Data2 = std::uint16_t(b[4] | b[5] << 8);
  value.Data3 = std::uint16_t(b[6] | b[7] << 8);
  std::memcpy(value.Data4.data(), b + 8, 8);
  return true;
}

bool TK_BinaryArchive::WriteString(const TK_wString& value) {
  const std::u16string units = ToUtf16(value.str());
  if (units.size() > std::size_t(INT_MAX)) return false;
  // Count and units go out in one piece, so a refused write adds nothing.
  std::vector<std::uint8_t> bytes;
  bytes.reserve(4 + 2 * units.size());
  const std::uint32_t count = std::uint32_t(units.size());
  for (int i = 0; i < 4; ++i) bytes.push_back(std::uint8_t(count >> (8 * i)));
  for (char16_t u : units) {
    bytes.push_back(std::uint8_t(u & 0xFF));
    bytes.push_back(std::uint8_t(u >> 8));
  }
  return Put(bytes.data(), bytes.size());
}

bool TK_BinaryArchive::ReadString(TK_wString& value) {
  const std::uint64_t start = position_;
  int count = 0;
  if (!ReadInt(count)) return false;
  std::vector<std::uint8_t> bytes;
  if (count < 0 || !ReadBytes(std::uint64_t(count) * 2, bytes)) {
    if (IsOpen()) SeekTo(start);
    return false;
  }
  value = TK_wString(FromUtf16LE(bytes));
  return true;
}
