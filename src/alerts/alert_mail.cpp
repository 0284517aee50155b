#include "alerts/alert_mail.h"

#include "store/date_time.h"

namespace plenvo::alerts {
namespace {

constexpr const char* kPrefix = "[Plenvo] ";

std::string titleOf(const CodeTitles& titles, const std::string& code) {
    const auto found = titles.find(code);
    return found == titles.end() || found->second.empty() ? "エラー " + code : found->second;
}

std::string bracketedTitles(const CodeTitles& titles, const std::vector<std::string>& codes) {
    std::string out;
    for (const std::string& code : codes) out += "「" + titleOf(titles, code) + "」";
    return out;
}

std::string subjectOf(const CodeTitles& titles, const DueAlert& alert) {
    const std::string who = alert.row.host + " (" + alert.row.user + "): ";
    if (alert.kind == AlertKind::recovery) return kPrefix + who + "「復旧しました」";
    return kPrefix + who + bracketedTitles(titles, alert.newCodes);
}

bool isNew(const DueAlert& alert, const std::string& code) {
    for (const std::string& fresh : alert.newCodes)
        if (fresh == code) return true;
    return false;
}

}  // namespace

std::string senderOf(const MailSettings& settings) {
    if (!settings.from.empty()) return settings.from;
    if (plainAddress(settings.user)) return settings.user;
    return "PlenvoBackupMng@localhost";
}

MailText alertMail(const MailContext& context, const DueAlert& alert) {
    MailText mail;
    mail.from = senderOf(context.settings);
    mail.to = context.settings.recipients();
    if (context.settings.notifyUsers && plainAddress(alert.row.mailId))
        mail.to.push_back(alert.row.mailId);
    mail.subject = subjectOf(context.titles, alert);
    mail.date = context.date;

    auto& body = mail.bodyLines;
    body.push_back(alert.kind == AlertKind::recovery
                       ? "このバックアップのエラーはすべて解消しました。"
                       : "このバックアップに新しいエラーがあります。");
    body.push_back("");
    body.push_back("ホスト名: " + alert.row.host);
    body.push_back("ユーザーID: " + alert.row.user);
    body.push_back("ユーザー名: " + alert.row.userName);
    body.push_back("最終報告日時: " + store::generalTextOfStored(alert.row.reported));
    body.push_back("バックアップ先: " + alert.row.destination);
    if (alert.row.codes.empty()) {
        body.push_back("エラー: なし");
    } else {
        body.push_back("エラー:");
        for (const std::string& code : alert.row.codes)
            body.push_back("  " + code + " " + titleOf(context.titles, code) +
                           (isNew(alert, code) ? " (新規)" : ""));
    }
    body.push_back("");
    body.push_back("バックアップ状況: " + pageOf(context, alert.row));
    return mail;
}

std::string pageOf(const MailContext& context, const AgentRow& row) {
    if (context.settings.webUrl.empty()) return context.pagePath;
    return agentLink(context.settings.webUrl, row.host, row.user);
}

MailText causeMail(const MailContext& context, const PlannedMail& shared) {
    const bool back = !shared.alerts.empty() && shared.alerts[0].kind == AlertKind::recovery;
    const std::string count = std::to_string(shared.alerts.size());
    MailText mail;
    mail.from = senderOf(context.settings);
    mail.to = context.settings.recipients();
    mail.date = context.date;
    mail.subject =
        kPrefix + shared.place +
        (back ? " のバックアップ先に再び接続できます (" : " のバックアップ先に接続できません (") +
        count + " 台)";
    auto& body = mail.bodyLines;
    if (back) {
        body.push_back("次の " + count + " 台のバックアップ先 (" + shared.place +
                       ") に再び接続できるようになりました。");
    } else {
        body.push_back("次の " + count + " 台のバックアップ先 (" + shared.place +
                       ") に接続できません。");
        body.push_back(
            "サーバーが止まっているか、名前を解決できないか、共有がなくなった"
            "おそれがあります。");
    }
    body.push_back("");
    for (const DueAlert& alert : shared.alerts) {
        body.push_back(alert.row.host + " (" + alert.row.user + ") " + alert.row.userName + ": " +
                       alert.row.destination);
        if (!context.settings.webUrl.empty()) body.push_back("  " + pageOf(context, alert.row));
    }
    if (context.settings.webUrl.empty()) {
        body.push_back("");
        body.push_back("バックアップ状況: " + context.pagePath);
    }
    return mail;
}

MailText summaryMail(const MailContext& context, const std::vector<DueAlert>& rest) {
    MailText mail;
    mail.from = senderOf(context.settings);
    mail.to = context.settings.recipients();
    mail.subject = std::string(kPrefix) + "ほか " + std::to_string(rest.size()) + " 件の通知";
    mail.date = context.date;
    auto& body = mail.bodyLines;
    body.push_back("一度に送るメールの上限を超えたため、残りの " + std::to_string(rest.size()) +
                   " 件をまとめてお知らせします。");
    body.push_back("");
    for (const DueAlert& alert : rest)
        body.push_back(alert.row.host + " (" + alert.row.user + "): " +
                       (alert.kind == AlertKind::recovery
                            ? std::string("「復旧しました」")
                            : bracketedTitles(context.titles, alert.newCodes)));
    body.push_back("");
    body.push_back("バックアップ状況: " + (context.settings.webUrl.empty()
                                               ? context.pagePath
                                               : context.settings.webUrl + "/agents"));
    return mail;
}

MailText requestMail(const MailSettings& settings, const std::vector<MediaRequestNote>& requests) {
    MailText mail;
    mail.from = senderOf(settings);
    mail.to = settings.recipients();
    mail.subject = std::string(kPrefix) + "リムーバブルメディアの申請が来ました";
    mail.date = mailDateNow();
    for (const MediaRequestNote& r : requests) {
        mail.bodyLines.push_back("シリアル番号: " + oneLine(r.serial));
        mail.bodyLines.push_back("容量: " + oneLine(r.size));
        mail.bodyLines.push_back("ユーザーID: " + oneLine(r.userIds));
        mail.bodyLines.push_back("備考: " + oneLine(r.remark));
        mail.bodyLines.push_back("");
    }
    mail.bodyLines.push_back(settings.webUrl.empty()
                                 ? "コンソールのチェック画面で許可または否認してください。"
                                 : "許可または否認: " + settings.webUrl + "/media");
    return mail;
}

MailText testMail(const MailSettings& settings, const std::string& computerName) {
    MailText mail;
    mail.from = senderOf(settings);
    mail.to = settings.recipients();
    mail.subject = std::string(kPrefix) + "テストメール";
    mail.date = mailDateNow();
    mail.messageId = newMessageId(mail.from);
    mail.bodyLines = {"Plenvo Backup Manager のメール通知設定のテストメールです。",
                      "送信元: " + computerName};
    return mail;
}

}  // namespace plenvo::alerts
