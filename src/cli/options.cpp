#include "options.hpp"

namespace cli {
namespace {

const option_def *find_long(std::string_view name, std::span<const option_def> defs) {
  const option_def *match = nullptr;
  int prefixes = 0;
  for (const option_def &s : defs) {
    if (s.long_name == name) return &s;
    if (s.long_name.substr(0, name.size()) == name) {
      match = &s;
      ++prefixes;
    }
  }
  if (prefixes > 1) throw usage_error{"option '--" + std::string(name) + "' is ambiguous"};
  if (!match) throw usage_error{"unknown option '--" + std::string(name) + "'"};
  return match;
}

const option_def *find_short(char c, std::span<const option_def> defs) {
  for (const option_def &s : defs)
    if (s.short_name && s.short_name == c) return &s;
  throw usage_error{std::string("unknown option '-") + c + "'"};
}

} // namespace

parsed_args parse_options(std::span<char *const> args, std::span<const option_def> defs) {
  parsed_args out;
  for (std::size_t k = 0; k < args.size(); ++k) {
    std::string_view arg = args[k];
    if (arg == "--") {
      for (++k; k < args.size(); ++k) out.operands.emplace_back(args[k]);
      break;
    }
    if (arg.size() > 2 && arg.substr(0, 2) == "--") {
      std::string_view body = arg.substr(2);
      std::size_t eq = body.find('=');
      const option_def *def = find_long(body.substr(0, eq), defs);
      const std::string shown = "--" + std::string(def->long_name);
      parsed_option o{def, std::nullopt};
      if (eq != std::string_view::npos) {
        if (def->arg == arg_kind::NONE) throw usage_error{"option '" + shown + "' takes no value"};
        o.value.emplace(body.substr(eq + 1));
      } else if (def->arg == arg_kind::REQUIRED) {
        if (k + 1 >= args.size()) throw usage_error{"option '" + shown + "' needs a value"};
        o.value.emplace(args[++k]);
      }
      if (o.value && o.value->empty() && def->arg == arg_kind::REQUIRED)
        throw usage_error{"option '" + shown + "' needs a value, not an empty one"};
      out.options.push_back(std::move(o));
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      for (std::size_t p = 1; p < arg.size(); ++p) {
        const option_def *def = find_short(arg[p], defs);
        parsed_option o{def, std::nullopt};
        if (def->arg != arg_kind::NONE && p + 1 < arg.size()) {
          o.value.emplace(arg.substr(p + 1));
          p = arg.size();
        } else if (def->arg == arg_kind::REQUIRED) {
          if (k + 1 >= args.size()) throw usage_error{std::string("option '-") + arg[p] + "' needs a value"};
          o.value.emplace(args[++k]);
        }
        if (o.value && o.value->empty() && def->arg == arg_kind::REQUIRED)
          throw usage_error{std::string("option '-") + arg[p] + "' needs a value, not an empty one"};
        out.options.push_back(std::move(o));
      }
      continue;
    }
    out.operands.emplace_back(arg);
  }
  return out;
}

} // namespace cli
