#include "store/monitoring_flag.h"

#include <cstdlib>
#include <utility>

#include "platform/core/ascii_case.h"
#include "platform/files/file_system.h"
#include "store/mng_database.h"

namespace plenvo::store {

std::string MonitoringFlag::text() const {
    const std::lock_guard lock(mutex_);
    return text_;
}

void MonitoringFlag::set(std::string text) {
    const std::lock_guard lock(mutex_);
    text_ = std::move(text);
}

bool MonitoringFlag::isOn() const {
    const std::string flag = text();
    if (platform::sameIgnoringAsciiCase(flag, "True")) return true;
    if (flag.empty() || platform::sameIgnoringAsciiCase(flag, "False")) return false;
    char* end = nullptr;
    const double value = std::strtod(flag.c_str(), &end);
    return end != flag.c_str() && value != 0;
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
