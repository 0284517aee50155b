// Placeholder until the share drive page lands.
#include "pages/share_drive_page.h"

namespace plenvo::pages {
void Mk_HTML2(const platform::RunContext&) {}
}  // namespace plenvo::pages
