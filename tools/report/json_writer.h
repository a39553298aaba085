// The report's figures as one JSON document (docs/report.md names every
// key). Members come in a fixed order, so that two runs over the same
// records write the same bytes.
#pragma once

#include <string>

#include "figures.h"

namespace cmg290::cli::report {

std::string report_json(const Figures& f);

}  // namespace cmg290::cli::report
