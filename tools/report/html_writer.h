// The report's figures as one self-contained HTML page: inline styles and
// inline SVG charts, no script, and a Content-Security-Policy that lets the
// page fetch nothing, so that it shows the same offline, in a mail
// attachment or on paper. Every chart has its numbers beside it in a table;
// each table has an id (docs/report.md lists them).
#pragma once

#include <string>

#include "figures.h"

namespace cmg290::cli::report {

std::string report_html(const Figures& f);

}  // namespace cmg290::cli::report
