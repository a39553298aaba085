#include "html_parts.h"

#include <cstdio>

#include "svg_charts.h"

namespace cmg290::cli::report {

Cell num(std::uint64_t v) {
  std::string digits = std::to_string(v);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(i, ",");
  return {digits, true};
}

Cell fixed(const std::optional<double>& v, int decimals) {
  if (!v) return {"\u2013", true};
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, *v);
  return {text, true};
}

Cell percent(std::uint64_t part, std::uint64_t whole) {
  if (whole == 0) return {"\u2013", true};
  return fixed(100.0 * static_cast<double>(part) / static_cast<double>(whole), 1);
}

std::string table_html(const Table& t) {
  std::string s =
      "<table id=\"" + t.id + "\"><caption>" + html_escape(t.caption) + "</caption><thead><tr>";
  for (const std::string& h : t.head) s += "<th scope=\"col\">" + html_escape(h) + "</th>";
  s += "</tr></thead><tbody>";
  for (const auto& row : t.rows) {
    s += "<tr>";
    for (std::size_t i = 0; i < row.size(); ++i) {
      const char* open = i == 0 ? "<th scope=\"row\"" : "<td";
      s += std::string(open) + (row[i].number ? " class=\"n\">" : ">") + html_escape(row[i].text) +
           (i == 0 ? "</th>" : "</td>");
    }
    s += "</tr>";
  }
  return s + "</tbody></table>";
}

// A chart with its table beside it.
std::string figure(const std::string& chart, const Table& t) {
  return "<div class=\"figure\"><div class=\"chart-box\">" + chart + "</div>" + table_html(t) +
         "</div>";
}

std::string section(const std::string& id, const std::string& title, const std::string& body) {
  return "<section id=\"" + id + "\"><h2>" + html_escape(title) + "</h2>" + body + "</section>";
}

std::string paragraph(const std::string& text) {
  return "<p>" + html_escape(text) + "</p>";
}

}  // namespace cmg290::cli::report
