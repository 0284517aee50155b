#include "app/command_line.h"

#include <charconv>

#include "app/front_menu.h"
#include "platform/text/utf8_path.h"

namespace plenvo::app {

std::string usageText() {
    return "usage: PlenvoBackupMng [--base DIR] [--once] [--headless] [--tick-ms N]\n"
           "                       [--http ADDR:PORT [--http-users FILE]\n"
           "                        [--http-cert FILE (--http-key FILE |\n"
           "                                          --http-cert-password-file FILE)]]\n"
           "       PlenvoBackupMng --install DIR\n"
           "       PlenvoBackupMngTray --front URL\n"
           "       PlenvoBackupMng --install-data DIR | --make-share | --remove-share |\n"
           "                       --end-consoles DIR\n"
           "  --base DIR     use DIR as the base folder instead of the folder the installer\n"
           "                 recorded, or else the program's own folder\n"
           "  --install DIR  lay out an installation in DIR (an existing Mng.mdb is kept)\n"
           "  The Windows installer's steps, as an administrator:\n"
           "  --install-data DIR  keep the data in DIR (an older installation's data beside\n"
           "                      the program moves there) and record it for the program\n"
           "  --make-share        share the data's OrvShare as OrvShare$ and record it\n"
           "  --remove-share      take OrvShare$ away when it shares the data's OrvShare\n"
           "  --end-consoles DIR  ask the consoles running DIR's program to end and wait\n"
           "                      for them (30 s at most)\n"
           "  --front URL    only a tray icon whose menu opens the pages of the console\n"
           "                 a service runs and serves at URL (Linux desktops)\n"
           "  --once         run the start-up pass, then end\n"
           "  --headless     no tray icon; the timers run until SIGINT or SIGTERM\n"
           "  --tick-ms N    timer interval in milliseconds (default 60000)\n"
           "  --http ADDR:PORT    serve the pages, logs and restore folders over HTTP\n"
           "                      (a port alone: 127.0.0.1; any other address needs\n"
           "                      --http-users, and on Windows --http-cert)\n"
           "  --http-users FILE   who may sign in: lines user:hash (openssl passwd -6)\n"
           "  --http-cert FILE    serve HTTPS with this certificate: PEM with --http-key\n"
           "                      (Linux), or a .pfx (PKCS#12, its key inside) with\n"
           "                      --http-cert-password-file\n"
           "  --http-key FILE     the PEM certificate's private key\n"
           "  --http-cert-password-file FILE\n"
           "                      the .pfx's password: the first line of FILE\n";
}

ParsedCommandLine parseCommandLine(const std::vector<std::string>& args) {
    Options options;
    web::WebOptions web;
    bool httpGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--once") {
            options.once = true;
        } else if (arg == "--headless") {
            options.headless = true;
        } else if (arg == "--make-share") {
            options.makeShare = true;
        } else if (arg == "--remove-share") {
            options.removeShare = true;
        } else if (arg == "--base" || arg == "--install" || arg == "--install-data" ||
                   arg == "--end-consoles" || arg == "--tick-ms") {
            if (!hasValue || args[i + 1].empty()) return {std::nullopt, arg + " needs a value"};
            const std::string& value = args[++i];
            if (arg == "--base") {
                options.base = platform::pathFromUtf8(value);
            } else if (arg == "--install") {
                options.install = platform::pathFromUtf8(value);
            } else if (arg == "--install-data") {
                options.installData = platform::pathFromUtf8(value);
            } else if (arg == "--end-consoles") {
                options.endConsoles = platform::pathFromUtf8(value);
            } else {
                int ms = 0;
                const auto [end, ec] =
                    std::from_chars(value.data(), value.data() + value.size(), ms);
                if (ec != std::errc() || end != value.data() + value.size() || ms < 1)
                    return {std::nullopt, "--tick-ms takes a whole number of milliseconds above 0"};
                options.tickMs = ms;
            }
        } else if (arg == "--front") {
            if (!hasValue || !servedAddressUsable(args[i + 1]))
                return {std::nullopt,
                        "--front takes the address the console's web view is served at, such "
                        "as http://127.0.0.1:8080/"};
            options.front = args[++i];
        } else if (arg == "--http" || arg == "--http-users" || arg == "--http-cert" ||
                   arg == "--http-key" || arg == "--http-cert-password-file") {
            if (!hasValue || args[i + 1].empty()) return {std::nullopt, arg + " needs a value"};
            const std::string& value = args[++i];
            if (arg == "--http" && web::parseLocalSocket(value)) {
                web.localSocket = web::parseLocalSocket(value);
                httpGiven = true;
            } else if (arg == "--http") {
                const auto listen = web::parseListenAddress(value);
                if (!listen)
                    return {std::nullopt,
                            "--http takes ADDR:PORT, such as 127.0.0.1:8080, a port alone, "
                            "or unix:PATH"};
                web.address = listen->first;
                web.port = listen->second;
                httpGiven = true;
            } else if (arg == "--http-users") {
                web.usersFile = platform::pathFromUtf8(value);
            } else if (arg == "--http-cert") {
                web.certFile = platform::pathFromUtf8(value);
            } else if (arg == "--http-key") {
                web.keyFile = platform::pathFromUtf8(value);
            } else {
                web.certPasswordFile = platform::pathFromUtf8(value);
            }
        } else {
            return {std::nullopt, "unknown option: " + arg};
        }
    }
    if (!httpGiven && (web.usersFile || web.certFile || web.keyFile || web.certPasswordFile))
        return {std::nullopt,
                "--http-users, --http-cert, --http-key and --http-cert-password-file go with "
                "--http"};
    const int steps = options.once + options.install.has_value() + options.installData.has_value() +
                      options.makeShare + options.removeShare + options.endConsoles.has_value();
    if (steps > 1)
        return {std::nullopt,
                "--once, --install, --install-data, --make-share, --remove-share and "
                "--end-consoles each run alone"};
    if (httpGiven && steps > 0)
        return {std::nullopt,
                "--http serves while the console runs: not with --once, --install or the "
                "installer's steps"};
    if (options.front && (steps > 0 || httpGiven || options.base || options.headless))
        return {std::nullopt, "--front runs alone: the console it leads to runs elsewhere"};
    if (httpGiven) options.http = web;
    return {options, {}};
}

}  // namespace plenvo::app
