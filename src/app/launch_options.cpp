#include "app/launch_options.h"

#include <charconv>

namespace lightdeck {
namespace {

bool isSet(const char* value) { return value != nullptr && *value != '\0'; }

bool parseCount(const std::string& text, int& count)
{
    const char* first = text.data();
    const char* last = first + text.size();
    auto [end, error] = std::from_chars(first, last, count);
    return error == std::errc() && end == last;
}

}  // namespace

LaunchParse parseLaunchOptions(const std::vector<std::string>& arguments)
{
    LaunchParse result;
    LaunchOptions& options = result.options;
    bool backendGiven = false;
    auto chooseBackend = [&](BackendChoice choice) {
        if (backendGiven && options.backend != choice) {
            result.error = "--simulate and --bluetooth cannot be used together";
            return false;
        }
        backendGiven = true;
        options.backend = choice;
        return true;
    };

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--simulate") {
            if (!chooseBackend(BackendChoice::Simulated))
                return result;
        } else if (arg.rfind("--simulate=", 0) == 0) {
            if (!chooseBackend(BackendChoice::Simulated))
                return result;
            const std::string count = arg.substr(11);
            if (!parseCount(count, options.simulatedLights) || options.simulatedLights < 1 ||
                options.simulatedLights > kMaxSimulatedLights) {
                result.error = "--simulate=N needs a number of lights from 1 to " +
                               std::to_string(kMaxSimulatedLights) + ", not \"" + count + "\"";
                return result;
            }
        } else if (arg == "--bluetooth") {
            if (!chooseBackend(BackendChoice::Bluetooth))
                return result;
        } else if (arg == "--screenshots" || arg.rfind("--screenshots=", 0) == 0) {
            std::string dir;
            if (arg == "--screenshots") {
                if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                    result.error = "--screenshots needs a folder: --screenshots DIR";
                    return result;
                }
                dir = arguments[++i];
            } else {
                dir = arg.substr(14);
            }
            if (dir.empty()) {
                result.error = "--screenshots needs a folder: --screenshots DIR";
                return result;
            }
            options.screenshotsDir = dir;
        } else if (arg == "-platform") {
            // Qt's own option: note it for the display check, leave it to Qt.
            if (i + 1 < arguments.size())
                options.qtPlatform = arguments[++i];
        } else if (arg.rfind("--", 0) == 0) {
            result.error = "unknown option " + arg;
            return result;
        } else if (arg.rfind('-', 0) == 0) {
            // Another option of Qt's (-style fusion, -reverse ...): its value,
            // if it has one, is the next argument.
            if (i + 1 < arguments.size() && arguments[i + 1].rfind('-', 0) != 0)
                ++i;
        } else {
            result.error = "unexpected argument \"" + arg + "\"";
            return result;
        }
    }
    if (!options.screenshotsDir.empty() && options.backend == BackendChoice::Bluetooth)
        result.error = "--screenshots runs against virtual lights; it cannot be used with --bluetooth";
    return result;
}

std::string usageText()
{
    return "Usage: lightdeck [--simulate[=N] | --bluetooth] [--screenshots DIR]\n"
           "\n"
           "Controls Bluetooth LE photo and video lights.\n"
           "\n"
           "  (no option)        use the Bluetooth adapter when one is present,\n"
           "                     virtual lights otherwise\n"
           "  --simulate         use the built-in neighbourhood of virtual lights\n"
           "  --simulate=N       use N plain virtual lights (1 to " +
           std::to_string(kMaxSimulatedLights) +
           ")\n"
           "  --bluetooth        use the Bluetooth adapter (Qt Bluetooth, BlueZ)\n"
           "  --screenshots DIR  save a PNG of each screen into DIR and exit;\n"
           "                     needs no display (runs offscreen, virtual lights)\n"
           "  -h, --help         show this text\n"
           "\n"
           "Groups are kept in $XDG_CONFIG_HOME/lightdeck/preferences.json\n"
           "(~/.config/lightdeck/preferences.json by default).\n"
           "Exit codes: 2 wrong command line, 3 no display, 4 backend not available.\n";
}

bool hasDisplay(const LaunchOptions& options, const std::function<const char*(const char*)>& environment)
{
    return !options.qtPlatform.empty() || isSet(environment("QT_QPA_PLATFORM")) ||
           isSet(environment("DISPLAY")) || isSet(environment("WAYLAND_DISPLAY"));
}

std::string noDisplayMessage()
{
    return "lightdeck: no display found: neither DISPLAY nor WAYLAND_DISPLAY is set,\n"
           "so there is nowhere to show the window. Either\n"
           "  - run it on a desktop session, or under a virtual X server:\n"
           "      xvfb-run -a lightdeck --simulate\n"
           "  - save screenshots of every screen instead (no display needed):\n"
           "      lightdeck --screenshots /tmp/lightdeck-shots\n"
           "  - or run it without showing anything:\n"
           "      QT_QPA_PLATFORM=offscreen lightdeck --simulate\n";
}

}  // namespace lightdeck
