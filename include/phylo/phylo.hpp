// phylo: the whole library, one header per format or role.
#pragma once

#include "phylo/char_matrix.hpp"
#include "phylo/chars.hpp"
#include "phylo/csv.hpp"
#include "phylo/dist_check.hpp"
#include "phylo/distfunc.hpp"
#include "phylo/dna_dist.hpp"
#include "phylo/fasta.hpp"
#include "phylo/io.hpp"
#include "phylo/label.hpp"
#include "phylo/nexus.hpp"
#include "phylo/number.hpp"
#include "phylo/pairs.hpp"
#include "phylo/phylip.hpp"
#include "phylo/text.hpp"
#include "phylo/types.hpp"
#include "phylo/words.hpp"
