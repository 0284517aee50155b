// Agents' result files as the benchmarks lay them out: about 860 bytes each in
// CP932 with CR LF. The mix follows the agent's number: every tenth carries an
// error code, one in twenty last reported a month ago (older than the week after
// which a report is stale), and one in twenty has a destination folder that
// does not exist (the caller leaves it out).
#pragma once

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "platform/text/text_file.h"

namespace plenvo::bench {

inline bool carriesErrorCode(int agent) {
    return agent % 10 == 3;
}
inline bool reportsStale(int agent) {
    return agent % 20 == 7;
}
inline bool destinationMissing(int agent) {
    return agent % 20 == 11;
}

// The share of the agent's destination: Backup0 .. Backup19.
inline std::string destinationShare(int agent) {
    return "Backup" + std::to_string(agent % 20);
}

inline std::string hostName(int agent) {
    return "PC" + std::to_string(agent);
}

// When the agent reported: an hour before `now`, or 30 days for a stale one.
inline std::chrono::system_clock::time_point reportedAt(int agent,
                                                        std::chrono::system_clock::time_point now) {
    return now - (reportsStale(agent) ? std::chrono::hours(24 * 30) : std::chrono::hours(1));
}

// "2026/12/07 9:05:03", in local time as agents write it.
inline std::string agentTime(std::chrono::system_clock::time_point when) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    const std::tm local = *std::localtime(&t);
    char text[80];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

// The file's bytes. `server` names the machine of the destination share.
inline std::string reportBytes(int agent, const std::string& server,
                               std::chrono::system_clock::time_point reported) {
    const std::string host = hostName(agent);
    std::string text;
    const auto line = [&text](const std::string& l) { text += l + "\r\n"; };
    line("[バックアップ結果]");
    line("ComNM=" + host);
    line("UserID=user" + std::to_string(agent));
    line("MailID=user" + std::to_string(agent) + "@example.jp");
    line("UserName=利用者" + std::to_string(agent));
    line("DmNm=OFFICE");
    line("ToBkup=\\\\" + server + "\\" + destinationShare(agent) + "\\" + host);
    for (const std::string source : {"Fav", "Dtp", "Mdc", "SPF01", "SPF02", "SPF03"}) {
        const std::string size = source.size() > 3 ? "SZ=" : "Sz=";
        line(source + "=C:\\Users\\user\\" + source);
        line(source + size + "123456789");
        line("To" + source + size + "123456000");
        line("RepSW" + source + "=1");
    }
    for (const char* l : {"RepSW=1", "RmtConnect=0", "RestStart=0", "TBKSz=740740734",
                          "TBKFSz=740736000", "RSRT=99%", "TLFileQTY=12034", "CPFileQTY=120",
                          "SKFileQTY=11900", "MSFileQTY=0", "FAFileQTY=2", "EXFileQTY=12",
                          "RunLVL=1", "CHKLVL=2", "RepSWALL=1", "Status=Idol",
                          "AgtVer=2.1.0"})
        line(l);
    line(std::string("ErNo=") + (carriesErrorCode(agent) ? "03" : ""));
    line("UPDT=" + agentTime(reported));
    return platform::encodeCp932(text);
}

// Writes the file as an agent leaves it, dated when the agent reported: a
// file changed a moment ago would be read again until it has settled.
inline void writeReport(const std::filesystem::path& file, int agent, const std::string& server,
                        std::chrono::system_clock::time_point now) {
    const auto reported = reportedAt(agent, now);
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << reportBytes(agent, server, reported);
        if (!out.flush()) throw std::runtime_error("cannot write " + file.string());
    }
    std::filesystem::last_write_time(file, std::chrono::file_clock::from_sys(reported));
}

}  // namespace plenvo::bench
