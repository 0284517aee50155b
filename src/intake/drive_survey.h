#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/core/run_context.h"
#include "platform/drives/drive_values.h"
#include "platform/network/share_list.h"

namespace plenvo::intake {

// What the survey asks of the machine and the network; a test can stand in.
struct SurveyProbes {
    platform::ShareLookup::Source shares;  // empty: the servers themselves
    // The Drive of a share's folder by its share path ("\\server\share");
    // empty: the folder itself is asked.
    std::function<std::optional<platform::DriveValues>(const std::string& sharePath)> drive;
};

// Surveys the drives behind the destination shares into ShareDriveInfo and
// keeps code "07" on the UserLog rows. Each server is asked once per pass, and
// several at a time; the tables are written once everything is known. `pass`
// is what the check pass has already learnt of the network (then the probes'
// shares are not used).
void surveyShareDrives(const platform::RunContext& ctx, const SurveyProbes& probes = {},
                       platform::ShareLookup* pass = nullptr);

}  // namespace plenvo::intake
