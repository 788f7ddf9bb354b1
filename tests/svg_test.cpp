// Tests of include/phylo/svg.hpp: escaping, numbers and the colour maps (the cases in
// tests/data/lib/svg.cases), and the writer's elements.

#include "case_table.hpp"

#include "phylo/svg.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

namespace phylo::svg {
namespace {

colour_map_type map_named(const std::string &name) {
  return test::named<colour_map_type>(name, {"viridis", "magma", "inferno", "grey"});
}

TEST(Svg, Cases) {
  test::run_cases(
      "svg.cases",
      {{"escape", [](const std::vector<std::string> &a) { return escape(a.at(0)); }},
       {"number", [](const std::vector<std::string> &a) { return number(std::stod(a.at(0)), std::stoi(a.at(1))); }},
       {"index", [](const std::vector<std::string> &a) { return std::to_string(colour_index(std::stod(a.at(0)))); }},
       {"colour",
        [](const std::vector<std::string> &a) { return hex(colour_table(map_named(a.at(0)))[std::stoul(a.at(1))]); }},
       {"digest", [](const std::vector<std::string> &a) {
          std::uint64_t h = 0xcbf29ce484222325; // FNV-1a of the entries, as the bytes b, g, r, 0 of each
          for (const rgb c : colour_table(map_named(a.at(0))))
            for (const std::uint8_t byte : {c.b, c.g, c.r, std::uint8_t{0}}) h = (h ^ byte) * 0x100000001b3;
          char text[17];
          std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
          return std::string(text);
        }}});
}

// Every map grows lighter from its first entry to its last (the sum of the components, a rough
// lightness, with the small dips of the hue turns allowed), and its accents stand far from each
// entry.
TEST(Svg, MapsRiseAndAccentsStandApart) {
  for (colour_map_type map :
       {colour_map_type::VIRIDIS, colour_map_type::MAGMA, colour_map_type::INFERNO, colour_map_type::GREY}) {
    const auto &table = colour_table(map);
    auto light = [](rgb c) { return 0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b; };
    for (std::size_t k = 8; k < 256; ++k) EXPECT_LT(light(table[k - 8]), light(table[k])) << k;
    const accent_colours a = accents(map);
    EXPECT_NE(a.diagonal, a.undefined);
    for (const rgb &c : table)
      for (rgb accent : {a.diagonal, a.undefined}) {
        const double dr = c.r - accent.r, dg = c.g - accent.g, db = c.b - accent.b;
        EXPECT_GT(std::sqrt(dr * dr + dg * dg + db * db), 60) << hex(c) << " near " << hex(accent);
      }
  }
  EXPECT_EQ(map_colour(colour_map_type::VIRIDIS, 0.5), colour_table(colour_map_type::VIRIDIS)[128]);
}

TEST(Svg, WriterNestsAndEscapes) {
  output_sink sink = output_sink::to_string();
  writer w(sink);
  w.start_document(100, 50.5, "a <title> & more");
  EXPECT_EQ(w.depth(), 1u);
  w.open("g", {{"id", "x\"y"}, {"opacity", 0.25}});
  w.element("text", {{"x", 1.0}}, "A&B");
  w.empty("rect", {{"width", 3.0}});
  w.raw("<!-- raw -->");
  w.text("<");
  EXPECT_EQ(w.depth(), 2u);
  w.finish();
  EXPECT_EQ(w.depth(), 0u);
  EXPECT_THROW(w.close(), range_error);
  EXPECT_THROW(w.start_document(1, 1, ""), range_error);
  EXPECT_EQ(sink.take_text(),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" \"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"100\" height=\"50.5\" viewBox=\"0 0 "
            "100 50.5\">\n<title>a &lt;title&gt; &amp; more</title>\n"
            "<g id=\"x&quot;y\" opacity=\"0.25\"><text x=\"1\">A&amp;B</text><rect width=\"3\"/><!-- raw -->&lt;</g>\n"
            "</svg>\n");
}

} // namespace
} // namespace phylo::svg
