#pragma once

#include <string>

#include "platform/files/base_folder.h"
#include "store/mng_database.h"

namespace plenvo::test {

// A destination as the settings window lists it: the console follows agents
// only to folders at or below one.
inline void listDestination(const platform::BaseFolder& base, const std::string& destination) {
    auto db = store::openMng(base);
    db.prepare("INSERT INTO ToBkupList (ToBkup) VALUES (?1)").bind(1, destination).run();
}

}  // namespace plenvo::test
