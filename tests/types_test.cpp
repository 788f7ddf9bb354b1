// The data model: sizes fixed at creation, deep copies.
#include "phylo/types.hpp"

#include <gtest/gtest.h>

namespace {

using namespace phylo;

TEST(DistMat, CreationAndCopy) {
  dist_mat_type one(1);
  EXPECT_EQ(one.n_tax(), 1u);
  EXPECT_EQ(one.labels[0], "");
  dist_mat_type m(3);
  m.labels[2] = "c";
  m.distances(2, 1) = 0.5f;
  dist_mat_type copy = m;
  copy.labels[2] += "x";
  copy.distances(2, 1) = 1.0f;
  EXPECT_EQ(m.labels[2], "c");
  EXPECT_EQ(m.distances(2, 1), 0.5f);
  EXPECT_EQ(m.distances.row(2)[1], 0.5f);
  fast_dist_mat_type flat(2, 7);
  EXPECT_EQ(flat.n_cells(), 7u);
}

TEST(Errors, KindNames) {
  EXPECT_STREQ(range_error("x").kind(), "range_error");
  EXPECT_STREQ(end_of_input("x").kind(), "end_of_input");
  EXPECT_STREQ(format_error("x").kind(), "format_error");
  const phylo::error &e = argument_error("why");
  EXPECT_STREQ(e.what(), "why");
}

} // namespace
