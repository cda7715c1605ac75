#include "host/toolkit/SimpleArray.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(SimpleArray, AppendDoublesCapacityStartingAtTwo) {
  TK_SimpleArray<int> a;
  EXPECT_EQ(a.Capacity(), 0);
  std::vector<int> capacities;
  for (int i = 0; i < 9; ++i) {
    ASSERT_TRUE(a.Append(i * 10));
    capacities.push_back(a.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<int>{2, 2, 4, 4, 8, 8, 8, 8, 16}));
  ASSERT_EQ(a.Count(), 9);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(a.Array()[i], i * 10);
}

TEST(SimpleArray, SetCountZeroKeepsCapacityAndReserveNeverShrinks) {
  TK_SimpleArray<std::string> a;
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(a.Append(std::string(40, char('a' + i))));
  ASSERT_TRUE(a.SetCount(0));
  EXPECT_EQ(a.Capacity(), 8);
  ASSERT_TRUE(a.Append("again"));
  EXPECT_EQ(a.Capacity(), 8);
  EXPECT_FALSE(a.SetCount(9));
  EXPECT_FALSE(a.SetCount(-1));
  ASSERT_TRUE(a.SetCount(3));
  EXPECT_EQ(a[0], "again");
  EXPECT_EQ(a[2], "");
  ASSERT_TRUE(a.Reserve(20));
  ASSERT_TRUE(a.Reserve(4));
  EXPECT_EQ(a.Capacity(), 20);
  ASSERT_TRUE(a.SetCount(20));
  ASSERT_TRUE(a.Append("x"));  // a full array of 20 grows to 40
  EXPECT_EQ(a.Capacity(), 40);
}

TEST(SimpleArray, AppendingAnOwnElementWhileGrowing) {
  TK_SimpleArray<std::string> a;
  ASSERT_TRUE(a.Append(std::string(100, 'q')));
  ASSERT_TRUE(a.Append(a[0]));
  ASSERT_EQ(a.Capacity(), 2);
  ASSERT_TRUE(a.Append(a[1]));  // reallocates while a[1] is the source
  ASSERT_EQ(a.Count(), 3);
  EXPECT_EQ(a[2], std::string(100, 'q'));
}

TEST(SimpleArray, CopiesAreDeepAndKeepCapacityMovesEmptyTheSource) {
  TK_SimpleArray<std::string> a;
  for (const char* s : {"one", "two", "three"}) ASSERT_TRUE(a.Append(s));
  TK_SimpleArray<std::string> b = a;
  EXPECT_EQ(b.Capacity(), 4);
  EXPECT_EQ(b[2], "three");
  b[0] = "changed";
  EXPECT_EQ(a[0], "one");
  TK_SimpleArray<std::string> c = std::move(a);
  EXPECT_EQ(c.Count(), 3);
  EXPECT_EQ(c.Capacity(), 4);
  EXPECT_EQ(a.Count(), 0);  // NOLINT(bugprone-use-after-move): documented state
  EXPECT_EQ(a.Capacity(), 0);
  a = c;
  std::string all;
  for (const std::string& s : a) all += s;
  EXPECT_EQ(all, "onetwothree");
}

}  // namespace
