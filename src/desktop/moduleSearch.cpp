// moduleSearch.cpp: the song's file looked for in its three places, the same on Linux and Windows.
#include "moduleSearch.h"

#include <vector>

#include "platform.h"

static constexpr char kModule[] = "musa.xm";

bool findModule(std::string& path, std::string& looked) {
    struct Place {
        std::string folder;  // with its separator at the end; "" is the current folder
        std::string said;
    };
    std::vector<Place> places = {{"", "in the current folder"}};
    const std::string beside = programFolder();
    if (!beside.empty()) places.push_back({beside, "beside the program (" + beside + ")"});
#ifdef SHOW_DATA_DIR  // where the install rules put it, under the build's install prefix; none on Windows
    places.push_back({SHOW_DATA_DIR "/", "in " SHOW_DATA_DIR});
#endif
    looked = std::string("no \"") + kModule + "\"";
    for (size_t i = 0; i < places.size(); ++i) {
        if (fileExists(places[i].folder + kModule)) {
            path = openableIn(places[i].folder, kModule);
            return true;
        }
        looked += (i == 0 ? " " : i + 1 < places.size() ? ", " : " or ") + places[i].said;
    }
    return false;
}
