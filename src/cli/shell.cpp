#include "shell.hpp"

#include "options.hpp"
#include "phylo/chars.hpp"
#include "phylo/output_file.hpp"
#include "phylo/words.hpp"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <new>
#include <unistd.h>

namespace cli {

void reserve_standard_descriptors() noexcept {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1) {
      const int null = ::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
      if (null >= 0 && null != fd) ::close(null);
    }
  }
}

std::string program_name(std::string_view invoked_as, std::string_view fallback) {
  const std::string_view p = invoked_as.empty() ? fallback : invoked_as;
  const std::size_t slash = p.rfind('/');
  return std::string(slash == std::string_view::npos ? p : p.substr(slash + 1));
}

void reporter::operator()(std::string_view text) const {
  std::string message = program_ + ": ";
  message.append(text);
  line(message);
}

void reporter::line(std::string_view text) const {
  try {
    if (escape_) {
      for (std::size_t p = 0; p <= text.size();) {
        const std::size_t nl = std::min(text.find('\n', p), text.size());
        sink_.write(phylo::escape_controls(text.substr(p, nl - p)));
        if (nl < text.size()) sink_.put('\n');
        p = nl + 1;
      }
    } else {
      sink_.write(text);
    }
    sink_.put('\n');
    sink_.flush();
  } catch (const phylo::write_error &) {
    if (!carry_on_) throw;
  }
}

input_operand::input_operand(const std::string &operand, phylo::input_source &standard_input) {
  if (operand == "-") {
    source_ = &standard_input;
  } else {
    file_.emplace(phylo::input_source::open_file(operand));
    source_ = &*file_;
  }
}

std::string place(const std::string &name, std::size_t line) {
  return name + ":" + (line != 0 ? std::to_string(line) + ": " : " ");
}

std::string describe(const phylo::error &e) {
  const phylo::input_position *where = e.where();
  if (!where || where->name.empty()) return e.what();
  return place(where->name, where->line) + e.what();
}

void refuse_cr_line_ends(const reporter &report, phylo::input_source &in, bool nexus_passes) {
  bool cr = false;
  try {
    cr = phylo::read::first_line_ends_in_cr(in, nexus_passes);
  } catch (const phylo::error &) {
    // a read error: the reader meets it again and reports it as it reports its own
  }
  if (cr) {
    report(in.name() + ":1: the line ends are carriage returns alone (CR); the lines must end in a line feed "
                       "(LF or CR LF)");
    throw data_refused{};
  }
}

int run_with_output(const streams_type &streams, const std::optional<std::string> &output,
                    const std::function<void()> &body) {
  const reporter &report = streams.report;
  try {
    std::unique_ptr<phylo::output_file> file;
    std::optional<phylo::output_sink> sink;
    if (output) {
      file = std::make_unique<phylo::output_file>(*output, phylo::output_file::on_signal::remove_file);
      sink.emplace(phylo::output_sink::to_fd(file->fd(), *output));
    }
    phylo::output_sink &out = sink ? *sink : streams.standard_output;
    phylo::scoped_output use(out);
    try {
      body();
    } catch (...) {
      if (!output) {
        try {
          out.flush(); // what was written before the failure stays
        } catch (const phylo::error &) {
        }
      }
      throw;
    }
    out.flush();
    if (file) file->commit();
    return 0;
  } catch (const data_refused &) {
    return 1;
  } catch (const phylo::error &e) {
    report(describe(e));
    return 1;
  } catch (const std::bad_alloc &) {
    report("out of memory");
    return 1;
  }
}

int print_text(const streams_type &streams, std::string_view text) {
  try {
    streams.standard_output.write(text);
    streams.standard_output.flush();
    return 0;
  } catch (const phylo::write_error &e) {
    streams.report(e.what());
    return 1;
  }
}

int run_subcommand(const streams_type &streams, std::string_view name, std::string_view help_text,
                   const std::function<bool()> &parse, const std::function<int()> &body) {
  const reporter &report = streams.report;
  bool help = false;
  try {
    help = parse();
  } catch (const usage_error &e) {
    report(std::string(name) + ": " + e.message + "\nTry '" + report.program() + " " + std::string(name) +
           " --help' for more information.");
    return 2;
  }
  if (help) return print_text(streams, help_text);
  return body();
}

} // namespace cli
