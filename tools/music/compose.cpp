// compose.cpp: writes the show's music, or a short test module, as an XM file.
#include "song.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: compose --out FILE\n"
                 "       compose --short SECONDS --out FILE\n"
                 "Writes the show's music (or a short module that plays about SECONDS, 0 < SECONDS <= 600)\n"
                 "as a FastTracker 2 module.\n");
    return 2;
}

bool parseSeconds(const char* text, double& seconds) {
    char* end = nullptr;
    seconds = std::strtod(text, &end);
    return end != text && *end == '\0' && seconds > 0 && seconds <= kMaxShortSeconds;
}

}  // namespace

int main(int argc, char** argv) {
    std::string out;
    double seconds = 0;
    bool isShort = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc && argv[i + 1][0] != '\0' && out.empty()) {
            out = argv[++i];
        } else if (std::strcmp(argv[i], "--short") == 0 && i + 1 < argc && !isShort) {
            if (!parseSeconds(argv[++i], seconds)) return usage();
            isShort = true;
        } else {
            return usage();
        }
    }
    if (out.empty()) return usage();

    const XmModule module = isShort ? composeShort(seconds) : composeSong();
    if (!saveFile(out, writeXm(module))) {
        std::fprintf(stderr, "compose: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
