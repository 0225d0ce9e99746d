// A helper process for the kill test of the preferences file: it rewrites
// the file as fast as it can until it is killed.
//
//     preferences_writer FILE
//
// It opens the store on FILE, reads the generation the file holds (0 when
// there is none) and then, for the next generations n = g+1, g+2, ...:
// prints "S n" (starting), saves deviceInGroupFor(n) under "deviceInGroup",
// prints "D n" (done). Each line is one write(2) to standard output, so the
// parent reading the pipe knows, when it kills this process, which two
// generations the file may hold. Exits 2 when the file it found was not
// one of those (moved aside as corrupt, or an unknown content).

#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

#include "common/log.h"
#include "devices/json_file_preferences.h"
#include "devices/preferences_writer_content.h"

namespace {

void say(char kind, long long generation)
{
    char line[48];
    const int n = std::snprintf(line, sizeof line, "%c %lld\n", kind, generation);
    // One write each: a line is either in the pipe whole or not at all.
    if (::write(STDOUT_FILENO, line, static_cast<std::size_t>(n)) != n)
        _exit(3);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: preferences_writer FILE\n", stderr);
        return 1;
    }
    // Warnings (a corrupt file moved aside, a failed save) go to stderr.
    lightdeck::log::setSink([](lightdeck::log::Level level, std::string_view line) {
        if (level == lightdeck::log::Level::Warning)
            std::fprintf(stderr, "preferences_writer: %.*s\n", static_cast<int>(line.size()), line.data());
    });

    lightdeck::JsonFilePreferences prefs(argv[1]);
    if (!prefs.movedAsideTo().empty())
        return 2;
    long long generation = 0;
    if (auto stored = prefs.objectForKey("deviceInGroup")) {
        generation = lightdeck::testing::generationOf(*stored);
        if (generation < 0)
            return 2;
    }
    for (;;) {
        ++generation;
        say('S', generation);
        prefs.setObject("deviceInGroup", lightdeck::testing::deviceInGroupFor(generation));
        if (prefs.lastError())
            return 4;
        say('D', generation);
    }
}
