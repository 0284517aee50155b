// Placeholder until the destination check and the drive survey land.
#include "intake/destination_check.h"
#include "intake/drive_survey.h"

namespace plenvo::intake {
void DskInfo(const platform::RunContext&) {}
void BkdtChk(const platform::RunContext&) {}
}  // namespace plenvo::intake
