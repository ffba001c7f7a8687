// options.cpp: reading the show's command line.
#include "options.h"

#include <cerrno>
#include <cstdlib>

// The manual page, src/package/show.6, must name every option here (the package's test checks).
const char kShowUsage[] =
    "usage: show [--from MS] [--to MS] [--loop] [--fullscreen] [--controls]\n"
    "  --from MS     start at show time MS (milliseconds), the music from there too\n"
    "  --to MS       end at show time MS\n"
    "  --loop        play from --from to --to again and again\n"
    "  --fullscreen  fill the screen, scaled by a whole number\n"
    "  --controls    keys as a player's: Space pause, Left/Right 5 s, Page Up/Down the previous or\n"
    "                next scene, Home back to --from, . one frame on while paused, F full screen,\n"
    "                Esc or Q end\n"
    "  Without --controls any key ends the show. It reads \"musa.xm\" from the current folder,\n"
    "  else from the program's folder, else from the folder its package installed it in.\n";

// A whole number of milliseconds from 0 to a little over the song, nothing else.
static bool parseTime(const char* text, int32_t& value) {
    if (*text < '0' || *text > '9') return false;
    char* end = nullptr;
    errno = 0;
    const long parsed = strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed > 24 * 3600 * 1000L) return false;
    value = static_cast<int32_t>(parsed);
    return true;
}

bool parseShowOptions(int argc, char** argv, ShowOptions& options, std::string& problem) {
    bool haveFrom = false, haveTo = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--from" || option == "--to") {
            bool& seen = option == "--from" ? haveFrom : haveTo;
            if (seen) return problem = option + " given twice", false;
            if (i + 1 >= argc) return problem = "missing milliseconds after " + option, false;
            if (!parseTime(argv[++i], option == "--from" ? options.from : options.to))
                return problem = option + " wants whole milliseconds, not '" + argv[i] + "'", false;
            seen = true;
        } else if (option == "--loop") {
            options.loop = true;
        } else if (option == "--fullscreen") {
            options.fullscreen = true;
        } else if (option == "--controls") {
            options.controls = true;
        } else {
            return problem = "unknown option " + option, false;
        }
    }
    if (options.to <= options.from) return problem = "--to must come after --from", false;
    return true;
}
