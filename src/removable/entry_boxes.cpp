#include "removable/entry_boxes.h"

#include "store/mng_database.h"

namespace plenvo::removable {

void clearEntryBoxes(ui::Form& form) {
    for (const char* box : {"DselNoS", "SizeS", "UserIDS", "RemarkS"})
        form.control(box).text.clear();
}

void fillEntryBoxes(ui::Form& form, const platform::BaseFolder& base, const char* table,
                    std::int64_t rowid) {
    store::Connection db = store::openMng(base);
    store::Statement row = db.prepare(std::string("SELECT DselNo, Size, UserID, Remark FROM ") +
                                      table + " WHERE rowid = ?1");
    row.bind(1, store::DbValue{rowid});
    if (!row.step()) return;
    form.control("DselNoS").text = textOr(row, 0);
    form.control("SizeS").text = textOr(row, 1);
    form.control("UserIDS").text = textOr(row, 2);
    form.control("RemarkS").text = textOr(row, 3);
}

Registration enteredEntry(ui::Form& form) {
    return {form.control("DselNoS").text, form.control("SizeS").text, form.control("UserIDS").text,
            form.control("RemarkS").text};
}

bool showRefusal(const ActionResult& result, ui::Dialogs* dialogs, platform::FailureLog& failures) {
    if (result.outcome != ActionOutcome::refused) return false;
    if (dialogs)
        dialogs->messageBox(result.why, "入力内容を確認してください", ui::MessageButtons::ok);
    else
        failures.report("removable media entry", result.why);
    return true;
}

}  // namespace plenvo::removable
