// The head and foot of the report's page: its policy that nothing may be
// fetched (no script, font, image or style from anywhere), and its styles
// for screen and paper. `@page` sets margins that fit A4 and Letter alike
// and leaves the size to the printer.
#pragma once

#include <string>
#include <string_view>

#include "svg_charts.h"

namespace cmg290::cli::report {

// Up to the page's title, and from its end on.
inline constexpr const char* kPageTop =
    "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
    "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src "
    "'unsafe-inline'; img-src data:\">\n"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
    "<title>";
inline constexpr const char* kPageStyle =
    "</title>\n<style>\n"
    "body{font-family:system-ui,-apple-system,'Segoe UI',Roboto,sans-serif;color:#1a1a1a;"
    "background:#fff;margin:0 auto;max-width:1100px;padding:1rem 1.5rem;line-height:1.4}\n"
    "h1{font-size:1.6rem;margin:.5rem 0 1rem}h2{font-size:1.25rem;border-bottom:2px solid "
    "#0072b2;padding-bottom:.2rem;margin-top:2rem}h3{font-size:1.05rem;margin:1.2rem 0 .4rem}\n"
    "table{border-collapse:collapse;margin:.4rem 0 1rem;font-size:.85rem}\n"
    "caption{text-align:left;font-weight:600;padding:.2rem 0}\n"
    "th,td{border:1px solid #ccc;padding:.15rem .45rem;vertical-align:top}\n"
    "thead th{background:#eef3f8}tbody th{text-align:left;font-weight:500}\n"
    "td.n,th.n{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}\n"
    ".figure{display:flex;flex-wrap:wrap;gap:1.5rem;align-items:flex-start}\n"
    ".chart{max-width:100%;height:auto;font-size:11px;fill:#1a1a1a}\n"
    ".wide{overflow-x:auto}code{font-size:.85rem}\n"
    "@page{size:auto;margin:15mm 12mm}\n"
    "@media print{body{max-width:none;padding:0;font-size:10pt}h2{break-after:avoid}"
    ".figure,table,svg{break-inside:avoid}.wide{overflow:visible}a{color:inherit}}\n"
    "</style>\n</head>\n<body>\n<main>\n";

// The page's head with its title, up to the start of its content.
inline std::string page_head(const std::string& title) {
  return kPageTop + html_escape(title) + kPageStyle;
}

inline constexpr const char* kPageFoot = "\n</main>\n</body>\n</html>\n";

// The text of the page's one <style> element: a page that shows the report
// inside its own (the server's) allows exactly this text by its hash.
inline std::string_view page_style() {
  const std::string_view head = kPageStyle;
  const std::size_t start = head.find("<style>") + 7;
  return head.substr(start, head.find("</style>") - start);
}

}  // namespace cmg290::cli::report
