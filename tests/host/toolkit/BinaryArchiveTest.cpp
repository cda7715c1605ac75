#include "host/toolkit/BinaryArchive.h"

#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <new>
#include <unistd.h>

#include "support/LittleEndianBytes.h"

// Records the largest single allocation made while armed, so that tests can
// show a hostile length is refused before anything is allocated for it.
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

namespace {

struct TempFile {
  std::filesystem::path path = std::filesystem::temp_directory_path() /
                               ("dm_archive_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + ".bin");
  ~TempFile() { std::filesystem::remove(path); }
  static inline int counter = 0;
};

std::vector<std::uint8_t> Written(const std::function<bool(TK_BinaryArchive&)>& write) {
  TK_BinaryArchive a;
  EXPECT_TRUE(write(a));
  return a.TakeBuffer();
}

using Bytes = std::vector<std::uint8_t>;

TEST(BinaryArchiveLayout, PrimitivesHaveTheirFixedLittleEndianEncoding) {
  EXPECT_EQ(Written([](auto& a) { return a.WriteInt(0x01020304); }), (Bytes{4, 3, 2, 1}));
  EXPECT_EQ(Written([](auto& a) { return a.WriteInt(-2); }), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Written([](auto& a) { return a.WriteBool(true) && a.WriteBool(false); }), (Bytes{1, 0}));
  EXPECT_EQ(Written([](auto& a) { return a.WriteDouble(1.0); }), (Bytes{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
  EXPECT_EQ(Written([](auto& a) { return a.WriteDouble(-2.5); }), (Bytes{0, 0, 0, 0, 0, 0, 0x04, 0xC0}));
  EXPECT_EQ(Written([](auto& a) { return a.WriteColor(TK_Color(0x11, 0x22, 0x33)); }), (Bytes{0x11, 0x22, 0x33, 0}));
  EXPECT_EQ(Written([](auto& a) { return a.WriteInt64(0x0102030405060708LL); }), (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
  // No terminator; U+00E9 is one unit, U+1F600 a surrogate pair.
  EXPECT_EQ(Written([](auto& a) { return a.WriteString(TK_wString(L"A\u00E9\U0001F600")); }),
            (Bytes{4, 0, 0, 0, 0x41, 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE}));
  EXPECT_EQ(Written([](auto& a) { return a.WriteString(TK_wString()); }), (Bytes{0, 0, 0, 0}));
  const TK_UUID id = *TK_UUID::FromString("00112233-4455-6677-8899-AABBCCDDEEFF");
  EXPECT_EQ(Written([&](auto& a) { return a.WriteUuid(id); }),
            (Bytes{0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}));
}

// Writes one value of every primitive, reads them back and compares.
void RoundTripEverything(TK_BinaryArchive& out, const std::function<TK_BinaryArchive()>& reopen) {
  const double nan_bits = std::bit_cast<double>(0x7FF8000000001234ULL);
  const TK_UUID id = *TK_UUID::FromString("61A1375D-8F84-43b5-826D-2D6FAE6E6535");
  const TK_wString text(L"Map \u00FC\u4E2D \U0001F600 end");
  const Bytes raw{0, 1, 0xFE, 0xFF};
  ASSERT_TRUE(out.WriteInt(std::numeric_limits<int>::min()));
  ASSERT_TRUE(out.WriteInt(std::numeric_limits<int>::max()));
  ASSERT_TRUE(out.WriteUInt32(0xDEADBEEF));
  ASSERT_TRUE(out.WriteInt64(-1234567890123LL));
  ASSERT_TRUE(out.WriteBool(true));
  ASSERT_TRUE(out.WriteBool(false));
  ASSERT_TRUE(out.WriteDouble(-0.0));
  ASSERT_TRUE(out.WriteDouble(std::numeric_limits<double>::denorm_min()));
  ASSERT_TRUE(out.WriteDouble(-std::numeric_limits<double>::infinity()));
  ASSERT_TRUE(out.WriteDouble(nan_bits));
  ASSERT_TRUE(out.WriteColor(TK_Color(0x00ABCDEF)));
  ASSERT_TRUE(out.WriteString(text));
  ASSERT_TRUE(out.WriteString(TK_wString()));
  ASSERT_TRUE(out.WriteUuid(id));
  ASSERT_TRUE(out.WriteByte(0x7F));
  ASSERT_TRUE(out.WriteBytes(raw));
  const std::uint64_t written = out.Position();
  EXPECT_EQ(written, 4u + 4 + 4 + 8 + 1 + 1 + 8 * 4 + 4 + (4 + 2 * 13) + 4 + 16 + 1 + 4);

  TK_BinaryArchive in = reopen();
  ASSERT_TRUE(in.IsOpen());
  EXPECT_EQ(in.BytesRemaining(), written);
  int i1 = 0, i2 = 0;
  std::uint32_t u = 0;
  std::int64_t i64 = 0;
  bool b1 = false, b2 = true;
  double d1 = 1, d2 = 0, d3 = 0, d4 = 0;
  TK_Color c;
  TK_wString s1, s2(L"not empty");
  TK_UUID id_in;
  std::uint8_t byte = 0;
  Bytes raw_in;
  ASSERT_TRUE(in.ReadInt(i1) && in.ReadInt(i2) && in.ReadUInt32(u) && in.ReadInt64(i64));
  ASSERT_TRUE(in.ReadBool(b1) && in.ReadBool(b2));
  ASSERT_TRUE(in.ReadDouble(d1) && in.ReadDouble(d2) && in.ReadDouble(d3) && in.ReadDouble(d4));
  ASSERT_TRUE(in.ReadColor(c) && in.ReadString(s1) && in.ReadString(s2) && in.ReadUuid(id_in));
  ASSERT_TRUE(in.ReadByte(byte) && in.ReadBytes(4, raw_in));
  EXPECT_EQ(i1, std::numeric_limits<int>::min());
  EXPECT_EQ(i2, std::numeric_limits<int>::max());
  EXPECT_EQ(u, 0xDEADBEEFu);
  EXPECT_EQ(i64, -1234567890123LL);
  EXPECT_TRUE(b1);
  EXPECT_FALSE(b2);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(d1), std::bit_cast<std::uint64_t>(-0.0));
  EXPECT_EQ(d2, std::numeric_limits<double>::denorm_min());
  EXPECT_EQ(d3, -std::numeric_limits<double>::infinity());
  EXPECT_EQ(std::bit_cast<std::uint64_t>(d4), 0x7FF8000000001234ULL);
  EXPECT_EQ(c.Value(), 0x00ABCDEFu);
  EXPECT_EQ(s1, text);
  EXPECT_TRUE(s2.IsEmpty());
  EXPECT_EQ(id_in, id);
  EXPECT_EQ(byte, 0x7F);
  EXPECT_EQ(raw_in, raw);
  EXPECT_EQ(in.BytesRemaining(), 0u);
  EXPECT_FALSE(in.ReadByte(byte));
}

TEST(BinaryArchiveRoundTrip, ThroughMemory) {
  TK_BinaryArchive out;
  RoundTripEverything(out, [&] { return TK_BinaryArchive(out.Buffer()); });
}

TEST(BinaryArchiveRoundTrip, ThroughAFile) {
  TempFile file;
  TK_BinaryArchive out(file.path, TK_BinaryArchive::Mode::Write);
  ASSERT_TRUE(out.IsOpen());
  RoundTripEverything(out, [&] {
    EXPECT_TRUE(out.Flush());
    EXPECT_TRUE(out.Close());
    return TK_BinaryArchive(file.path, TK_BinaryArchive::Mode::Read);
  });
}

// A sequence of primitives with the byte offset at which each one ends.
struct Sequence {
  Bytes bytes;
  std::vector<std::uint64_t> ends;
};

Sequence MakeSequence() {
  TK_BinaryArchive a;
  Sequence s;
  auto mark = [&](bool ok) { EXPECT_TRUE(ok); s.ends.push_back(a.Position()); };
  mark(a.WriteInt(7));
  mark(a.WriteBool(true));
  mark(a.WriteDouble(0.5));
  mark(a.WriteColor(TK_Color(1, 2, 3)));
  mark(a.WriteString(TK_wString(L"ab\U0001F600")));
  mark(a.WriteUuid(*TK_UUID::FromString("CA08EE53-9D33-4ab6-B2EF-B68CCFEAF030")));
  mark(a.WriteInt64(-5));
  s.bytes = a.TakeBuffer();
  return s;
}

// Reads the sequence; answers the index of the first failing primitive (or
// the count when all succeed) and checks that a failed read changed nothing.
std::size_t ReadSequence(TK_BinaryArchive& a) {
  int i = -1;
  bool b = false;
  double d = -1;
  TK_Color c(0xFFFFFFFF);
  TK_wString s(L"sentinel");
  TK_UUID id;
  std::int64_t i64 = 99;
  const std::vector<std::function<bool()>> steps = {
      [&] { if (a.ReadInt(i)) return true; EXPECT_EQ(i, -1); return false; },
      [&] { if (a.ReadBool(b)) return true; EXPECT_FALSE(b); return false; },
      [&] { if (a.ReadDouble(d)) return true; EXPECT_EQ(d, -1); return false; },
      [&] { if (a.ReadColor(c)) return true; EXPECT_EQ(c.Value(), 0xFFFFFFFFu); return false; },
      [&] { if (a.ReadString(s)) return true; EXPECT_EQ(s, TK_wString(L"sentinel")); return false; },
      [&] { if (a.ReadUuid(id)) return true; EXPECT_TRUE(id.IsNil()); return false; },
      [&] { if (a.ReadInt64(i64)) return true; EXPECT_EQ(i64, 99); return false; },
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

std::size_t ExpectedFailure(const Sequence& s, std::size_t length) {
  std::size_t k = 0;
  while (k < s.ends.size() && s.ends[k] <= length) ++k;
  return k;
}

TEST(BinaryArchiveTruncation, MemoryReadsFailAtTheFirstPrimitiveThatDoesNotFit) {
  const Sequence s = MakeSequence();
  for (std::size_t length = 0; length <= s.bytes.size(); ++length) {
    TK_BinaryArchive a(std::span(s.bytes.data(), length));
    EXPECT_EQ(ReadSequence(a), ExpectedFailure(s, length)) << "truncated to " << length;
  }
}

TEST(BinaryArchiveTruncation, FileReadsFailAtTheFirstPrimitiveThatDoesNotFit) {
  const Sequence s = MakeSequence();
  TempFile file;
  for (std::size_t length = 0; length <= s.bytes.size(); ++length) {
    {
      TK_BinaryArchive w(file.path, TK_BinaryArchive::Mode::Write);
      ASSERT_TRUE(w.WriteBytes(std::span(s.bytes.data(), length)) && w.Close());
    }
    TK_BinaryArchive a(file.path, TK_BinaryArchive::Mode::Read);
    ASSERT_TRUE(a.IsOpen());
    EXPECT_EQ(ReadSequence(a), ExpectedFailure(s, length)) << "truncated to " << length;
  }
}

TEST(BinaryArchiveHostileInput, HugeStringLengthsFailAtOnceWithoutAllocating) {
  for (std::uint32_t count : {0x80000000u, 0x7FFFFFFFu, 0xFFFFFFFFu, 19u}) {
    LittleEndianBytes bytes;
    bytes.Unsigned(count, 4);
    while (bytes.size() < 40) bytes.Byte('x');  // 36 bytes hold at most 18 units
    TK_BinaryArchive a(bytes.bytes);
    TK_wString s(L"kept");
    g_largest = 0;
    g_tracking = true;
    const bool ok = a.ReadString(s);
    g_tracking = false;
    EXPECT_FALSE(ok) << count;
    EXPECT_LT(g_largest, 1024u) << "allocated " << g_largest << " bytes for count " << count;
    EXPECT_EQ(s, TK_wString(L"kept"));
    EXPECT_EQ(a.Position(), 0u);
  }
}

TEST(BinaryArchiveHostileInput, HugeByteCountsAndSkipsAreRefused) {
  TK_BinaryArchive a(Bytes(16, 0));
  Bytes out{1, 2};
  g_largest = 0;
  g_tracking = true;
  EXPECT_FALSE(a.ReadBytes(std::uint64_t(1) << 40, out));
  g_tracking = false;
  EXPECT_LT(g_largest, 1024u);
  EXPECT_EQ(out, (Bytes{1, 2}));
  EXPECT_FALSE(a.Skip(17));
  EXPECT_FALSE(a.SeekTo(17));
  EXPECT_TRUE(a.Skip(16));
  EXPECT_EQ(a.BytesRemaining(), 0u);
  EXPECT_TRUE(a.SeekTo(4));
  EXPECT_EQ(a.BytesRemaining(), 12u);
}

TEST(BinaryArchiveHostileInput, BoolBytesOtherThanZeroAndOneAreCorrupt) {
  for (std::uint8_t bad : {std::uint8_t(2), std::uint8_t(0x80), std::uint8_t(0xFF)}) {
    TK_BinaryArchive a(Bytes{bad});
    bool value = true;
    EXPECT_FALSE(a.ReadBool(value));
    EXPECT_TRUE(value);
    EXPECT_EQ(a.Position(), 0u);
    std::uint8_t raw = 0;
    EXPECT_TRUE(a.ReadByte(raw));
    EXPECT_EQ(raw, bad);
  }
}

TEST(BinaryArchiveStrings, LoneSurrogatesReadAsReplacementCharacters) {
  struct Case {
    std::u16string units;
    std::wstring expected;
  };
  const Case cases[] = {
      {u"\xD83D\xDE00", L"\U0001F600"},                  // a proper pair
      {u"a\xD83D", L"a\uFFFD"},                          // high surrogate at the end
      {u"\xD83Dz", L"\uFFFDz"},                          // high surrogate before a plain unit
      {u"\xDE00\xD83D", L"\uFFFD\uFFFD"},                // reversed pair
      {u"\xDC00x", L"\uFFFDx"},                          // lone low surrogate
      {u"\xD800\xD800\xDC00", L"\uFFFD\U00010000"},      // a lone high, then a pair
  };
  for (const Case& c : cases) {
    LittleEndianBytes bytes;
    bytes.String(c.units);
    TK_BinaryArchive a(bytes.bytes);
    TK_wString s;
    ASSERT_TRUE(a.ReadString(s));
    EXPECT_EQ(s.str(), c.expected);
    EXPECT_EQ(a.BytesRemaining(), 0u);
  }
}

TEST(BinaryArchiveStrings, CodePointsThatUtf16CannotHoldAreWrittenAsReplacement) {
  std::wstring bad;
  bad.push_back(wchar_t(0xD800));
  bad.push_back(wchar_t(0x110000));
  EXPECT_EQ(Written([&](auto& a) { return a.WriteString(TK_wString(bad)); }),
            (Bytes{2, 0, 0, 0, 0xFD, 0xFF, 0xFD, 0xFF}));
}

TEST(BinaryArchiveModes, ReadersDoNotWriteAndWritersDoNotRead) {
  TK_BinaryArchive writer;
  int value = 5;
  EXPECT_FALSE(writer.ReadInt(value));
  EXPECT_EQ(writer.BytesRemaining(), 0u);
  EXPECT_FALSE(writer.SeekTo(0));
  TK_BinaryArchive reader(Bytes{1, 0, 0, 0});
  EXPECT_FALSE(reader.WriteInt(1));
  EXPECT_TRUE(reader.ReadInt(value));
  EXPECT_EQ(value, 1);
}

TEST(BinaryArchiveFiles, AMissingFileDoesNotOpenAndEveryReadFails) {
  TK_BinaryArchive a(std::filesystem::temp_directory_path() / "dm_no_such_dir" / "x.bin", TK_BinaryArchive::Mode::Read);
  EXPECT_FALSE(a.IsOpen());
  int value = 3;
  EXPECT_FALSE(a.ReadInt(value));
  EXPECT_EQ(value, 3);
  EXPECT_FALSE(a.Close());
  TK_BinaryArchive w(std::filesystem::temp_directory_path(), TK_BinaryArchive::Mode::Write);
  EXPECT_FALSE(w.IsOpen());
  EXPECT_FALSE(w.WriteInt(1));
}

TEST(BinaryArchiveFiles, WriteErrorsFailThePrimitiveAndBreakTheArchive) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
  TK_BinaryArchive a("/dev/full", TK_BinaryArchive::Mode::Write);
  ASSERT_TRUE(a.IsOpen());
  // The disk is full: once the stream's buffer is pushed out, a write fails.
  const Bytes block(4096, 0xAB);
  bool failed = false;
  for (int i = 0; i < 256 && !failed; ++i) failed = !a.WriteBytes(block);
  if (!failed) failed = !a.Flush();
  EXPECT_TRUE(failed);
  EXPECT_FALSE(a.IsOpen());
  EXPECT_FALSE(a.WriteInt(1));
  EXPECT_FALSE(a.Close());
}

}  // namespace
