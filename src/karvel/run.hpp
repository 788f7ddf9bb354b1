// karvel's run, callable in-process: the command line, standard input and the two output
// streams are parameters, so that tests and fuzz targets can drive a whole run in memory.
#pragma once

#include "phylo/io.hpp"

#include <string>
#include <vector>

namespace karvel {

// Runs karvel over `args` (the arguments after the program name) and returns the exit
// status. `invoked_as` is the program name as the process received it (argv[0]). A lone "-"
// reads `standard_input`; matrices go to `out`, the usage text and every diagnostic to
// `diagnostics`. Output that cannot be written is reported on `diagnostics` with status 1.
// Nothing escapes but what `diagnostics` itself throws when it cannot be written.
int run(const std::string &invoked_as, const std::vector<std::string> &args, phylo::input_source &standard_input,
        phylo::output_sink &out, phylo::output_sink &diagnostics);

} // namespace karvel
