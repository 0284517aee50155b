#pragma once

#include <optional>
#include <string>

#include "platform/core/clock.h"
#include "store/sqlite.h"

namespace plenvo::removable {

// A medium as the windows register it in RemList.
struct Registration {
    std::string serial;
    std::string size;
    std::string userIds;
    std::string remark;
};

// What RemList says about one serial number (its first row).
struct Registered {
    std::string size;
    std::string userIds;
    std::string remark;
};

std::optional<Registered> findRegistered(store::Connection& db, const std::string& serial);
// Overwrites the first row with the serial, or adds one; both dates become `now`.
void registerMedium(store::Connection& db, const Registration& medium,
                    const platform::LocalTime& now);
// Removes every RemList row with the serial.
void unregisterMedium(store::Connection& db, const std::string& serial);
// Removes every pending request with the serial.
void removeRequests(store::Connection& db, const std::string& serial);

// A column's text; Null reads as empty.
std::string textOr(const store::Statement& row, int column);

}  // namespace plenvo::removable
