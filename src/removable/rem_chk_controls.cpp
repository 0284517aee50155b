#include "removable/rem_chk_window.h"
#include "ui/form.h"

namespace plenvo::removable {

using ui::arrayName;
using ui::ControlKind;

// Local rows above, the request frame below; positions in twips.
void RemChkWindow::addControls() {
    add(ui::designed("Label7", ControlKind::label, {240, 120, 2400, 255}, "ローカル登録"));
    add(ui::designed("Label1", ControlKind::label, {240, 480, 600, 255}, "Drv"));
    add(ui::designed("Label2", ControlKind::label, {960, 480, 1200, 255}, "サイズ"));
    add(ui::designed("Label3", ControlKind::label, {2280, 480, 3000, 255}, "許可ユーザID"));
    add(ui::designed("Label6", ControlKind::label, {5400, 480, 3600, 255}, "備考"));
    add(ui::designed("Label4", ControlKind::label, {9120, 480, 1200, 255}, "状況"));
    for (int i = 0; i < kRows; ++i) {
        const int top = 780 + i * 420;
        add(ui::designed(arrayName("DrvInfo", i), ControlKind::textBox, {240, top, 600, 345}))
            .enabled = false;
        add(ui::designed(arrayName("Size", i), ControlKind::textBox, {960, top, 1200, 345}))
            .enabled = false;
        add(ui::designed(arrayName("UserID", i), ControlKind::textBox, {2280, top, 3000, 345}))
            .enabled = false;
        add(ui::designed(arrayName("Remark", i), ControlKind::textBox, {5400, top, 3600, 345}))
            .enabled = false;
        auto& status =
            add(ui::designed(arrayName("STS", i), ControlKind::label, {9120, top, 1200, 345}));
        status.border = true;
        status.centred = true;
        add(ui::designed(arrayName("CHG", i), ControlKind::button, {10440, top, 960, 345}, "許可"))
            .visible = false;
        auto& serial =
            add(ui::designed(arrayName("DselNo", i), ControlKind::textBox, {11520, top, 900, 345}));
        serial.enabled = false;
        serial.visible = false;
    }
    add(ui::designed("Label5", ControlKind::label, {240, 2940, 12120, 480},
                     "※許可ユーザIDに複数ユーザを指定する場合は「，」で区切ってください"
                     "（誰でも使用できる様にするには「Any」を入力してください"));
    add(ui::designed("Command1", ControlKind::button, {10440, 3420, 1800, 375}, "再　表　示"));

    add(ui::designed("Frame1", ControlKind::frame, {120, 3960, 12360, 3720}, "追加申請"));
    add(ui::designed("Label8", ControlKind::label, {360, 4260, 4000, 255},
                     "申請リストを選択してください", "Frame1"));
    auto& requests =
        add(ui::designed("ADDLIST", ControlKind::listBox, {360, 4560, 11880, 2160}, {}, "Frame1"));
    requests.fixedPitch = true;
    requests.redText = true;
    add(ui::designed("Label11", ControlKind::label, {360, 6840, 1560, 255}, "サイズ", "Frame1"));
    add(ui::designed("Label10", ControlKind::label, {2040, 6840, 3000, 255}, "許可ユーザID",
                     "Frame1"));
    add(ui::designed("Label9", ControlKind::label, {5160, 6840, 3600, 255}, "備考", "Frame1"));
    add(ui::designed("SizeS", ControlKind::textBox, {360, 7140, 1560, 375}, {}, "Frame1")).enabled =
        false;
    add(ui::designed("UserIDS", ControlKind::textBox, {2040, 7140, 3000, 375}, {}, "Frame1"));
    add(ui::designed("RemarkS", ControlKind::textBox, {5160, 7140, 3600, 375}, {}, "Frame1"));
    add(ui::designed("DselNoS", ControlKind::textBox, {8880, 7140, 600, 375}, {}, "Frame1"))
        .visible = false;
    add(ui::designed("ADDS", ControlKind::button, {9720, 7140, 1200, 375}, "許可", "Frame1"));
    add(ui::designed("Command2", ControlKind::button, {11040, 7140, 1200, 375}, "否認", "Frame1"));

    add(ui::designed("Command3", ControlKind::button, {4800, 7920, 3000, 420},
                     "登　録　一　覧　表　示"));
}

}  // namespace plenvo::removable
