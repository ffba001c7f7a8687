// paint.cpp: the art tool: paints the show's seventeen pictures, or the menu's icons, and writes
// them as 8-bit RGBA PNGs.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "art.h"

struct Painter {
    const char* name;
    Picture (*paint)();
};

static const Painter kPainters[] = {
    {"klockz", paintKlockz},           {"klocka1", paintKlocka1},
    {"klocka2", paintKlocka2},         {"helmet", paintHelmet},
    {"tarnivoisback", paintTarnivoisback}, {"tall", paintTall},
    {"upper", paintUpper},             {"plasmapic2", paintPlasmapic2},
    {"silhouette", paintSilhouette},   {"plasmapic", paintPlasmapic},
    {"demogirl", paintDemogirl},       {"demogirl2", paintDemogirl2},
    {"cred_quenor", paintCredQuenor},  {"cred_velmit", paintCredVelmit},
    {"cred_orsadun", paintCredOrsadun}, {"cred_fembrik", paintCredFembrik},
    {"cred_tessik", paintCredTessik},
};

// Shares a reader cares about, printed so a painter change that drifts is seen at once.
static void report(const char* name, const Picture& p) {
    size_t zero = 0, full = 0, black = 0;
    const size_t n = p.rgba.size() / 4;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* q = &p.rgba[4 * i];
        zero += q[3] == 0;
        full += q[3] == 255;
        black += q[0] == 0 && q[1] == 0 && q[2] == 0;
    }
    printf("%-14s %3dx%-3d alpha 0 %5.1f%%  255 %5.1f%%  partial %5.1f%%  black %5.1f%%\n", name,
           p.width, p.height, 100.0 * zero / n, 100.0 * full / n, 100.0 * (n - zero - full) / n,
           100.0 * black / n);
}

// The sizes the package installs into the icon theme (src/package/CMakeLists.txt), and those the
// web page's manifest names (src/web/CMakeLists.txt).
static const int kIconSizes[] = {48, 128, 192, 256, 512};

static int paintIcons(const std::string& outDir) {
    int status = 0;
    for (const int size : kIconSizes) {
        const std::string name = "nocturne-" + std::to_string(size);
        const Picture picture = paintIcon(size);
        report(name.c_str(), picture);
        if (!savePicture(picture, outDir + "/" + name + ".png")) status = 1;
    }
    return status;
}

int main(int argc, char** argv) {
    const bool icons = argc == 3 && strcmp(argv[1], "--icons") == 0;
    if (argc < 2 || strcmp(argv[1], "--help") == 0 || (!icons && argv[1][0] == '-')) {
        fprintf(stderr, "usage: paint OUTDIR [NAME...]\n  Paints the named pictures (all when none is named) "
                        "into OUTDIR/<name>.png.\n"
                        "       paint --icons OUTDIR\n  Paints the menu's icon at 48, 128, 192, 256 and 512 pixels into "
                        "OUTDIR/nocturne-<size>.png.\n");
        return 2;
    }
    if (icons) {
        std::error_code error;
        std::filesystem::create_directories(argv[2], error);
        return paintIcons(argv[2]);
    }
    const std::string outDir = argv[1];
    std::error_code error;
    std::filesystem::create_directories(outDir, error);
    int status = 0;
    for (int a = 2; a < argc; ++a) {
        bool known = false;
        for (const Painter& p : kPainters) known = known || strcmp(p.name, argv[a]) == 0;
        if (!known) {
            fprintf(stderr, "paint: no picture named '%s'\n", argv[a]);
            return 2;
        }
    }
    for (const Painter& p : kPainters) {
        bool wanted = argc == 2;
        for (int a = 2; a < argc; ++a) wanted = wanted || strcmp(p.name, argv[a]) == 0;
        if (!wanted) continue;
        const Picture picture = p.paint();
        report(p.name, picture);
        if (!savePicture(picture, outDir + "/" + p.name + ".png")) status = 1;
    }
    return status;
}
