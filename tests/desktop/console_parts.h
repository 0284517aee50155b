#pragma once

#include "app/console.h"
#include "support/fake_clock.h"
#include "support/fake_dialogs.h"
#include "support/fake_window_host.h"
#include "support/temp_dir.h"

namespace plenvo::test {

// A console on a temporary base folder whose boxes and windows the test answers.
struct ConsoleParts {
    TempDir dir;
    FakeClock clock;
    RecordingFailureLog failures;
    const platform::RunContext ctx{platform::BaseFolder(dir.path()), clock, failures};
    app::IconAnimation animation{"1.0.4"};
    FakeDialogs dialogs;
    FakeWindowHost windows;
    app::Console management{ctx, animation, &dialogs};
};

}  // namespace plenvo::test
