// RowShare: the option text read back, and the processes' rows partitioning the image.
#include "host/sdk/RowShare.h"

#include <gtest/gtest.h>

namespace {

TEST(RowShare, ReadsOnlyWellFormedSharesAndTheProcessesSplitTheRowsExactly) {
  for (const std::wstring bad : {L"", L"1,1,8", L"0,0,8", L"3,2,8", L"0,2", L"0,2,8,1", L"0,-2,8", L"0,2,x", L"0,,8",
                                 L"0,1234567,8"})
    EXPECT_FALSE(RowShare::FromOption(bad)) << std::string(bad.begin(), bad.end());
  for (const int height : {1, 15, 64, 1000}) {
    for (const int count : {1, 2, 3, 7}) {
      int rows = 0;
      for (int index = 0; index < count; ++index) {
        const std::optional<RowShare> share = RowShare::FromOption(RowShare{index, count, 0}.ToOption());
        ASSERT_TRUE(share);
        const RowShare resolved = share->Resolved(height);
        ASSERT_EQ(std::tuple(resolved.index, resolved.count), std::tuple(index, count));
        EXPECT_TRUE(count == 1 || (resolved.block >= 16 && resolved.block <= 64)) << resolved.block;
        // Counted block by block, as the pixel loops take them.
        int owned = 0;
        for (int y = 0; y < height; ++y) owned += resolved.OwnsBlock(count > 1 ? y / resolved.block : 0);
        EXPECT_EQ(resolved.OwnedRows(height), owned) << height << " rows, " << index << " of " << count;
        rows += owned;
      }
      EXPECT_EQ(rows, height) << height << " rows, " << count << " processes";
    }
  }
}

}  // namespace
