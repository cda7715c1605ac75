// Rendering on several threads: the image of one thread bit for bit at every antialiasing
// level, with and without shadows, the same statuses in the same order, and an abort at
// any moment leaving only finished rows on show.

#include <gtest/gtest.h>

#include <cstring>

#include "ui/RenderWindowRun.h"

namespace {

std::vector<std::uint8_t> Pixels(const COruDib& image) {
  return {image.FindDIBBits(), image.FindDIBBits() + image.StorageBytes()};
}

TEST(ParallelRender, EveryThreadCountGivesTheImageAndStatusesOfOne) {
  for (int level = 0; level <= 3; ++level)
    for (int shadows : {0, 1}) {
      RenderWindowRun one(48, 36, level, KvHeadlessToolkit::Metrics{}, shadows);
      one.threads = 1;
      ASSERT_EQ(one.Render(), CKavraSdkRender::render_completed);
      for (int threads : {2, 3, 7}) {
        RenderWindowRun many(48, 36, level, KvHeadlessToolkit::Metrics{}, shadows);
        many.threads = threads;
        ASSERT_EQ(many.Render(), CKavraSdkRender::render_completed);
        const std::string at = "level " + std::to_string(level) + ", shadows " + std::to_string(shadows) + ", " +
                               std::to_string(threads) + " threads";
        EXPECT_TRUE(Pixels(many.View()->Bitmap()) == Pixels(one.View()->Bitmap())) << at;
        EXPECT_EQ(many.texts, one.texts) << at;
      }
    }
}

// Stopped after its n-th progress text, a render shows a prefix of finished rows, each the
// row of the full render, and the background below. Tall enough that the workers are far
// from done when the window hears of the n-th band.
TEST(ParallelRender, AnAbortShowsOnlyFinishedRows) {
  constexpr int kHeight = 1500;
  RenderWindowRun full(160, kHeight, 2);
  full.threads = 1;
  ASSERT_EQ(full.Render(), CKavraSdkRender::render_completed);
  const KvDisplayImage& reference = full.View()->ShownImage();
  for (int threads : {1, 3})
    for (int n : {1, 3, 6}) {
      RenderWindowRun run(160, kHeight, 2);
      run.threads = threads;
      int progress_texts = 0;
      COLORREF background = 0;
      run.hook = [&](CRenderSession& session, const std::wstring& text) {
        background = session.BackgroundColorRef();
        if (text.rfind(L"Rendering...(", 0) == 0 && ++progress_texts == n)
          static_cast<CRenderFrame*>(session.Frame())->StopRendering();  // as closing the window does
      };
      ASSERT_EQ(run.Render(), CKavraSdkRender::render_cancelled);
      const KvDisplayImage& shown = run.View()->ShownImage();
      const int rows = shown.RowsCopied();
      EXPECT_TRUE(rows > 0 && rows < kHeight) << threads << " threads, stop " << n << ": " << rows << " rows";
      const std::size_t stride = std::size_t(shown.Bitmap().GetStorageWidth());
      for (int y = 0; y < kHeight; ++y) {  // from the top; memory rows are bottom-up
        const std::size_t at = std::size_t(kHeight - 1 - y) * stride;
        if (y < rows) {
          ASSERT_EQ(std::memcmp(shown.Bitmap().FindDIBBits() + at, reference.Bitmap().FindDIBBits() + at, stride), 0)
              << "row " << y;
        } else {
          float r, g, b;
          shown.Bitmap().GetPixel(20, kHeight - 1 - y, r, g, b);
          ASSERT_EQ(MakeColorRef(std::uint8_t(r * 255 + 0.5f), std::uint8_t(g * 255 + 0.5f), std::uint8_t(b * 255 + 0.5f)),
                    background)
              << "row " << y;
        }
      }
    }
}

}  // namespace
