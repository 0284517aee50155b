#pragma once

#include <functional>
#include <optional>

#include "platform/drive_values.h"
#include "platform/run_context.h"
#include "platform/share_list.h"

namespace plenvo::intake {

// What the survey asks of the machine and the network; a test can stand in.
struct SurveyProbes {
    platform::ShareLookup::Source shares = platform::enumerateShares;
    platform::ShareLookup::MountSource mounts = platform::readMountTable;
    std::function<std::optional<platform::DriveValues>(
        const std::filesystem::path& folder, const std::vector<platform::MountEntry>& mounts)>
        drive = platform::driveValuesOf;
};

// Surveys the drives behind the destination shares into ShareDriveInfo and
// keeps code "07" on the UserLog rows. Each server is asked once per pass.
void DskInfo(const platform::RunContext& ctx, const SurveyProbes& probes = {});

}  // namespace plenvo::intake
