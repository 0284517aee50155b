#pragma once

// A console's exchange folder ticked over as its timer does.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "installation.h"
#include "platform/text/utf8_path.h"
#include "removable/claimed_file.h"
#include "removable/request_intake.h"
#include "support/fake_dialogs.h"

namespace plenvo::removable {

class Intake : public test::Installation {
  protected:
    void tick(ui::Dialogs* dialogs) {
        takeRequestsAndAsk(ctx, dialogs, [this] { ++windowsOpened; });
        recordMediaUse(ctx, platform::utf8Of(dir.path()));
    }
    std::vector<std::string> requests() {
        return rows(
            "SELECT DselNo||'|'||Size||'|'||UserID||'|'||Remark||'|'||UPDT FROM RemList_Add ORDER "
            "BY rowid");
    }
    // The clock moves on by the settle time: a claimed file that stays unchanged
    // is done at the next tick.
    void settle() {
        seconds += ClaimedFile::kSettleSeconds;
        const int total = 9 * 3600 + 5 * 60 + 3 + seconds;
        clock.set({2009, 10, 1, total / 3600, total / 60 % 60, total % 60});
    }
    // Ticks with time passing until the exchange files are taken in and gone.
    void drain(ui::Dialogs* dialogs) {
        for (int i = 0; i < 10 && !remFolder().empty(); ++i) {
            settle();
            tick(dialogs);
        }
    }
    std::vector<std::string> remFolder() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(rem()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::FakeDialogs dialogs;
    int windowsOpened = 0;
    int seconds = 0;
};

}  // namespace plenvo::removable
