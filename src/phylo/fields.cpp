#include "fields.hpp"

#include "line_input.hpp"
#include "number_scan.hpp"
#include "phylo/chars.hpp"
#include "phylo/types.hpp"

namespace phylo::detail {
namespace {

bool ascii_blank(int c) noexcept { return c == ' ' || c == '\t' || c == '\r'; }

} // namespace

field_delimiter delimiter_of_line(input_source &in) {
  bool comma = false;
  for (std::size_t k = 0;; ++k) {
    const int c = in.peek_at(k);
    if (c < 0 || c == '\n') break;
    if (c == '\t') return field_delimiter::TAB;
    comma = comma || c == ',';
  }
  return comma ? field_delimiter::COMMA : field_delimiter::BLANKS;
}

std::string_view trim_field(std::string_view text) noexcept {
  while (!text.empty() && ascii_blank(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && ascii_blank(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

bool read_record(input_source &in, field_delimiter delimiter, record_type &record, std::size_t blank_limit) {
  record.size = 0;
  if (!skip_blank_lines(in, blank_limit) || in.peek() < 0) return false;
  record.line = in.line();
  const std::uint64_t line_start = in.offset();
  const char separator = delimiter == field_delimiter::COMMA ? ',' : '\t';
  for (;;) { // one field per round
    if (delimiter == field_delimiter::BLANKS)
      while (in.peek() == ' ' || in.peek() == '\t') in.advance();
    if (record.size == record.fields.size()) {
      record.fields.emplace_back();
      record.columns.push_back(0);
    }
    std::string &field = record.fields[record.size];
    record.columns[record.size] = static_cast<std::size_t>(in.offset() - line_start) + 1;
    ++record.size;
    field.clear();
    int c = in.peek();
    if (c == '"') {
      in.advance();
      for (;;) {
        c = in.peek();
        if (c < 0)
          throw format_error("the input ends in a quoted field",
                             input_position{in.name(), record.line, record.columns[record.size - 1]});
        in.advance();
        if (c == '"') {
          if (in.peek() != '"') break;
          in.advance();
        }
        field.push_back(static_cast<char>(c));
      }
      while (in.peek() == ' ' || (in.peek() == '\t' && delimiter != field_delimiter::TAB)) in.advance();
      if (in.peek() == '\r' && in.peek_at(1) == '\n') in.advance();
      c = in.peek();
      if (c >= 0 && c != '\n' && c != separator && !(delimiter == field_delimiter::BLANKS && c == ' '))
        throw format_error("a quoted field is followed by " + describe_char(c) + " where a delimiter should be",
                           in.position());
    } else {
      for (;;) {
        const std::string_view chunk = in.buffered();
        std::size_t n = 0;
        if (delimiter == field_delimiter::BLANKS) {
          while (n < chunk.size() && chunk[n] != ' ' && chunk[n] != '\t' && chunk[n] != '\n') ++n;
        } else {
          while (n < chunk.size() && chunk[n] != separator && chunk[n] != '\n') ++n;
        }
        field.append(chunk.data(), n);
        in.consume(n);
        if (n < chunk.size() || chunk.empty()) break;
      }
      if (!field.empty() && field.back() == '\r' && (in.peek() < 0 || in.peek() == '\n')) field.pop_back();
      if (delimiter == field_delimiter::BLANKS) {
        while (in.peek() == ' ' || in.peek() == '\t' || in.peek() == '\r') in.advance();
        if (field.empty() && record.size == 1) --record.size;
      }
      c = in.peek();
    }
    if (c < 0) return true;
    if (c == '\n') {
      in.advance();
      return true;
    }
    if (delimiter != field_delimiter::BLANKS) in.advance(); // the separator
  }
}

void fail_header_mismatch(std::size_t k, std::string_view row_label, std::string_view header_label,
                          input_position where) {
  throw format_error("row " + std::to_string(k + 1) + " is labelled " + quote_text(row_label) +
                         ", but the header names " + quote_text(header_label) + " in column " + std::to_string(k + 1) +
                         ": the header must name the rows in their order",
                     std::move(where));
}

} // namespace phylo::detail
