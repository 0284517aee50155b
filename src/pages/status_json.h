#pragma once

#include <string>

#include "pages/status_snapshot.h"

namespace plenvo::pages {

// The text of HTM/status.json: the update time, every agent, every share and
// the last pass of each kind. Times are ISO 8601 with the local offset.
std::string statusJson(const StatusSnapshot& snapshot);
// The same text, handed over in pieces.
void writeStatusJson(const StatusSnapshot& snapshot, const TextSpill& spill);

}  // namespace plenvo::pages
