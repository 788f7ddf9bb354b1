// The input primitives of phylo::read, and the line handling that every reader shares.
#include "phylo/words.hpp"

#include "line_input.hpp"

#include <cstring>

namespace phylo::detail {

char next_char(input_source &in) {
  for (;;) {
    const int c = in.peek();
    if (c < 0) fail_at<end_of_input>(in, "the input ends where a character was expected");
    in.advance();
    if (c != '\n') return static_cast<char>(c);
  }
}

void discard_line(input_source &in) {
  for (;;) {
    const std::string_view chunk = in.buffered();
    if (chunk.empty()) return;
    const void *hit = std::memchr(chunk.data(), '\n', chunk.size());
    if (hit) {
      in.consume(static_cast<std::size_t>(static_cast<const char *>(hit) - chunk.data()) + 1);
      return;
    }
    in.consume(chunk.size());
  }
}

std::size_t count_line_tabs(input_source &in) {
  std::size_t tabs = 0;
  for (;;) {
    const std::string_view chunk = in.buffered();
    if (chunk.empty()) return tabs;
    const char *nl = static_cast<const char *>(std::memchr(chunk.data(), '\n', chunk.size()));
    const std::size_t len = nl ? static_cast<std::size_t>(nl - chunk.data()) : chunk.size();
    for (std::size_t i = 0; i < len; ++i) tabs += chunk[i] == '\t';
    in.consume(nl ? len + 1 : len);
    if (nl) return tabs;
  }
}

void skip_blank_lines(input_source &in) {
  for (;;) {
    std::size_t k = 0;
    int c;
    while (is_blank<true>(c = in.peek_at(k))) ++k;
    if (c != '\n') return;
    in.consume(k + 1);
  }
}

bool only_space_left(input_source &in) {
  for (std::size_t k = 0;; ++k) {
    const int c = in.peek_at(k);
    if (c < 0) return true;
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  }
}

bool take_word(input_source &in, const word_rules &rules, std::string *keep) {
  bool taken = false;
  for (;;) {
    const int c = in.peek();
    if (c < 0) return taken;
    if (c == '\n') {
      if (taken || !rules.pass_line_ends) return taken;
      in.advance();
      continue;
    }
    if (rules.delimiters.contains(static_cast<unsigned char>(c))) {
      if (taken) {
        if (rules.consume_delimiter) in.advance();
        return true;
      }
      in.advance();
      continue;
    }
    in.advance();
    taken = true;
    if (keep) keep->push_back(static_cast<char>(c));
  }
}

std::size_t take_phylip_label(input_source &in, bool within_line, std::string &label) {
  label.clear();
  if (!within_line) {
    for (int k = 0; k < 10; ++k) label.push_back(next_char(in));
    return 10;
  }
  while (label.size() < 10) {
    const int c = in.peek();
    if (c < 0 || c == '\n' || (c == '\r' && in.peek_at(1) == '\n')) break;
    label.push_back(static_cast<char>(c));
    in.advance();
  }
  return label.size();
}

} // namespace phylo::detail

namespace phylo::read {
namespace {

void take_strict_word(const char_set_type &delimiters, std::string *keep) {
  input_source &in = current_input();
  if (!detail::take_word(in, {delimiters, true, true}, keep))
    detail::fail_at<end_of_input>(in, "the input ends where a word was expected");
}

} // namespace

char read_char() { return detail::next_char(current_input()); }

bool at_end_of_line() {
  const int c = current_input().peek();
  return c < 0 || c == '\n';
}

void skip_line() {
  input_source &in = current_input();
  if (in.peek() < 0) detail::fail_at<end_of_input>(in, "the input ends where a line was expected");
  detail::discard_line(in);
}

void end_row() { detail::discard_line(current_input()); }

bool at_end() { return detail::only_space_left(current_input()); }

std::string get_word(const char_set_type &delimiters) {
  std::string word;
  take_strict_word(delimiters, &word);
  return word;
}

void skip_word(const char_set_type &delimiters) { take_strict_word(delimiters, nullptr); }

char get_black(const char_set_type &set) {
  input_source &in = current_input();
  for (;;) {
    const char c = detail::next_char(in);
    if (!set.contains(c)) return c;
  }
}

std::string black_only(std::string_view text, const char_set_type &set) {
  std::string out;
  append_black(out, text, set);
  return out;
}

void append_black(std::string &target, std::string_view text, const char_set_type &set) {
  for (char c : text)
    if (!set.contains(c)) target.push_back(c);
}

} // namespace phylo::read
