#include "svg_charts.h"

#include <algorithm>
#include <cstdio>

namespace cmg290::cli::report {

namespace {

// Colours told apart in print and by readers with the common colour-vision
// deficiencies.
constexpr const char* kSeriesColours[] = {"#0072b2", "#e69f00", "#009e73", "#cc79a7", "#999999"};
constexpr const char* kBarColour = "#0072b2";

std::string number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

std::string open_svg(const ChartText& t, int width, int height) {
  return "<svg class=\"chart\" viewBox=\"0 0 " + std::to_string(width) + " " +
         std::to_string(height) + "\" width=\"" + std::to_string(width) + "\" height=\"" +
         std::to_string(height) + "\" role=\"img\" aria-labelledby=\"" + t.id + "-title " + t.id +
         "-desc\"><title id=\"" + t.id + "-title\">" + html_escape(t.title) +
         "</title><desc id=\"" + t.id + "-desc\">" + html_escape(t.desc) + "</desc>";
}

std::string rect(double x, double y, double w, double h, const char* fill) {
  return "<rect x=\"" + number(x) + "\" y=\"" + number(y) + "\" width=\"" + number(w) +
         "\" height=\"" + number(h) + "\" fill=\"" + fill + "\"/>";
}

std::string text(double x, double y, const std::string& s, const char* anchor = "start") {
  return "<text x=\"" + number(x) + "\" y=\"" + number(y) + "\" text-anchor=\"" + anchor + "\">" +
         html_escape(s) + "</text>";
}

}  // namespace

std::string html_escape(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string bar_chart(const ChartText& t, const std::vector<std::string>& labels,
                      const std::vector<std::uint64_t>& values) {
  constexpr int kBar = 380, kValue = 110, kRow = 20;
  // Room for the longest label, at about 6.5 pixels a character.
  std::size_t longest = 0;
  for (const std::string& l : labels) longest = std::max(longest, l.size());
  const int kLabel = static_cast<int>(std::clamp<std::size_t>(longest * 13 / 2 + 12, 40, 320));
  const int height = kRow * static_cast<int>(labels.size()) + 8;
  const std::uint64_t top = std::max<std::uint64_t>(
      1, values.empty() ? 1 : *std::max_element(values.begin(), values.end()));
  std::string s = open_svg(t, kLabel + kBar + kValue, height);
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const double y = 4 + kRow * static_cast<double>(i);
    const double w = kBar * static_cast<double>(values[i]) / static_cast<double>(top);
    s += text(kLabel - 6, y + 14, labels[i], "end");
    s += rect(kLabel, y + 2, w, kRow - 5, kBarColour);
    s += text(kLabel + w + 4, y + 14, std::to_string(values[i]));
  }
  return s + "</svg>";
}

std::string stacked_bars(const ChartText& t, const std::vector<std::string>& rows,
                         const std::vector<std::string>& series,
                         const std::vector<std::vector<std::uint64_t>>& values) {
  constexpr int kLabel = 60, kBar = 520, kRow = 20, kLegend = 26;
  const int height = kLegend + kRow * static_cast<int>(rows.size()) + 8;
  std::string s = open_svg(t, kLabel + kBar + 20, height);
  for (std::size_t k = 0; k < series.size(); ++k) {
    const double x = kLabel + 90.0 * static_cast<double>(k);
    s += rect(x, 6, 12, 12, kSeriesColours[k % std::size(kSeriesColours)]);
    s += text(x + 16, 16, series[k]);
  }
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const double y = kLegend + kRow * static_cast<double>(i);
    std::uint64_t total = 0;
    for (std::uint64_t v : values[i]) total += v;
    s += text(kLabel - 6, y + 14, rows[i], "end");
    double x = kLabel;
    for (std::size_t k = 0; k < values[i].size() && total > 0; ++k) {
      const double w = kBar * static_cast<double>(values[i][k]) / static_cast<double>(total);
      s += rect(x, y + 2, w, kRow - 5, kSeriesColours[k % std::size(kSeriesColours)]);
      x += w;
    }
  }
  return s + "</svg>";
}

std::string histogram_chart(const ChartText& t, const std::vector<std::string>& bins,
                            const std::vector<std::uint64_t>& values) {
  constexpr int kPlot = 160, kTop = 18, kBottom = 22;
  // Columns wide enough for the longest label, at about 6.5 pixels a
  // character.
  std::size_t longest = 0;
  for (const std::string& b : bins) longest = std::max(longest, b.size());
  const int kColumn = static_cast<int>(std::clamp<std::size_t>(longest * 13 / 2 + 10, 36, 90));
  const int width = kColumn * static_cast<int>(bins.size()) + 20;
  const std::uint64_t top = std::max<std::uint64_t>(
      1, values.empty() ? 1 : *std::max_element(values.begin(), values.end()));
  std::string s = open_svg(t, width, kTop + kPlot + kBottom);
  for (std::size_t i = 0; i < bins.size(); ++i) {
    const double x = 10 + kColumn * static_cast<double>(i);
    const double h = kPlot * static_cast<double>(values[i]) / static_cast<double>(top);
    s += rect(x + 3, kTop + kPlot - h, kColumn - 6, h, kBarColour);
    s += text(x + kColumn / 2.0, kTop + kPlot - h - 4, std::to_string(values[i]), "middle");
    s += text(x + kColumn / 2.0, kTop + kPlot + 15, bins[i], "middle");
  }
  return s + "</svg>";
}

}  // namespace cmg290::cli::report
