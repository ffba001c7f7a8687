// canvas.h: the painter's working surfaces: float RGB canvases and masks, cairo interop, periodic
// noise, blur and glow, and the fitting of alpha and black shares to the catalogue's figures.
#pragma once
#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

// The show's palette: night blues, cyans and steel greys, one warm amber accent.
struct Colour {
    float r, g, b;
};
constexpr Colour kNight{0.012f, 0.020f, 0.060f};
constexpr Colour kNavy{0.035f, 0.075f, 0.180f};
constexpr Colour kDeepBlue{0.060f, 0.150f, 0.380f};
constexpr Colour kBlue{0.120f, 0.360f, 0.720f};
constexpr Colour kCyan{0.250f, 0.820f, 1.000f};
constexpr Colour kIce{0.780f, 0.960f, 1.000f};
constexpr Colour kSteel{0.520f, 0.590f, 0.680f};
constexpr Colour kLightSteel{0.800f, 0.840f, 0.880f};
constexpr Colour kAmber{1.000f, 0.600f, 0.200f};
constexpr Colour kEmber{0.900f, 0.300f, 0.100f};

Colour mix(Colour a, Colour b, float t);
Colour scale(Colour a, float k);
Colour add(Colour a, Colour b);

// A float picture: colour in 0..1 (not premultiplied) plus an alpha field in 0..1.
struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<Colour> rgb;
    std::vector<float> alpha;
    Canvas(int w, int h, Colour fill = {0, 0, 0});
    Colour& at(int x, int y) { return rgb[static_cast<size_t>(y) * width + x]; }
    float& alphaAt(int x, int y) { return alpha[static_cast<size_t>(y) * width + x]; }
};

using Mask = std::vector<float>;  // width * height values in 0..1

// Cairo drawing over a canvas: paint with the context, then fold it back (source-over).
struct Cairo {
    cairo_surface_t* surface;
    cairo_t* cr;
};
Cairo beginCairo(const Canvas& canvas);          // a surface holding the canvas's opaque colour
void endCairo(Cairo& drawing, Canvas& canvas);   // the surface's colour back into the canvas
Cairo beginMask(int width, int height);          // an empty A8-like surface for coverage masks
Mask endMask(Cairo& drawing);                    // its coverage, 0..1
void setColour(cairo_t* cr, Colour c, float a = 1.0f);
// Text centred on (x, y) at the given size; the face is a DejaVu family name, bold or not.
void centredText(cairo_t* cr, const std::string& text, double x, double y, double size,
                 const char* face, bool bold, double spacing = 0.0);
void setFontOptions(cairo_t* cr);

// Deterministic hash noise. tileNoise repeats every `period` lattice cells in x and y.
float hash2(int x, int y, int seed);
float tileNoise(float x, float y, int period, int seed);
float fbm(float x, float y, int period, int octaves, int seed);

void blurMask(Mask& mask, int width, int height, int radius, int passes = 3);
// Blend colour c over the canvas with weight mask * strength (clamped), or add it as light.
void overlay(Canvas& canvas, const Mask& mask, Colour c, float strength = 1.0f);
void addLight(Canvas& canvas, const Mask& mask, Colour c, float strength = 1.0f);

// Turns a soft alpha field into catalogue shares: the lowest `zeroShare` of the pixels become
// alpha 0, the highest `fullShare` alpha 255, the rest 1..254 in order. Needs a field whose
// plateaus of exactly 0 and 1 are smaller than the shares asked for.
void fitAlphaShares(Canvas& canvas, double zeroShare, double fullShare);

struct Picture {
    int width, height;
    std::vector<uint8_t> rgba;
};
// 8-bit bytes; `dither` adds a fixed sub-step pattern (the same in all channels) against banding.
Picture quantise(const Canvas& canvas, bool dither);
// Credit pages: the darkest `share` of the pixels become pure black, every other pixel keeps at
// least one non-zero channel, so the share is exact.
void fitBlackShare(Picture& picture, double share);
bool savePicture(const Picture& picture, const std::string& path);
