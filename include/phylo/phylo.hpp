// phylo: the whole library.
#pragma once

#include "phylo/chars.hpp"
#include "phylo/dist_check.hpp"
#include "phylo/dist_print.hpp"
#include "phylo/dist_read.hpp"
#include "phylo/distfunc.hpp"
#include "phylo/io.hpp"
#include "phylo/print.hpp"
#include "phylo/read.hpp"
#include "phylo/text.hpp"
#include "phylo/types.hpp"
