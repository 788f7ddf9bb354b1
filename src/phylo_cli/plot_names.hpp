// The names of phylo plot's orders and colour maps, as --order and --colors take them.
#pragma once

#include "options.hpp"

#include "phylo/svg.hpp"

namespace phylo_cli {

enum class plot_order { UPGMA, NJ, BIONJ, INPUT };
inline constexpr cli::named<plot_order> plot_orders[] = {
    {"upgma", plot_order::UPGMA},
    {"nj", plot_order::NJ},
    {"bionj", plot_order::BIONJ},
    {"input", plot_order::INPUT},
};
inline constexpr cli::named<phylo::svg::colour_map_type> plot_colour_maps[] = {
    {"viridis", phylo::svg::colour_map_type::VIRIDIS},
    {"magma", phylo::svg::colour_map_type::MAGMA},
    {"inferno", phylo::svg::colour_map_type::INFERNO},
    {"grey", phylo::svg::colour_map_type::GREY},
};

} // namespace phylo_cli
