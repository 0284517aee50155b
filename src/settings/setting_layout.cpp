// The look of the settings window: its controls, captions and groups.
#include "settings/designed_in_pixels.h"
#include "settings/setting_window.h"
#include "ui/form.h"
#include "ui/view_rules.h"

namespace plenvo::settings {
namespace {

using ui::ControlKind;

}  // namespace

ui::Geometry Setting::clientArea() const {
    return pixels(0, 0, 480, 452);
}

void Setting::layOut() {
    add(ui::designed("Frame1", ControlKind::frame, pixels(8, 8, 464, 324),
                     "監視バックアップ先指定"));
    add(ui::designed("Label1", ControlKind::label, pixels(20, 32, 440, 18),
                     "監視するバックアップ先を指定して下さい", "Frame1"));
    add(ui::designed("Label2", ControlKind::label, pixels(20, 56, 300, 18),
                     "バックアップ先フォルダ指定", "Frame1"));
    add(ui::designed("Label3", ControlKind::label, pixels(32, 80, 300, 18), "追加バックアップ先",
                     "Frame1"));
    add(ui::designed("ToBkupF", ControlKind::textBox, pixels(32, 100, 340, 24), {}, "Frame1"));
    add(ui::designed("Command2", ControlKind::button, pixels(380, 99, 80, 26), "参照", "Frame1"));
    add(ui::designed("追加", ControlKind::button, pixels(260, 132, 200, 28),
                     "バックアップ先一覧へ追加", "Frame1"));
    add(ui::designed("Label4", ControlKind::label, pixels(32, 164, 300, 18), "バックアップ先一覧",
                     "Frame1"));
    add(ui::designed("ToBkupList", ControlKind::listBox, pixels(32, 184, 428, 136), {}, "Frame1"));

    add(ui::designed("Frame2", ControlKind::frame, pixels(8, 340, 464, 104), "その他"));
    add(ui::designed("RemChkFlgF", ControlKind::checkBox, pixels(20, 366, 22, 22), {}, "Frame2"));
    add(ui::designed("Label5", ControlKind::label, pixels(44, 364, 416, 36),
                     "リムーバブルメディアの監視を行う（未許可のUSBなどを使用した時に警告を出す）",
                     "Frame2"));
    add(ui::designed("ErClear", ControlKind::button, pixels(20, 406, 160, 28), "エラー情報削除",
                     "Frame2"));
    add(ui::designed("MailSetting", ControlKind::button, pixels(192, 406, 160, 28),
                     "メール通知設定", "Frame2"));
}

}  // namespace plenvo::settings
