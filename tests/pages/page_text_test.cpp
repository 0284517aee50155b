#include "pages/page_text.h"

#include <gtest/gtest.h>

#include "pages/log_viewer.h"

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

}  // namespace
}  // namespace plenvo::pages
