#pragma once

#include <cstdint>
#include <string>

#include "platform/core/failure_log.h"
#include "platform/files/base_folder.h"
#include "removable/media_actions.h"
#include "removable/media_table.h"
#include "ui/dialogs.h"
#include "ui/form.h"

namespace plenvo::removable {

// The four boxes in which both windows edit one entry: DselNoS, SizeS,
// UserIDS and RemarkS.

void clearEntryBoxes(ui::Form& form);
// Fills the boxes from the row of `table` ("RemList", "RemList_Add") with the
// rowid; a row gone meanwhile leaves them as they are.
void fillEntryBoxes(ui::Form& form, const platform::BaseFolder& base, const char* table,
                    std::int64_t rowid);
// The entry as the boxes hold it.
Registration enteredEntry(ui::Form& form);
// Shows why an entry was refused, or tells it without `dialogs`; the boxes
// stay as they are for mending. True when it was refused.
bool showRefusal(const ActionResult& result, ui::Dialogs* dialogs, platform::FailureLog& failures);

}  // namespace plenvo::removable
