#include "web/console_html.h"

#include "pages/page_text.h"

namespace plenvo::web {
namespace {

constexpr std::string_view kStyle =
    "body{font-family:sans-serif;margin:0;color:#222}"
    "header{background:#234;color:#fff;padding:.5em 1em;display:flex;flex-wrap:wrap;gap:1em}"
    "header a{color:#fff}main{padding:1em;max-width:60em}"
    "table{border-collapse:collapse;width:100%}td,th{border:1px solid #ccc;padding:.3em;"
    "text-align:left;vertical-align:top}form.inline{display:inline}"
    "input[type=text],input[type=password]{width:100%;max-width:24em;box-sizing:border-box}"
    "button{padding:.4em 1em;margin:.2em 0}.badge{background:#c00;color:#fff;border-radius:1em;"
    "padding:0 .5em}.note{color:#555}@media(max-width:40em){td,th{display:block}}";

}  // namespace

std::string consolePage(std::string_view title, std::string_view body, std::string_view user) {
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
        "<title>";
    page += pages::htmlEscaped(title);
    page += " - Plenvo Backup Manager</title><style>";
    page += kStyle;
    page +=
        "</style></head><body><header><strong>Plenvo Backup Manager</strong>"
        "<a href=\"/\">状況</a><a href=\"/agents\">エージェント</a>"
        "<a href=\"/Index.htm\">バックアップ一覧</a><a "
        "href=\"/DiskChk.htm\">共有ドライブ</a>"
        "<a href=\"/media\">リムーバブルメディア</a><a href=\"/settings\">環境設定</a>"
        "<a href=\"/audit\">操作記録</a>";
    if (!user.empty())
        page +=
            "<span>" + pages::htmlEscaped(user) + "</span><a href=\"/signout\">サインアウト</a>";
    else
        page += "<a href=\"/signin\">サインイン</a>";
    page += "</header><main><h1>";
    page += pages::htmlEscaped(title);
    page += "</h1>\n";
    page += body;
    page += "</main></body></html>\n";
    return page;
}

std::string postForm(std::string_view action, std::string_view csrf, std::string_view fields,
                     std::string_view button) {
    std::string form = "<form method=\"post\" action=\"" + pages::htmlEscaped(action) + "\">";
    form += hiddenField("csrf", csrf);
    form += fields;
    form += "<button type=\"submit\">" + pages::htmlEscaped(button) + "</button></form>";
    return form;
}

std::string hiddenField(std::string_view name, std::string_view value) {
    return "<input type=\"hidden\" name=\"" + pages::htmlEscaped(name) + "\" value=\"" +
           pages::htmlEscaped(value) + "\">";
}

std::string textField(std::string_view label, std::string_view name, std::string_view value,
                      std::size_t maxLength) {
    return "<p><label>" + pages::htmlEscaped(label) + "<br><input type=\"text\" name=\"" +
           pages::htmlEscaped(name) + "\" value=\"" + pages::htmlEscaped(value) +
           "\" maxlength=\"" + std::to_string(maxLength) + "\"></label></p>";
}

}  // namespace plenvo::web
