#include "web/folder_page.h"

#include "pages/page_text.h"
#include "store/date_time.h"
#include "web/request_path.h"

namespace plenvo::web {
namespace {

using pages::htmlEscaped;

std::string entryLine(const platform::FolderEntry& entry, const std::string& linkBase) {
    std::string name = htmlEscaped(entry.name) + (entry.folder ? "\\" : "");
    if (!linkBase.empty())
        name = "<a href=\"" + htmlEscaped(linkBase + percentEncoded(entry.name)) + "\">" + name +
               "</a>";
    const std::string size =
        entry.folder ? "" : pages::groupedNumber(static_cast<double>(entry.size));
    const std::string time = entry.modified ? store::generalText(*entry.modified) : "";
    return "<tr><td>" + name + "</td><td class=n>" + size + "</td><td>" + htmlEscaped(time) +
           "</td></tr>\n";
}

}  // namespace

std::string folderPage(const std::string& folder, const std::vector<platform::FolderEntry>& entries,
                       const std::string& linkBase) {
    std::string page =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + htmlEscaped(folder) +
        "</title>\n<style>body{font-family:sans-serif}td{padding:2px 12px}"
        "td.n{text-align:right}th{text-align:left;background:#3399FF;color:#FFFFCC}</style>"
        "</head>\n<body><h1>" +
        htmlEscaped(folder) +
        "</h1>\n<table>\n<tr><th>名前</th><th>サイズ(Byte)</th><th>更新日時</th></tr>\n";
    for (const bool folders : {true, false})
        for (const auto& entry : entries)
            if (entry.folder == folders) page += entryLine(entry, linkBase);
    page += "</table>\n";
    if (entries.size() >= platform::kFolderEntryLimit)
        page += "<p>(the first " + std::to_string(platform::kFolderEntryLimit) + " entries)</p>\n";
    page += "</body></html>\n";
    return page;
}

}  // namespace plenvo::web
