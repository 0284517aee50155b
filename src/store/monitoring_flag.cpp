#include "store/monitoring_flag.h"

#include <cstdlib>

#include "platform/core/ascii_case.h"
#include "platform/files/file_system.h"
#include "store/mng_database.h"

namespace plenvo::store {

bool MonitoringFlag::isOn() const {
    if (platform::sameIgnoringAsciiCase(text_, "True")) return true;
    if (text_.empty() || platform::sameIgnoringAsciiCase(text_, "False")) return false;
    char* end = nullptr;
    const double value = std::strtod(text_.c_str(), &end);
    return end != text_.c_str() && value != 0;
}

void readMonitoringFlag(const platform::BaseFolder& base, MonitoringFlag& flag) {
    if (!platform::fileExists(mngPath(base))) return;
    Connection db = openMng(base);
    Statement rows = db.prepare("SELECT RemChkFlg FROM Setting ORDER BY rowid LIMIT 1");
    if (!rows.step()) {
        flag.set("False");
        return;
    }
    const DbValue value = rows.value(0);
    if (auto* i = std::get_if<std::int64_t>(&value))
        flag.set(*i != 0 ? "True" : "False");
    else if (auto* d = std::get_if<double>(&value))
        flag.set(*d != 0 ? "True" : "False");
    else if (auto* s = std::get_if<std::string>(&value))
        flag.set(*s);
    else
        flag.set("");
}

}  // namespace plenvo::store
