#include <gtest/gtest.h>

#include "platform/process/environment.h"

namespace plenvo::platform {
namespace {

TEST(WorkingFolder, WithoutTempTheSystemsOwn) {
    EXPECT_EQ(workingFolderFromTemp(std::nullopt), "/tmp");
}

TEST(ComputerName, PrefersTheVariableThenTheHostName) {
    ::setenv("COMPUTERNAME", "SRV01", 1);
    EXPECT_EQ(computerName(), "SRV01");
    ::unsetenv("COMPUTERNAME");
    EXPECT_FALSE(computerName().empty());
}

}  // namespace
}  // namespace plenvo::platform
