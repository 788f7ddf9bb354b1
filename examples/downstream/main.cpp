// downstream: reads the distance matrices of standard input in the extended PHYLIP layout,
// divides every distance by the largest one, and writes them tab-separated.
//
//   c++ -std=c++20 main.cpp $(pkg-config --cflags --libs phylo) -o downstream
#include <phylo/phylo.hpp>

#include <cstdio>

int main() {
  using phylo::dist_format_type;
  try {
    while (!phylo::read::at_end()) {
      phylo::dist_mat_type dist(phylo::read::read_dist_header(dist_format_type::EXTENDED_PHYLIP));
      phylo::read::read_dist_mat(dist_format_type::EXTENDED_PHYLIP, dist);
      phylo::distfunc::convert_dist(dist, phylo::distfunc::dist_conv_type::RANGING);
      phylo::print::print_dist_mat(dist, dist_format_type::TAB);
    }
    phylo::current_output().flush();
  } catch (const phylo::error &e) {
    phylo::current_output().flush();
    std::fprintf(stderr, "downstream: %s: %s\n", e.kind(), e.what());
    return 1;
  }
}
