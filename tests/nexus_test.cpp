// NEXUS: the TAXA and DISTANCES blocks that the recognising reader reads, and the labels of
// standard NEXUS. The cases are in tests/data/lib/nexus.cases; the texts as written are compared
// whole by the command-line cases.
#include "case_table.hpp"
#include "phylo/label.hpp"
#include "test_io.hpp"
#include <gtest/gtest.h>

namespace {

TEST(Nexus, Cases) {
  phylo::test::run_cases("nexus.cases",
                         {{"dist", phylo::test::read_dist_text},
                          {"quoted", [](const auto &a) { return phylo::print::to_quoted_nexus_label(a[0]); }}});
}

} // namespace
