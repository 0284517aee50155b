#include "app/command_line.h"

#include <charconv>

#include "platform/utf8_path.h"

namespace plenvo::app {

std::string usageText() {
    return "usage: PlenvoBackupMng [--base DIR] [--once] [--headless] [--tick-ms N]\n"
           "       PlenvoBackupMng --install DIR\n"
           "  --base DIR     use DIR as the base folder instead of the program's own folder\n"
           "  --install DIR  lay out an installation in DIR (an existing Mng.mdb is kept)\n"
           "  --once         run the start-up pass, then end\n"
           "  --headless     no tray icon; the timers run until SIGINT or SIGTERM\n"
           "  --tick-ms N    timer interval in milliseconds (default 60000)\n";
}

ParsedCommandLine parseCommandLine(const std::vector<std::string>& args) {
    Options options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--once") {
            options.once = true;
        } else if (arg == "--headless") {
            options.headless = true;
        } else if (arg == "--base" || arg == "--install" || arg == "--tick-ms") {
            if (!hasValue || args[i + 1].empty()) return {std::nullopt, arg + " needs a value"};
            const std::string& value = args[++i];
            if (arg == "--base") {
                options.base = platform::pathFromUtf8(value);
            } else if (arg == "--install") {
                options.install = platform::pathFromUtf8(value);
            } else {
                int ms = 0;
                const auto [end, ec] =
                    std::from_chars(value.data(), value.data() + value.size(), ms);
                if (ec != std::errc() || end != value.data() + value.size() || ms < 1)
                    return {std::nullopt, "--tick-ms takes a whole number of milliseconds above 0"};
                options.tickMs = ms;
            }
        } else {
            return {std::nullopt, "unknown option: " + arg};
        }
    }
    return {options, {}};
}

}  // namespace plenvo::app
