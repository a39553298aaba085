// The report's charts as inline SVG: horizontal bars, bars stacked by tier
// letter, and histograms. Each has a title and a description for screen
// readers, and text labels on the chart itself; the numbers stand beside it
// in a table (html_writer.h). Nothing is fetched: no fonts, no images.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cmg290::cli::report {

// Escapes &, <, >, " and ' for HTML text and attribute values.
std::string html_escape(const std::string& text);

struct ChartText {
  std::string id;     // unique on the page, for the title's and description's ids
  std::string title;  // shown to screen readers and as a tooltip
  std::string desc;
};

// One horizontal bar per label, its count written at its end.
std::string bar_chart(const ChartText& text, const std::vector<std::string>& labels,
                      const std::vector<std::uint64_t>& values);

// One horizontal bar per row, split into the series' shares (each row's
// values in series order) and drawn at full width, with a legend.
std::string stacked_bars(const ChartText& text, const std::vector<std::string>& rows,
                         const std::vector<std::string>& series,
                         const std::vector<std::vector<std::uint64_t>>& values);

// Vertical columns over bins, labelled below.
std::string histogram_chart(const ChartText& text, const std::vector<std::string>& bins,
                            const std::vector<std::uint64_t>& values);

}  // namespace cmg290::cli::report
