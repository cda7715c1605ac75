#include "host/app/import/GltfCameras.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

const char* const kJson = R"({"cameras": [
  {"type": "perspective", "perspective": {"yfov": 0.7, "aspectRatio": 1.25, "znear": 0.1}},
  {"type": "orthographic", "orthographic": {"xmag": 3, "ymag": 2, "znear": 0.1, "zfar": 9}},
  {"type": "perspective", "perspective": {"znear": 0.1}},
  "not a camera",
  {"type": "perspective", "perspective": {"yfov": "wide"}}]})";

void Le32(std::string& s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s += char(v >> (8 * i) & 0xFF);
}

TEST(GltfCameras, ReadsPerspectiveAndOrthographicCamerasInOrder) {
  const auto cameras = gltf_cameras::ParseCameras(kJson);
  ASSERT_TRUE(cameras);
  ASSERT_EQ(cameras->size(), 5u);
  EXPECT_TRUE((*cameras)[0].perspective);
  EXPECT_EQ((*cameras)[0].yfov, 0.7);
  EXPECT_EQ((*cameras)[0].aspect, 1.25);
  EXPECT_FALSE((*cameras)[1].perspective);
  EXPECT_EQ((*cameras)[1].xmag, 3.0);
  EXPECT_EQ((*cameras)[1].ymag, 2.0);
  // An aspect the file leaves open, and numbers that are not numbers, read as 0.
  EXPECT_EQ((*cameras)[2].aspect, 0.0);
  EXPECT_EQ((*cameras)[3].yfov, 0.0);
  EXPECT_EQ((*cameras)[4].yfov, 0.0);
}

TEST(GltfCameras, ReadsTheJsonChunkOfABinaryContainer) {
  std::string json = kJson;
  while (json.size() % 4) json += ' ';
  std::string glb = "glTF";
  Le32(glb, 2);
  Le32(glb, std::uint32_t(20 + json.size()));
  Le32(glb, std::uint32_t(json.size()));
  Le32(glb, 0x4E4F534A);  // "JSON"
  glb += json;
  const auto cameras = gltf_cameras::ParseCameras(glb);
  ASSERT_TRUE(cameras);
  EXPECT_EQ(cameras->size(), 5u);

  // A chunk longer than the file, or not a JSON chunk, reads as nothing.
  std::string cut = glb.substr(0, 40);
  EXPECT_FALSE(gltf_cameras::ParseCameras(cut));
  std::string binary = glb;
  binary[16] = 'B';
  EXPECT_FALSE(gltf_cameras::ParseCameras(binary));
}

TEST(GltfCameras, AnswersNothingForWhatIsNotGltf) {
  EXPECT_FALSE(gltf_cameras::ParseCameras(""));
  EXPECT_FALSE(gltf_cameras::ParseCameras("{\"cameras\": ["));
  EXPECT_FALSE(gltf_cameras::ParseCameras("[1, 2]"));
  EXPECT_FALSE(gltf_cameras::ParseCameras("glTF"));
  EXPECT_FALSE(gltf_cameras::ReadCameras("/nonexistent/model.gltf"));
  const auto none = gltf_cameras::ParseCameras(R"({"asset": {"version": "2.0"}})");
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->empty());
}

}  // namespace
