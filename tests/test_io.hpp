// Helpers for feeding text to the readers and collecting what the writers write.
#pragma once

#include "phylo/io.hpp"

#include <string>
#include <string_view>

namespace phylo::test {

// Makes a text the current input for the lifetime of the object.
struct text_input {
  explicit text_input(std::string_view text) : source(input_source::from_text(text)), scope(source) {}
  input_source source;
  scoped_input scope;
};

// Collects the current output; text() flushes and returns everything written so far.
struct captured_output {
  captured_output() : sink(output_sink::to_string(buffer)), scope(sink) {}
  const std::string &text() {
    sink.flush();
    return buffer;
  }
  std::string buffer;
  output_sink sink;
  scoped_output scope;
};

} // namespace phylo::test
