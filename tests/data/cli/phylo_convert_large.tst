# phylo convert beyond karvel's 5000 taxa (at the long sizes): a square of 12,000 and a lower
# triangle of 20,000 taxa read and written whole, gigabytes through a pipe, in the memory of the
# matrix (4 bytes a cell) and 64 MiB more.
scale SQUARE 300 12000
scale SQUARE_RSS 64M 614M
scale LOWER 500 20000
scale LOWER_RSS 64M 1590M

square_to_lower: phylo convert --to=relaxed-lower square.dist
  file square.dist {matrix $SQUARE q}
  out {matrix $SQUARE L}
  rss $SQUARE_RSS
lower_to_lower: phylo convert --to=relaxed-lower lower.dist
  file lower.dist {matrix $LOWER l}
  out {matrix $LOWER L}
  rss $LOWER_RSS
