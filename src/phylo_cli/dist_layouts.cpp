#include "dist_layouts.hpp"

#include "phylo/nexus.hpp"
#include "phylo/phylip.hpp"

namespace phylo_cli {

void write_matrix(const phylo::dist_mat_type &mat, const output_layout &to) {
  switch (to.writer) {
  case writer_type::KARVEL: return phylo::print::print_dist_mat(mat, to.format);
  case writer_type::LOWER: return phylo::print::print_lower_dist_mat(mat, to.format);
  case writer_type::NEXUS: return phylo::print::print_nexus_dist_mat(mat);
  }
}

} // namespace phylo_cli
