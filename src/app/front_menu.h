#pragma once

#include <array>
#include <string>

namespace plenvo::app {

// The tray of a desktop whose console runs as a service: the entries lead to
// the pages the service serves, with the pictures of the console's own menu.
struct FrontEntry {
    const char* caption;
    const char* bitmap;
    const char* page;  // below the served address; nullptr: the tray ends
};

inline constexpr std::array<FrontEntry, 4> kFrontEntries{{
    {"バックアップ状況確認", "LOG", ""},
    {"環境設定", "Setup", "settings"},
    {"リムーバブルメディア許可設定", "USB", "media"},
    {"終了", "ED", nullptr},
}};

// The address an entry opens: `served` ("http://127.0.0.1:8080" with or
// without the last "/") and the entry's page.
std::string frontAddress(const std::string& served, const FrontEntry& entry);

// Whether `served` is an address the front may open: http:// or https://,
// with a host, one line, no blanks.
bool servedAddressUsable(const std::string& served);

}  // namespace plenvo::app
