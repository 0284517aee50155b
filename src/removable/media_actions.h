#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/run_context.h"
#include "removable/media_table.h"
#include "store/monitoring_flag.h"
#include "store/sqlite.h"

namespace plenvo::removable {

// What the removable-media windows and the web view do to requests and
// registrations, one function per action, so that both follow one rule.

// A request waiting in RemList_Add.
struct PendingRequest {
    std::int64_t id = 0;  // its rowid
    std::string serial;
    std::string size;
    std::string userIds;
    std::string remark;
    std::string received;  // UPDT as stored ("2009-10-01 09:05:03"); empty when missing
};

// A medium registered in RemList.
struct RegisteredMedium {
    std::int64_t id = 0;  // its rowid
    std::string serial;
    std::string size;
    std::string userIds;
    std::string remark;
    std::string updated;  // UPDT as stored; empty when missing
    std::string lastUse;  // USDT as stored; empty when missing
};

// Oldest first, as the check window lists them.
std::vector<PendingRequest> pendingRequests(store::Connection& db);
// Least recently used first, as the registered media window lists them.
std::vector<RegisteredMedium> registeredMedia(store::Connection& db);

enum class ActionOutcome { done, notFound, refused, failed };

struct ActionResult {
    ActionOutcome outcome = ActionOutcome::done;
    // Why it was not done, one short line for the administrator; what made an
    // action fail goes to the failure log.
    std::string why;
};

// Longest serial, size, user ids or remark taken: the TEXT columns of the
// original Access Mng.mdb held 255 characters, and the lists show no more.
inline constexpr std::size_t kMediaFieldChars = 255;

// The entry as the entry boxes store it: "Any" for no user ids, "&" (the
// agents' field separator) as a blank in size, user ids and remark.
Registration storedForm(Registration entry);

// Every action writes in one write turn and one transaction, never throws,
// and checks what it would write into the agents' files first: valid UTF-8
// that CP932 can hold, no control characters (a CR or LF would split the
// agents' line), no "&" in a serial, at most kMediaFieldChars characters.
// Anything else is `refused` and nothing changes. An empty serial is refused.
//
// Given the monitoring flag, an action that was done rewrites the allow-list
// file while monitoring is on. The windows pass none: the check window
// rewrites the list when it closes.

// 許可: the serial's first request registered with its own size, and its own
// user ids and remark unless others are given, stored as the boxes store them;
// a registration of the serial is overwritten, both dates become now, and
// every request of the serial is removed.
ActionResult approveRequest(const platform::RunContext& ctx, const store::MonitoringFlag& flag,
                            const std::string& serial, std::optional<std::string> userIds,
                            std::optional<std::string> remark);
ActionResult approveRequest(const platform::RunContext& ctx, const std::string& serial,
                            std::optional<std::string> userIds, std::optional<std::string> remark);

// 否認: the serial's first request appended to OrvShare\REM\UnADD as
// serial&size&user ids&remark&time (hidden and system), with "&" and control
// characters as blanks; then every request of the serial is removed. The
// requests stay when the line could not be written.
ActionResult denyRequest(const platform::RunContext& ctx, const store::MonitoringFlag& flag,
                         const std::string& serial);
ActionResult denyRequest(const platform::RunContext& ctx, const std::string& serial);

// 変更 of a registered serial: new user ids and remark, stored as the boxes
// store them; the size stays and both dates become now.
ActionResult changeRegistration(const platform::RunContext& ctx, const store::MonitoringFlag& flag,
                                const std::string& serial, const std::string& userIds,
                                const std::string& remark);

// The windows' own entries (変更 of the registered media window, a local
// medium of the check window): the entry stored as the boxes store it over the
// serial's first row, or added when no row has the serial.
ActionResult saveRegistration(const platform::RunContext& ctx, const Registration& entry);

// 削除: every registration of the serial.
ActionResult deleteRegistration(const platform::RunContext& ctx, const store::MonitoringFlag& flag,
                                const std::string& serial);
ActionResult deleteRegistration(const platform::RunContext& ctx, const std::string& serial);

}  // namespace plenvo::removable
