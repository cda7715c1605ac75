#include "host/app/import/PlyCounts.h"

#include <gtest/gtest.h>

namespace {

std::string Header(const char* format, const char* elements) {
  return std::string("ply\nformat ") + format + " 1.0\ncomment test\n" + elements + "end_header\n";
}

TEST(PlyCounts, AcceptsFilesThatHoldWhatTheyDeclare) {
  std::string problem;
  const std::string ascii = Header("ascii", "element vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
                                            "element face 1\nproperty list uchar int vertex_indices\n") +
                            "0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";
  EXPECT_TRUE(ply_counts::CheckBytes(ascii, problem)) << problem;
  // Binary: 3 vertices of 12 bytes and a face of at least its 1-byte count.
  const std::string binary = Header("binary_little_endian", "element vertex 3\nproperty float x\nproperty float y\n"
                                                            "property float z\nelement face 1\n"
                                                            "property list uchar int vertex_indices\n") +
                             std::string(36 + 13, '\0');
  EXPECT_TRUE(ply_counts::CheckBytes(binary, problem)) << problem;
}

TEST(PlyCounts, RefusesCountsTheFileCannotHold) {
  std::string problem;
  const std::string binary = Header("binary_big_endian", "element vertex 4\nproperty double x\n") + std::string(31, '\0');
  EXPECT_FALSE(ply_counts::CheckBytes(binary, problem));
  EXPECT_EQ(problem, "declares 4 \"vertex\" elements, more than the file's 31 bytes of data can hold");
  EXPECT_FALSE(ply_counts::CheckBytes(Header("ascii", "element vertex 99999999999999\nproperty float x\n"), problem));
  EXPECT_EQ(problem, "element \"vertex\" has no sensible count");
  EXPECT_FALSE(ply_counts::CheckBytes(Header("ascii", "element vertex -5\nproperty float x\n"), problem));
  EXPECT_FALSE(ply_counts::CheckBytes("ply\nformat ascii 1.0\nelement vertex 3\n", problem));
  EXPECT_EQ(problem, "not a PLY file with a complete header");
  EXPECT_FALSE(ply_counts::CheckBytes("", problem));
  EXPECT_FALSE(ply_counts::Check("/nonexistent/model.ply", problem));
}

}  // namespace
