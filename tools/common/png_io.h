// png_io.h: 8-bit RGBA and RGB PNG files through libpng, for the tools and tests (never the show itself).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;  // width * height * 4 bytes: red, green, blue, alpha, row-major
};

// Reads any PNG libpng understands, expanded to 8-bit RGBA. On failure returns false and sets error.
bool readPng(const std::string& path, RgbaImage& image, std::string& error);

// Writes 8-bit RGBA (channels 4) or RGB (channels 3) rows of width * channels bytes.
bool writePng(const std::string& path, int width, int height, int channels,
              const uint8_t* data, std::string& error);
