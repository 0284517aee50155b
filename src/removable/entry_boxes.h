#pragma once

#include <cstdint>
#include <string>

#include "platform/files/base_folder.h"
#include "removable/media_table.h"
#include "ui/form.h"

namespace plenvo::removable {

// The four boxes in which both windows edit one entry: DselNoS, SizeS,
// UserIDS and RemarkS.

void clearEntryBoxes(ui::Form& form);
// Fills the boxes from the row of `table` ("RemList", "RemList_Add") with the
// rowid; a row gone meanwhile leaves them as they are.
void fillEntryBoxes(ui::Form& form, const platform::BaseFolder& base, const char* table,
                    std::int64_t rowid);
// The entry as it is to be stored; the boxes show the stored user ids ("Any"
// for none) and "&" as a blank.
Registration storedEntry(ui::Form& form);

}  // namespace plenvo::removable
