#include "pages/page_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "pages/log_viewer.h"
#include "pages/sha256.h"

namespace plenvo::pages {
namespace {

TEST(PageText, GroupsWholeNumbers) {
    EXPECT_EQ(groupedNumber(0), "0");
    EXPECT_EQ(groupedNumber(999), "999");
    EXPECT_EQ(groupedNumber(1234567), "1,234,567");
    EXPECT_EQ(groupedNumber(1234.5), "1,235");
    EXPECT_EQ(groupedNumber(-1000), "-1,000");
    EXPECT_EQ(groupedNumber(500105249792.0), "500,105,249,792");
}

TEST(PageText, EscapesMarkupAndScriptStrings) {
    EXPECT_EQ(htmlEscaped("<script>alert('x')</script>&\""),
              "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;&amp;&quot;");
    EXPECT_EQ(vbsStringEscaped("\\\\srv\\a\" & CreateObject(\"x\") & \""),
              "\\\\srv\\a\"\" & CreateObject(\"\"x\"\") & \"\"");
}

TEST(PageText, LinksOnlyToUncDriveAndPlainRelativePaths) {
    for (const char* path : {"\\\\srv\\share", "\\\\srv", "\\\\srv\\share\\a:b",
                             "C:", "c:\\bk\\PC01", "backup\\PC01", "..\\up", "a/b", "山田"})
        EXPECT_EQ(linkablePath(path), path) << path;
    for (const char* path :
         {"javascript:alert(document.domain)//x", "JavaScript:x", "java\tscript:x",
          "java\nscript:x", " javascript:x", "data:text/html,x", "vbscript:msgbox",
          "file:///etc/passwd", "http://evil", "//evil/x", "/etc", "\\\\\\x", "\\\\/evil", "\\x",
          "CC:\\x", "C:x", "\\\\srv\\a\x01", "a\x7f", ""})
        EXPECT_EQ(linkablePath(path), "") << path;
}

TEST(LogViewerName, PlainNamesStayAsTheyAreOthersCannotLeaveTheFolder) {
    EXPECT_EQ(logViewerFileName("PC01", "u01"), "PC01_u01_Log.vbs");
    for (const auto& [host, user] :
         std::vector<std::pair<std::string, std::string>>{{"..", "..\\..\\x"},
                                                          {"../../etc", "passwd"},
                                                          {"PC<1>", "a b"},
                                                          {".hidden", "u"},
                                                          {"山田PC", "u"}}) {
        const std::string name = logViewerFileName(host, user);
        EXPECT_EQ(name.find_first_of("/\\<> '\""), std::string::npos) << name;
        EXPECT_NE(name.front(), '.') << name;
        EXPECT_TRUE(name.ends_with("_Log.vbs")) << name;
    }
    // Replacing characters must not make two hosts share one viewer.
    EXPECT_NE(logViewerFileName("PC/1", "u"), logViewerFileName("PC_1", "u"));
    EXPECT_NE(logViewerFileName("PC/1", "u"), logViewerFileName("PC:1", "u"));
}

TEST(LogViewerName, DistinctPairsNeverShareAName) {
    EXPECT_EQ(logViewerFileName("PC01", "taro_yamada"), "PC01_taro_yamada_Log.vbs");
    EXPECT_EQ(logViewerFileName("pc-01.office", "u.1"), "pc-01.office_u.1_Log.vbs");
    const std::vector<std::pair<std::string, std::string>> pairs = {{"a_b", "c"},
                                                                    {"a", "b_c"},
                                                                    {"a_b_c", ""},
                                                                    {"", "a_b_c"},
                                                                    {"a", "b"},
                                                                    {"a_", "b"},
                                                                    {"a", "_b"},
                                                                    {"PC/1", "u"},
                                                                    {"PC_1", "u"},
                                                                    {std::string("a\0b", 3), "c"},
                                                                    {"a", std::string("b\0c", 3)},
                                                                    {"1:a", "b"},
                                                                    {"1", ":ab"},
                                                                    {std::string(300, 'x'), "u"},
                                                                    {std::string(300, 'x'), "uu"}};
    std::set<std::string> names;
    for (const auto& [host, user] : pairs) {
        const std::string name = logViewerFileName(host, user);
        EXPECT_LE(name.size(), 255u) << name;
        EXPECT_TRUE(names.insert(name).second) << host << " / " << user << " -> " << name;
    }
}

TEST(Sha256, MatchesTheStandardVectors) {
    const auto hex = [](std::string_view text) {
        std::string out;
        char buffer[3];
        for (auto byte : sha256(text)) {
            std::snprintf(buffer, sizeof buffer, "%02x", byte);
            out += buffer;
        }
        return out;
    };
    EXPECT_EQ(hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

}  // namespace
}  // namespace plenvo::pages
