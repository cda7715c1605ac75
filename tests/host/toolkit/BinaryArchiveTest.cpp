#include "host/toolkit/BinaryArchive.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <functional>
#include <limits>
#include <new>
#include "support/LittleEndianBytes.h"
#include "support/TempDir.h"

// Records the largest allocation made while armed, to show that a hostile
// length is refused before anything is allocated for it.
namespace {
thread_local bool g_tracking = false;
thread_local std::size_t g_largest = 0;
void* TrackedAlloc(std::size_t n) {
  if (g_tracking && n > g_largest) g_largest = n;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace
void* operator new(std::size_t n) { return TrackedAlloc(n); }
void* operator new[](std::size_t n) { return TrackedAlloc(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
// The whole test program shares these replacements, so every form is replaced
// together: a mixed pair (say, the library's nothrow new with this delete) would
// free memory with the wrong allocator.
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return std::malloc(n ? n : 1); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return std::malloc(n ? n : 1); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void* operator new(std::size_t n, std::align_val_t a) {
  const std::size_t align = static_cast<std::size_t>(a);
  if (void* p = std::aligned_alloc(align, (n + align - 1) / align * align)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n, std::align_val_t a) { return operator new(n, a); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace {

using Bytes = std::vector<std::uint8_t>;
using Mode = TK_BinaryArchive::Mode;

Bytes Written(const std::function<bool(TK_BinaryArchive&)>& write) {
  TK_BinaryArchive a;
  EXPECT_TRUE(write(a));
  return a.TakeBuffer();
}

TEST(BinaryArchive, PrimitivesHaveTheirFixedLittleEndianEncoding) {
  EXPECT_EQ(Written([](auto& a) { return a.WriteInt(0x01020304) && a.WriteInt(-2); }),
            (Bytes{4, 3, 2, 1, 0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Written([](auto& a) { return a.WriteBool(true) && a.WriteBool(false); }), (Bytes{1, 0}));
  EXPECT_EQ(Written([](auto& a) { return a.WriteDouble(-2.5); }), (Bytes{0, 0, 0, 0, 0, 0, 0x04, 0xC0}));
  EXPECT_EQ(Written([](auto& a) { return a.WriteColor(TK_Color(0x11, 0x22, 0x33)); }), (Bytes{0x11, 0x22, 0x33, 0}));
  EXPECT_EQ(Written([](auto& a) { return a.WriteInt64(0x0102030405060708LL); }), (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
  // No terminator; U+00E9 is one unit, U+1F600 a surrogate pair.
  EXPECT_EQ(Written([](auto& a) { return a.WriteString(TK_wString(L"A\u00E9\U0001F600")); }),
            (Bytes{4, 0, 0, 0, 0x41, 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE}));
  const TK_UUID id = *TK_UUID::FromString("00112233-4455-6677-8899-AABBCCDDEEFF");
  EXPECT_EQ(Written([&](auto& a) { return a.WriteUuid(id); }),
            (Bytes{0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}));
  // Code points UTF-16 cannot hold are written as U+FFFD.
  EXPECT_EQ(Written([](auto& a) { return a.WriteString(TK_wString(std::wstring{wchar_t(0xD800), wchar_t(0x110000)})); }),
            (Bytes{2, 0, 0, 0, 0xFD, 0xFF, 0xFD, 0xFF}));
}

// One value of every primitive, each with the position at which it ends.
struct Sequence {
  Bytes bytes;
  std::vector<std::uint64_t> ends;
};

const double kNan = std::bit_cast<double>(0x7FF8000000001234ULL);
const TK_wString kText(L"Map \u00FC\u4E2D \U0001F600");
const TK_UUID kId = *TK_UUID::FromString("61A1375D-8F84-43b5-826D-2D6FAE6E6535");

Sequence MakeSequence() {
  TK_BinaryArchive a;
  Sequence s;
  auto mark = [&](bool ok) { EXPECT_TRUE(ok); s.ends.push_back(a.Position()); };
  mark(a.WriteInt(std::numeric_limits<int>::min()));
  mark(a.WriteBool(true));
  mark(a.WriteDouble(kNan));
  mark(a.WriteColor(TK_Color(0x00ABCDEF)));
  mark(a.WriteString(kText));
  mark(a.WriteUuid(kId));
  mark(a.WriteInt64(-1234567890123LL));
  mark(a.WriteUInt32(0xDEADBEEF));
  s.bytes = a.TakeBuffer();
  return s;
}

// Reads the sequence back. Answers the index of the first failing primitive
// (the count when all succeed); checks the values read and that a failed
// read changed neither its output nor the position.
std::size_t ReadSequence(TK_BinaryArchive& a) {
  int i = -1;
  bool b = false;
  double d = -1;
  TK_Color c(0xFFFFFFFF);
  TK_wString s(L"sentinel");
  TK_UUID id;
  std::int64_t i64 = 99;
  std::uint32_t u = 7;
  auto step = [&](bool ok, auto& value, auto initial, auto expected) {
    EXPECT_TRUE(value == (ok ? expected : initial));
    return ok;
  };
  const std::vector<std::function<bool()>> steps = {
      [&] { return step(a.ReadInt(i), i, -1, std::numeric_limits<int>::min()); },
      [&] { return step(a.ReadBool(b), b, false, true); },
      [&] {  // NaN compares by its bits
        const bool ok = a.ReadDouble(d);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(d), std::bit_cast<std::uint64_t>(ok ? kNan : -1.0));
        return ok;
      },
      [&] { return step(a.ReadColor(c), c, TK_Color(0xFFFFFFFF), TK_Color(0x00ABCDEF)); },
      [&] { return step(a.ReadString(s), s, TK_wString(L"sentinel"), kText); },
      [&] { return step(a.ReadUuid(id), id, TK_UUID{}, kId); },
      [&] { return step(a.ReadInt64(i64), i64, 99LL, -1234567890123LL); },
      [&] { return step(a.ReadUInt32(u), u, 7u, 0xDEADBEEFu); },
  };
  for (std::size_t k = 0; k < steps.size(); ++k) {
    const std::uint64_t before = a.Position();
    if (!steps[k]()) {
      EXPECT_EQ(a.Position(), before) << "a failed read moved the position";
      return k;
    }
  }
  return steps.size();
}

// Every truncation of the sequence, through memory and through a file: reads
// succeed up to the first primitive that does not fit, and fail there.
TEST(BinaryArchive, RoundTripsAndFailsAtTheFirstPrimitiveThatDoesNotFit) {
  const Sequence s = MakeSequence();
  TempDir dir;
  const std::filesystem::path path = dir / "sequence.bin";
  for (std::size_t length = 0; length <= s.bytes.size(); ++length) {
    std::size_t expected = 0;
    while (expected < s.ends.size() && s.ends[expected] <= length) ++expected;
    TK_BinaryArchive memory(std::span(s.bytes.data(), length));
    EXPECT_EQ(ReadSequence(memory), expected) << "memory, " << length << " bytes";
    {
      TK_BinaryArchive w(path, Mode::Write);
      ASSERT_TRUE(w.WriteBytes(std::span(s.bytes.data(), length)) && w.Flush() && w.Close());
    }
    TK_BinaryArchive file(path, Mode::Read);
    ASSERT_TRUE(file.IsOpen() && file.BytesRemaining() == length);
    EXPECT_EQ(ReadSequence(file), expected) << "file, " << length << " bytes";
  }
}

TEST(BinaryArchive, HugeLengthsFailAtOnceWithoutAllocating) {
  for (std::uint32_t count : {0x80000000u, 0x7FFFFFFFu, 0xFFFFFFFFu, 19u}) {
    LittleEndianBytes bytes;
    bytes.Unsigned(count, 4);
    while (bytes.size() < 40) bytes.Byte('x');  // 36 bytes hold 18 units
    TK_BinaryArchive a(bytes.bytes);
    TK_wString s(L"kept");
    g_largest = 0;
    g_tracking = true;
    const bool ok = a.ReadString(s);
    g_tracking = false;
    EXPECT_FALSE(ok) << count;
    EXPECT_LT(g_largest, 1024u) << "allocated " << g_largest << " bytes for count " << count;
    EXPECT_TRUE(s == TK_wString(L"kept") && a.Position() == 0u);
  }
  TK_BinaryArchive a(Bytes(16, 0));
  Bytes out{1, 2};
  g_largest = 0;
  g_tracking = true;
  EXPECT_FALSE(a.ReadBytes(std::uint64_t(1) << 40, out));
  g_tracking = false;
  EXPECT_LT(g_largest, 1024u);
  EXPECT_EQ(out, (Bytes{1, 2}));
  EXPECT_FALSE(a.Skip(17) || a.SeekTo(17));
  EXPECT_TRUE(a.Skip(16) && a.SeekTo(4) && a.BytesRemaining() == 12u);
}

}  // namespace
