#pragma once

#include <string>
#include <string_view>

#include "pages/status_snapshot.h"

namespace plenvo::pages {

// The text of HTM/metrics.prom in the Prometheus text format, for
// node_exporter's textfile collector: every family's HELP and TYPE once, also
// without samples; no sample timestamps, which that collector refuses.
// A value that is absent leaves its sample out; a series whose labels came out
// like an earlier one's is left out, so no series is given twice.
std::string metricsText(const StatusSnapshot& snapshot);
// The same text, handed over in pieces.
void writeMetricsText(const StatusSnapshot& snapshot, const TextSpill& spill);

// A label value as the format wants it: UTF-8, with backslash, double quote and
// line feed escaped; other control characters, which no reader should have to
// meet, become U+FFFD.
std::string labelValue(std::string_view text);
void appendLabelValue(std::string& out, std::string_view text);

}  // namespace plenvo::pages
