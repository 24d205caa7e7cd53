#include "steps/list_cell.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(ListCell, JoinPutsASeparatorBeforeEveryEntry) {
  EXPECT_EQ(JoinList({}), "");
  EXPECT_EQ(JoinList({"1"}), ";1");
  EXPECT_EQ(JoinList({"10", "", "20"}), ";10;;20");
}

TEST(ListCell, SplitGivesAnEmptyFieldZero) {
  const auto fields = SplitList(";1;2;3");
  ASSERT_EQ(fields.size(), 4u);
  EXPECT_EQ(fields[0], "");
  EXPECT_EQ(fields[3], "3");
  EXPECT_EQ(ListHighestIndex(fields), 3);
}

TEST(ListCell, EmptyCellHasNoFields) {
  const auto fields = SplitList("");
  EXPECT_TRUE(fields.empty());
  EXPECT_EQ(ListHighestIndex(fields), -1);
  EXPECT_EQ(ListEntry(fields, 1), "");
}

TEST(ListCell, EntriesPastTheEndAreEmpty) {
  const auto fields = SplitList(";a;;c");
  EXPECT_EQ(ListEntry(fields, 2), "");
  EXPECT_EQ(ListEntry(fields, 3), "c");
  EXPECT_EQ(ListEntry(fields, 4), "");
  EXPECT_EQ(JoinList({fields.begin() + 1, fields.end()}), ";a;;c");
}

}  // namespace
}  // namespace kv
