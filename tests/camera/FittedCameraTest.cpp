// The camera fitted to an image.

#include "camera/FittedCamera.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

namespace {

TK_Viewport Camera(TK_3dPoint location, TK_3dVector direction, TK_3dVector up = {0, 1, 0}) {
  TK_Viewport camera;
  camera.SetCameraLocation(location);
  camera.SetCameraDirection(direction);
  camera.SetCameraUp(up);
  return camera;
}

double Depth(const TK_Viewport& camera, const TK_3dPoint& p) { return TK_DotProduct(camera.CameraLocation() - p, camera.CameraZ()); }

TEST(FittedCamera, FitsNearJustShortOfTheBoxAndFarToIt) {
  const TK_Viewport camera = Camera({0, 0, 10}, {0, 0, -1});
  const TK_BoundingBox unit({-1, -1, -1}, {1, 1, 1});
  EXPECT_FALSE(FittedCamera::Create(Camera({0, 0, 10}, {0, 1, 0}), 64, 48, &unit));  // looking along up: no frame
  EXPECT_FALSE(FittedCamera::Create(camera, 0, 48, &unit));
  EXPECT_FALSE(FittedCamera::Create(camera, 64, -1, &unit));
  const TK_BoundingBox behind({-1, -1, -5}, {1, 1, 20}), wholly_behind({-1, -1, 20}, {1, 1, 30});
  const std::tuple<const TK_BoundingBox*, double, double> cases[] = {
      {&unit, 0.9999 * 9.0, 11.0}, {&behind, 0.015, 15.0},  // reaching behind: a thousandth of far
      {&wholly_behind, camera.FrustumNear(), camera.FrustumFar()}, {nullptr, camera.FrustumNear(), camera.FrustumFar()}};
  for (const auto& [box, near_plane, far_plane] : cases) {
    const auto fitted = FittedCamera::Create(camera, 64, 48, box);
    ASSERT_TRUE(fitted);
    EXPECT_DOUBLE_EQ(fitted->FrustumNear(), near_plane);
    EXPECT_DOUBLE_EQ(fitted->FrustumFar(), far_plane);
    EXPECT_EQ(fitted->ImageRect(), (RECT{0, 0, 63, 47}));
    double left, right, bottom, top, near, far;
    fitted->GetFrustum(left, right, bottom, top, near, far);
    EXPECT_NEAR((right - left) / (top - bottom), 64.0 / 48.0, 1e-12);  // the image's aspect
  }
}

TEST(FittedCamera, RaysThroughPixelsMeetTheProjectedPointsOneOrFourAtATime) {
  const TK_BoundingBox box({-3, -2, -4}, {3, 2, 1});
  TK_Viewport perspective = Camera({2, 3, 9}, {-0.2, -0.3, -1}, {0.1, 1, 0});
  TK_Viewport parallel = perspective;
  parallel.SetProjection(TK::parallel);
  parallel.SetFrustum(-4, 4, -3, 3, 1, 50);
  for (const TK_Viewport* camera : {&perspective, &parallel}) {
    const int w = 80, h = 50;
    const auto fitted = FittedCamera::Create(*camera, w, h, &box);
    ASSERT_TRUE(fitted);
    for (auto [px, py] : {std::pair{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}, {w / 2, h / 2}}) {
      // Positions across the pixel, near its corners too: every point of the ray projects back
      // into it, and the ray starts on the near plane.
      for (double offset : {0.001, 0.3, 0.7, 0.999}) {
        PixelRayRecord ray;
        ASSERT_TRUE(fitted->PixelRay(px + offset, py + offset, ray));
        EXPECT_NEAR(ray.direction.Length(), 1.0, 1e-12);
        EXPECT_NEAR(Depth(*fitted, TK_3dPoint(ray.origin)), fitted->FrustumNear(), 1e-9);
        for (double t : {0.0, 3.0, 7.5}) {
          const POINT q = fitted->ProjectPoint(TK_3dPoint(ray.origin) + ray.direction * t);
          EXPECT_TRUE(q.x == px && q.y == py) << px << ", " << py << " t " << t << " offset " << offset;
        }
        EXPECT_GT(Depth(*fitted, TK_3dPoint(ray.origin) + ray.direction * 2.0),
                  Depth(*fitted, TK_3dPoint(ray.origin) + ray.direction * 1.0));
      }
    }
    // A block of rays, through either path, is the single rays to the bit, whether or not they
    // have a direction (far beyond the image the screen coordinates overflow). At 2.8347...,
    // x + 4 + 1 rounds otherwise than x + 5: each ray's position is one sum, as PixelRay's.
    for (const SimdPath path : {SimdPath::baseline, SimdPath::avx2})
      for (double y : {-7.0, 0.0, 10.5, 49.0, 1e3, 1e308})
        for (double x : {-9.0, 0.0, 0.5, 2.834747652200631, 37.0, 76.25, 1e6, 1e308, -1e308}) {
          PixelRayBlock block;
          fitted->PixelRays(path, x, y, block);
          for (int lane = 0; lane < PixelRayBlock::kRays; ++lane) {
            PixelRayRecord ray;
            const bool ok = fitted->PixelRay(x + lane, y, ray);
            ASSERT_EQ(ok, (block.ok >> lane & 1) != 0) << x << ", " << y << " lane " << lane;
            if (!ok) continue;
            const PixelRayRecord& made = block.rays[lane];
            EXPECT_TRUE(made.origin.x == ray.origin.x && made.origin.y == ray.origin.y &&
                        made.origin.z == ray.origin.z && made.direction.x == ray.direction.x &&
                        made.direction.y == ray.direction.y && made.direction.z == ray.direction.z)
                << x << ", " << y << " lane " << lane;
          }
        }
    // Truncation toward zero: half a pixel either side of 0 is pixel 0.
    for (auto [x, expected] : {std::pair{-0.5, 0}, std::pair{0.5, 0}, std::pair{-1.5, -1}}) {
      PixelRayRecord ray;
      ASSERT_TRUE(fitted->PixelRay(x, 10.5, ray));
      EXPECT_EQ(fitted->ProjectPoint(TK_3dPoint(ray.origin)).x, expected) << x;
    }
  }
}

}  // namespace
