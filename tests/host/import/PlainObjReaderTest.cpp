// The plain OBJ reader against Assimp's own OBJ reader on the same files:
// every file it takes must come out as Assimp makes it, to the bit, and
// every file it leaves must be one that needs more than it reads.
#include "host/import/PlainObjReader.h"

#include <gtest/gtest.h>

#include <string>

#include "host/Files.h"
#include "support/PlainObjAgainstAssimp.h"
#include "support/TempDir.h"

using namespace std::string_literals;

namespace {

struct ObjCase {
  const char* label;
  std::string text;
  bool plain;
};

const std::string kTriangles = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 2 3\nf 1 3 4\n";

const ObjCase kCases[] = {
    {"triangles", kTriangles, true},
    {"comments_blanks_crlf_tabs", "# made by hand\r\n\r\nv\t0 0 0\r\nv 1  0 0 \r\n   \nv 0 1 0\r\nf 1 2 3\r\n", true},
    {"carriage_returns_only", "v 0 0 0\rv 1 0 0\rv 0 1 0\rf 1 2 3\r", true},
    {"no_final_line_end", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3", true},
    {"number_forms",
     "v -.5 5. +2\nv 1.5E+2 1e-3 -0\nv 0.123456789012345678901 123456789012345678 7.e2\nv 3.25e-7 -1e-40 1e39\n"
     "f 1 2 3\nf 2 3 4\n",
     true},
    {"relative_indices", kTriangles + "f -1 -2 -3\n", true},
    {"overflow_to_not_a_number", "v 0 0 0e39\nv 1 0 0\nv 0 1 0\nf 1 2 3\nf 1 3 2\n", true},  // 0 x inf, as Assimp reads it
    {"texture_coordinate_overflow", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 3E+56000 0\nvt 1 -1e39\nf 1/1 2/2 3/1\n", true},
    {"texture_coordinates", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0 0.5\nvt 0.25 1\nf 1/1 2/2 3/3\n", true},
    {"normals", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nvn 0 0.6 0.8\nf 1//1 2//2 3//1\n", true},
    {"both", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 1\nvn 0 0 1\nf 1/1/1 2/2/1 3/1/1\nf 3/2/1 2/1/1 1/2/1\n", true},
    {"unused_texture_coordinates", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1 2 3\n", true},
    {"normal_overflow", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1e39\nvn 0 0 1\nf 1//1 2//2 3//2\n", true},
    {"signed_zero_seam", "v 0 0 0\nv -0 1 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 3 2\nf 3 5 4\nf 4 1 3\n", true},
    {"normal_seam", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nvn 0 0 -1\nf 1//1 2//1 3//1\nf 1//2 3//2 2//2\n", true},
    {"texture_seam", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nvt 0 0\nvt 1 1\nf 1/1 2/1 3/1\nf 2/2 4/2 3/2\nf 3/1 2/1 4/2\n", true},
    {"shared_and_repeated_positions", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 0 0\nf 1 2 3\nf 1 4 3\nf 2 4 3\n", true},
    {"signed_zeros", "v -0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 0\nf 4 2 3\nf 1 3 2\n", true},
    {"smoothing_groups", "s 1\n" + kTriangles + "s off\nf 2 3 4\n", true},
    {"object_name", "o Scanned bunny \n" + kTriangles, true},

    {"indented_statement", "  v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", false},  // Assimp reads no mesh
    {"quad", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n", false},
    {"material", "usemtl red\n" + kTriangles, false},
    {"library", "mtllib a.mtl\n" + kTriangles, false},
    {"group", "g part\n" + kTriangles, false},
    {"line", kTriangles + "l 1 2\n", false},
    {"point", kTriangles + "p 1\n", false},
    {"mixed_corner_forms", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nf 1//1 2 3\n", false},
    {"forward_reference", "v 0 0 0\nv 1 0 0\nf 1 2 3\nv 0 1 0\n", false},
    {"zero_index", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 0 1 2\n", false},
    {"past_the_normals", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nf 1//1 2//2 3//1\n", false},
    {"nan", "v nan 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", false},
    {"leading_point", "v .5 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", false},  // Assimp does not count ".5" as a number
    {"comma", "v 0,5 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", false},
    {"four_coordinates", "v 0 0 0 1\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", false},
    {"vertex_colours", "v 0 0 0 1 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", false},
    {"nul_in_a_comment", "# a\0mtllib a.mtl\n"s + kTriangles, false},
    {"nul_in_a_name", "o a\0p 1\n"s + kTriangles, false},  // Assimp ends the line at the NUL
    {"continued_line", "# a comment \\\n" + kTriangles, false},  // Assimp joins the next line to the comment
    {"second_object", "o a\n" + kTriangles + "o b\nf 1 2 3\n", false},
    {"name_after_faces", kTriangles + "o late\n", false},
    {"later_corner_form", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nf 1//1 2//1 3//1\n# a\n# b\nf 1 2 3\n", false},
    {"no_faces", "v 0 0 0\nv 1 0 0\n", false},
    {"leading_zero_index", kTriangles + "f 1 2 03\n", false},  // Assimp reads "0000000003" as more than one face
    {"ten_digit_index", kTriangles + "f 1 2 1000000000\n", false},
};

class PlainObj : public testing::TestWithParam<ObjCase> {};

TEST_P(PlainObj, ReadsWhatAssimpReadsOrLeavesTheFileToIt) {
  const ObjCase& c = GetParam();
  TempDir dir;
  const std::filesystem::path file = dir / "model.obj";
  WriteFile(file, c.text);
  const std::optional<plain_obj::PlainModel> plain = plain_obj::Read(file, {}, 1);
  ASSERT_EQ(plain.has_value(), c.plain);
  if (plain) {
    EXPECT_EQ(plain_obj_check::DifferenceFromAssimp(*plain, file), "");
  }
  // Read in stretches, down to a line or less each: the same answer.
  for (const int threads : {2, 3, 7, 64}) {
    const std::optional<plain_obj::PlainModel> parts = plain_obj::Read(file, {}, threads);
    ASSERT_EQ(parts.has_value(), c.plain) << threads << " threads";
    if (parts) {
      EXPECT_EQ(plain_obj_check::DifferenceBetween(*plain, *parts), "") << threads << " threads";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Host, PlainObj, testing::ValuesIn(kCases), [](const auto& info) { return info.param.label; });

// A stop request between lines ends the reading with nothing.
TEST(PlainObjStop, AnAnsweredStopLeavesTheFile) {
  TempDir dir;
  std::string text;
  for (int i = 0; i < 70'000; ++i) text += "v 0 0 0\n";
  WriteFile(dir / "long.obj", text + "f 1 2 3\n");
  int asked = 0;
  EXPECT_FALSE(plain_obj::Read(dir / "long.obj", [&] { return ++asked > 0; }, 1));
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(plain_obj::Read(dir / "long.obj", [] { return false; }, 1));
}

}  // namespace
