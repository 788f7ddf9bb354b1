# phylo count: the quartet and triplet counts, at their limits and in between, and what N may be.

quartets_4: phylo count quartets 4
  out "1\n"
quartets_477: phylo count quartets 477
  out "2130031575\n"
triplets_3: phylo count triplets 3
  out "1\n"
triplets_2345: phylo count triplets 2345
  out "2146453540\n"
quartets_5: phylo count quartets 5
  out "5\n"
quartets_10: phylo count quartets 10
  out "210\n"
triplets_5: phylo count triplets 5
  out "10\n"
triplets_10: phylo count triplets 10
  out "120\n"
triplets_477: phylo count triplets 477
  out "17974950\n"
leading_zeros: phylo count triplets 0004
  out "4\n"

# Counts out of range give the library's message; too few taxa only the explanation.
quartets_478: phylo count quartets 478
  status 1
  err "Too many quartets.\n"
quartets_3: phylo count quartets 3
  status 1
  err "phylo: count: fewer than 4 taxa give no quartet\n"
quartets_0: phylo count quartets 0
  like quartets_3
quartets_beyond_64_bits: phylo count quartets 99999999999999999999
  like quartets_478
quartets_int_max: phylo count quartets 2147483647
  like quartets_478
triplets_2346: phylo count triplets 2346
  status 1
  err "Too many triplets.\n"
triplets_2: phylo count triplets 2
  status 1
  err "phylo: count: fewer than 3 taxa give no triplet\n"
triplets_int_max: phylo count triplets 2147483647
  like triplets_2346

nothing_to_count: phylo count
  status 2
  err "phylo: count: give what to count (quartets or triplets) and N\nTry 'phylo count --help' for more information.\n"
no_n: phylo count quartets
  like nothing_to_count
two_numbers: phylo count quartets 5 6
  like nothing_to_count
unknown_thing: phylo count pairs 5
  status 2
  err "phylo: count: 'pairs' is not one of quartets, triplets\nTry 'phylo count --help' for more information.\n"
not_a_number: phylo count quartets x
  status 2
  err "phylo: count: N must be a whole number of taxa, not 'x'\nTry 'phylo count --help' for more information.\n"
negative: phylo count quartets -3
  status 2
  err "phylo: count: unknown option '-3'\nTry 'phylo count --help' for more information.\n"
fraction: phylo count triplets 1.5
  status 2
  err "phylo: count: N must be a whole number of taxa, not '1.5'\nTry 'phylo count --help' for more information.\n"
empty: phylo count quartets ""
  status 2
  err "phylo: count: N must be a whole number of taxa, not ''\nTry 'phylo count --help' for more information.\n"

help: phylo count --help
  out @phylo_count.help
  width 80
