#pragma once

#include <cstddef>
#include <string>

#include "platform/core/run_context.h"
#include "platform/network/share_list.h"
#include "store/monitoring_flag.h"
#include "ui/slow_work.h"

namespace plenvo::settings {

// What the settings window and the web view change, one function per action,
// so that both follow one rule. None of them throws: a failure is told to the
// context's failure log and comes back as `failed`. The destinations listed
// are store::listedDestinations.

struct SettingResult {
    enum class Kind { done, unchanged, notFound, refused, failed } kind = Kind::done;
    // Why it was not done, one short line for the administrator.
    std::string why;
};

// Longest destination taken: the TEXT columns of the original Access Mng.mdb
// held 255 characters, and Windows' own limit of 260 leaves room for little more.
inline constexpr std::size_t kDestinationChars = 255;

// 追加: the folder is listed in ToBkupList once its SRV.ini names
// `serverShareFolder`, written within FolderReach's limit (`slow` runs that
// write away from the window thread; null: at once). A folder listed already
// is `unchanged`: letter case, "\" or "/", repeated and trailing separators
// and "." components do not make another one. `refused`, with nothing
// listed, for a folder whose SRV.ini could not be written, and for anything
// but "\\server\share...", "D:\..." or "/...": empty, no UTF-8, control
// characters, ".." components or longer than kDestinationChars. `shares` is
// how servers are asked for their shares (empty: the servers themselves).
SettingResult addDestination(const platform::RunContext& ctx, const std::string& serverShareFolder,
                             const std::string& path, ui::SlowWork* slow = nullptr,
                             const platform::ShareLookup::Source& shares = {});

// Every ToBkupList row naming the folder, as addDestination compares them;
// its SRV.ini stays. `notFound` when no row does.
SettingResult removeDestination(const platform::RunContext& ctx, const std::string& path);

// The switch as closing the settings window leaves it: saved in the first
// Setting row, `flag` taken in again from there, and the allow-list file made
// (empty, hidden and system) or deleted by what the flag then says. Every step
// runs even when one before it failed.
SettingResult setMonitoring(const platform::RunContext& ctx, store::MonitoringFlag& flag, bool on);

// エラー情報削除: every agent's error codes cleared.
SettingResult clearErrors(const platform::RunContext& ctx);

}  // namespace plenvo::settings
