// Placeholder until the removable media control lands.
#include "removable/allow_list.h"
#include "removable/request_intake.h"

namespace plenvo::removable {
void RMMake(const platform::RunContext&, const store::MonitoringFlag&) {}
void RemTxtInp(const platform::RunContext&) {}
void RemAddChk(const platform::RunContext&, platform::Dialogs*, const std::function<void()>&) {}
void RemUseChk(const platform::RunContext&, const std::string&) {}
}  // namespace plenvo::removable
