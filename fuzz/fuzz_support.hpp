// Shared by the fuzz targets: in-memory input and output, typed-error guard, property checks.
#pragma once

#include "phylo/io.hpp"
#include "phylo/types.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

namespace phylo::fuzz {

// A property that must hold: reports and aborts, so that the fuzzer keeps the input.
#define FUZZ_CHECK(cond)                                                                                               \
  do {                                                                                                                 \
    if (!(cond)) {                                                                                                     \
      std::fprintf(stderr, "%s:%d: property violated: %s\n", __FILE__, __LINE__, #cond);                               \
      std::abort();                                                                                                    \
    }                                                                                                                  \
  } while (0)

// Runs f; a phylo::error is an accepted outcome and is returned as its kind (nullptr when f
// succeeded). Anything else thrown aborts: the library raises its typed errors only.
template <class F> const char *typed_errors_only(F &&f) {
  try {
    f();
    return nullptr;
  } catch (const phylo::error &e) {
    return e.kind();
  } catch (const std::exception &e) {
    std::fprintf(stderr, "untyped exception: %s\n", e.what());
    std::abort();
  } catch (...) {
    std::fprintf(stderr, "exception of unknown type\n");
    std::abort();
  }
}

// The input as text, and the input without its first k bytes (which steer the target).
inline std::string_view as_text(const std::uint8_t *data, std::size_t size) {
  return {reinterpret_cast<const char *>(data), size};
}

// Makes a text the current input for the lifetime of the object.
struct text_input {
  explicit text_input(std::string_view text, std::string name = "fuzz input")
      : source(input_source::from_text(text, std::move(name))), scope(source) {}
  input_source source;
  scoped_input scope;
};

// A sink that appends to a string, made once and reused: a sink's buffer is large, and making
// one on every run would cost more than the run. Use: reset, write, take.
struct reused_sink {
  output_sink &sink() { return sink_; }
  void reset() {
    sink_.take_text(); // drops what an aborted run left behind
  }
  const std::string &take() { return sink_.text(); }

private:
  output_sink sink_ = output_sink::to_string();
};

// Collects the current output for the lifetime of the object (not nested).
struct captured_output {
  captured_output() : scope(shared().sink()) { shared().reset(); }
  std::string text() { return shared().take(); }
  static reused_sink &shared() {
    static reused_sink s;
    return s;
  }
  scoped_output scope;
};

} // namespace phylo::fuzz
