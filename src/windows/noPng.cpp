// noPng.cpp: render.exe's PNG calls, which the Windows build answers with a refusal: its renderer
// writes raw frames for comparing with Linux's, and libpng is not built for Windows.
#include "png_io.h"

static const char kNoPng[] = "PNG files are not in the Windows build; use --format raw";

bool readPng(const std::string&, RgbaImage&, std::string& error) { return error = kNoPng, false; }

bool writePng(const std::string&, int, int, int, const uint8_t*, std::string& error) {
    return error = kNoPng, false;
}
