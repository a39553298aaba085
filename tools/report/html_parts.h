// The pieces the report's page is made of: tables of cells, a chart with
// its table beside it, sections, and numbers as the page writes them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "figures.h"

namespace cmg290::cli::report {

struct Cell {
  std::string text;
  bool number = false;  // right-aligned
};

// "1,234,567".
Cell num(std::uint64_t v);
// The value with `decimals` decimals; a dash for none.
Cell fixed(const std::optional<double>& v, int decimals);
// The part's share of the whole in per cent, one decimal; a dash for none.
Cell percent(std::uint64_t part, std::uint64_t whole);

struct Table {
  std::string id;
  std::string caption;
  std::vector<std::string> head;
  std::vector<std::vector<Cell>> rows;  // the first cell heads its row
};

std::string table_html(const Table& t);
// A chart with its table beside it.
std::string figure(const std::string& chart, const Table& t);
std::string section(const std::string& id, const std::string& title, const std::string& body);
std::string paragraph(const std::string& text);

// The sections of their own files (html_sections.cpp).
std::string edits_html(const Figures& f);
std::string case_mix_html(const Figures& f);

}  // namespace cmg290::cli::report
