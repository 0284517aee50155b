#pragma once

// A base folder with its database and Mail.ini, for the mail alerts' tests.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "alerts/mail_alerts.h"
#include "platform/files/private_file.h"
#include "store/mng_database.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace plenvo::alerts {

class AlertsTest : public ::testing::Test {
  protected:
    AlertsTest() { store::installMngDatabase(dir.path() / "Mng.mdb"); }

    void mailIni(int port, const std::vector<std::string>& more = {}) {
        std::vector<std::string> lines = {
            "[Mail]",        "Server=127.0.0.1",        "Port=" + std::to_string(port),
            "Security=none", "From=console@example.jp", "To=admin1@example.jp,admin2@example.jp"};
        lines.insert(lines.end(), more.begin(), more.end());
        writeMailIni(lines);
    }
    // As the settings window saves it: for its owner alone, or it is refused.
    void writeMailIni(const std::vector<std::string>& lines) {
        test::writeCp932Lines(dir.path() / "Mail.ini", lines);
        platform::keepToOwner(dir.path() / "Mail.ini");
    }
    void agent(const std::string& host, const std::string& user, const std::string& codes,
               const std::string& mail = "") {
        auto db = store::openMng(ctx.base);
        db.prepare(
              "INSERT INTO UserLog (ComNM, UserID, UserName, MailID, ToBkup, ErNo, UPDT) "
              "VALUES (?1, ?2, '山田', ?4, '\\\\SRV01\\Backup\\' || ?1, ?3, "
              "'2009-10-01 09:05:03')")
            .bind(1, host)
            .bind(2, user)
            .bind(3, codes)
            .bind(4, mail)
            .run();
    }
    void codes(const std::string& host, const std::string& codes) {
        auto db = store::openMng(ctx.base);
        db.prepare("UPDATE UserLog SET ErNo = ?2 WHERE ComNM = ?1")
            .bind(1, host)
            .bind(2, codes)
            .run();
    }
    void destination(const std::string& host, const std::string& path) {
        auto db = store::openMng(ctx.base);
        db.prepare("UPDATE UserLog SET ToBkup = ?2 WHERE ComNM = ?1")
            .bind(1, host)
            .bind(2, path)
            .run();
    }
    // A new report from the agent.
    void reported(const std::string& host, const std::string& updt, const std::string& codes) {
        auto db = store::openMng(ctx.base);
        db.prepare("UPDATE UserLog SET UPDT = ?2, ErNo = ?3 WHERE ComNM = ?1")
            .bind(1, host)
            .bind(2, updt)
            .bind(3, codes)
            .run();
    }
    // The outbox's rows as "tries/unsure next-try state", oldest first.
    std::vector<std::string> outbox() {
        auto db = store::openMng(ctx.base);
        std::vector<std::string> rows;
        if (!db.tableExists("MailOutbox")) return rows;
        auto q = db.prepare(
            "SELECT Tries, Unsure, NextTry, CASE WHEN SentAt IS NOT NULL THEN 'sent' WHEN "
            "GaveUpAt IS NOT NULL THEN 'given up' ELSE 'waiting' END FROM MailOutbox ORDER BY Id");
        while (q.step())
            rows.push_back(std::to_string(q.integer(0).value_or(-1)) + "/" +
                           std::to_string(q.integer(1).value_or(-1)) + " " +
                           q.text(2).value_or("") + " " + q.text(3).value_or(""));
        return rows;
    }
    // The codes kept for the host, "<none>" when it was never told.
    std::string told(const std::string& host) {
        auto db = store::openMng(ctx.base);
        auto exists = db.prepare("SELECT 1 FROM sqlite_master WHERE name = 'MailSent'");
        if (!exists.step()) return "<none>";
        auto q = db.prepare("SELECT Codes FROM MailSent WHERE ComNM = ?1");
        q.bind(1, host);
        return q.step() ? q.text(0).value_or("<null>") : "<none>";
    }

    test::TempDir dir;
    test::FakeClock clock;
    test::RecordingFailureLog failures;
    platform::RunContext ctx{platform::BaseFolder(dir.path()), clock, failures};
};

}  // namespace plenvo::alerts
