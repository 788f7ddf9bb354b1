// The data model: sizes fixed at creation, deep copies, moves that leave nothing behind.
#include "phylo/types.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using namespace phylo;

// A copy is deep.
TEST(DistMat, CopyIsDeep) {
  dist_mat_type m(3);
  m.labels[2] = "c";
  m.distances(2, 1) = 0.5f;
  dist_mat_type copy = m;
  copy.labels[2] += "x";
  copy.distances(2, 1) = 1.0f;
  EXPECT_EQ(m.labels[2], "c");
  EXPECT_EQ(m.distances.row(2)[1], 0.5f);
}

// A moved-from array, label array or matrix is empty; a square too large to exist is refused.
TEST(Arrays, MovesAndSizes) {
  fixed_array<float> cells(4);
  cells[3] = 2.0f;
  fixed_array<float> taken(std::move(cells));
  EXPECT_EQ(cells.begin(), cells.end());
  cells = std::move(taken);
  EXPECT_EQ(taken.size(), 0u);
  EXPECT_EQ(cells[3], 2.0f);

  dist_mat_type m(3);
  m.labels[1] = "b";
  dist_mat_type moved(std::move(m));
  EXPECT_EQ(m.n_tax() + m.distances.n(), 0u);
  EXPECT_EQ(moved.labels[1], "b");
  rect_array<int> r(2, 3);
  rect_array<int> r2 = std::move(r);
  EXPECT_EQ(r.rows() * r.cols(), 0u);
  EXPECT_EQ(r2.cols(), 3u);

  EXPECT_THROW(square_array<float>(std::size_t{1} << 33), range_error);
}

// ---- char_mat_type and sequence_vecs --------------------------------------------------

char_mat_type quant_2x2(float corner) {
  char_mat_type m(2, 2, matrix_type::QUANT);
  m.comment = "traits";
  m.labels[0] = "a";
  m.labels[1] = "b";
  m.tax_comments[0] = "wild";
  float v[] = {corner, 1.0f, 2.0f, 3.0f};
  for (int k = 0; k < 4; ++k) m.quant_data().data()[k] = v[k];
  return m;
}

TEST(CharMatType, EqualityComparesEveryFieldAndFloatsByValue) {
  EXPECT_EQ(quant_2x2(0.0f), quant_2x2(-0.0f));
  EXPECT_FALSE(quant_2x2(0.0f) == quant_2x2(0.5f));

  char_mat_type other_comment = quant_2x2(0.0f);
  other_comment.tax_comments[1] = "x";
  EXPECT_FALSE(other_comment == quant_2x2(0.0f));
  char_mat_type other_label = quant_2x2(0.0f);
  other_label.labels[1] = "B";
  EXPECT_FALSE(other_label == quant_2x2(0.0f));

  // The same texts, sizes and zero cells, only the kind differs.
  char_mat_type q(2, 3, matrix_type::QUANT), c(2, 3, matrix_type::CNTCH);
  EXPECT_FALSE(q == c);
  EXPECT_FALSE(q == char_mat_type(2, 4, matrix_type::QUANT));
  EXPECT_EQ(c, char_mat_type(2, 3, matrix_type::CNTCH));
  char_mat_type d(1, 2, matrix_type::DISCR), other_cell(1, 2, matrix_type::DISCR);
  other_cell.discr_data()(0, 1) = 'A';
  EXPECT_EQ(d, char_mat_type(1, 2, matrix_type::DISCR));
  EXPECT_FALSE(d == other_cell);
}

TEST(CharMatType, OnlyTheDataOfItsKindExists) {
  char_mat_type q(1, 1, matrix_type::QUANT), d(1, 1, matrix_type::DISCR), c(1, 1, matrix_type::CNTCH);
  EXPECT_NO_THROW(q.quant_data());
  EXPECT_THROW(q.discr_data(), range_error);
  EXPECT_THROW(q.count_data(), range_error);
  EXPECT_THROW(d.quant_data(), range_error);
  EXPECT_THROW(std::as_const(c).discr_data(), range_error);
  EXPECT_EQ(d.labels.size(), 1u);
  EXPECT_EQ(d.labels[0], "");
  EXPECT_EQ(d.tax_comments[0], "");
  // A size whose cell count would wrap around.
  EXPECT_THROW(char_mat_type(4, static_cast<std::size_t>(-1) / 2, matrix_type::DISCR), range_error);
}

} // namespace

// A size whose rounding up to whole pages would wrap around is no allocation at all (it once
// returned a small block that failed on the first write).
TEST(Arrays, SizesThatCannotExistThrowBadAlloc) {
  EXPECT_THROW(phylo::fixed_array<float>((std::size_t{1} << 62) - 1), std::bad_alloc);
  EXPECT_THROW(phylo::fixed_array<char>(static_cast<std::size_t>(-1) - 4096), std::bad_alloc);
  EXPECT_THROW(phylo::fixed_array<float>(static_cast<std::size_t>(-1) / 2), std::bad_alloc);
}

// A large block has a mapping of its own: what lies around the aligned block is unmapped at
// once and the block on release, so that a thousand blocks leave the address space as it was.
TEST(Arrays, LargeBlocksGiveBackTheirMappings) {
  auto mapped = [] {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    return pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  };
  const std::size_t before = mapped();
  for (int k = 0; k < 1000; ++k) phylo::fixed_array<char> block(std::size_t{3} << 20);
  EXPECT_LT(mapped(), before + (std::size_t{64} << 20));
}

// A matrix larger than the memory there is is refused with what it would need, before any
// allocation; one that fits is made.
TEST(DistMat, TooLargeForMemoryIsRefusedWithItsSize) {
  EXPECT_EQ(phylo::square_matrix_bytes(1000, 4), 4000000u + 1000u * sizeof(std::string));
  EXPECT_EQ(phylo::square_matrix_bytes(std::size_t{1} << 40, 4), UINT64_MAX);
  ASSERT_TRUE(phylo::available_memory().has_value()); // Linux tells it
  try {
    phylo::new_dist_mat(std::size_t{1} << 24);
    FAIL() << "a matrix of 2^24 taxa (1 PiB) was made";
  } catch (const phylo::range_error &e) {
    const std::string what = e.what();
    EXPECT_EQ(what.rfind("a matrix of 16777216 taxa needs 1048576.5 GiB of memory, but ", 0), 0u) << what;
    EXPECT_NE(what.find(" GiB are available"), std::string::npos) << what;
  }
  EXPECT_EQ(phylo::new_dist_mat(3)->n_tax(), 3u);
}
