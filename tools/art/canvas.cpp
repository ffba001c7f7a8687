// canvas.cpp: the painter's surfaces, noise, blur, cairo interop and share fitting.
#include "canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

#include "png_io.h"

Colour mix(Colour a, Colour b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Colour scale(Colour a, float k) { return {a.r * k, a.g * k, a.b * k}; }
Colour add(Colour a, Colour b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }

Canvas::Canvas(int w, int h, Colour fill)
    : width(w), height(h), rgb(static_cast<size_t>(w) * h, fill), alpha(static_cast<size_t>(w) * h, 1.0f) {}

Cairo beginCairo(const Canvas& canvas) {
    Cairo drawing;
    drawing.surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, canvas.width, canvas.height);
    drawing.cr = cairo_create(drawing.surface);
    setFontOptions(drawing.cr);
    return drawing;
}

// Source-over of the cairo layer (premultiplied, native-endian ARGB words) onto the float colour.
void endCairo(Cairo& drawing, Canvas& canvas) {
    cairo_surface_flush(drawing.surface);
    const uint8_t* data = cairo_image_surface_get_data(drawing.surface);
    const int stride = cairo_image_surface_get_stride(drawing.surface);
    for (int y = 0; y < canvas.height; ++y) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < canvas.width; ++x) {
            const uint32_t p = row[x];
            const float a = static_cast<float>(p >> 24) / 255.0f;
            if (a == 0.0f) continue;
            Colour& c = canvas.at(x, y);
            c.r = c.r * (1 - a) + static_cast<float>((p >> 16) & 255) / 255.0f;
            c.g = c.g * (1 - a) + static_cast<float>((p >> 8) & 255) / 255.0f;
            c.b = c.b * (1 - a) + static_cast<float>(p & 255) / 255.0f;
        }
    }
    cairo_destroy(drawing.cr);
    cairo_surface_destroy(drawing.surface);
}

Cairo beginMask(int width, int height) {
    Cairo drawing;
    drawing.surface = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
    drawing.cr = cairo_create(drawing.surface);
    setFontOptions(drawing.cr);
    cairo_set_source_rgba(drawing.cr, 1, 1, 1, 1);
    return drawing;
}

Mask endMask(Cairo& drawing) {
    cairo_surface_flush(drawing.surface);
    const int width = cairo_image_surface_get_width(drawing.surface);
    const int height = cairo_image_surface_get_height(drawing.surface);
    const int stride = cairo_image_surface_get_stride(drawing.surface);
    const uint8_t* data = cairo_image_surface_get_data(drawing.surface);
    Mask mask(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            mask[static_cast<size_t>(y) * width + x] = data[static_cast<size_t>(y) * stride + x] / 255.0f;
    cairo_destroy(drawing.cr);
    cairo_surface_destroy(drawing.surface);
    return mask;
}

void setColour(cairo_t* cr, Colour c, float a) { cairo_set_source_rgba(cr, c.r, c.g, c.b, a); }

// Fixed rendering options, so the lettering does not depend on the desktop's font settings.
void setFontOptions(cairo_t* cr) {
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

void centredText(cairo_t* cr, const std::string& text, double x, double y, double size,
                 const char* face, bool bold, double spacing) {
    cairo_select_font_face(cr, face, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    double total = 0;
    double top = 0, bottom = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        cairo_text_extents_t e;
        const std::string letter(1, text[i]);
        cairo_text_extents(cr, letter.c_str(), &e);
        total += e.x_advance + (i + 1 < text.size() ? spacing : 0);
        top = std::min(top, e.y_bearing);
        bottom = std::max(bottom, e.y_bearing + e.height);
    }
    double pen = x - total / 2;
    const double base = y - (top + bottom) / 2;
    for (char c : text) {
        const std::string letter(1, c);
        cairo_text_extents_t e;
        cairo_text_extents(cr, letter.c_str(), &e);
        cairo_move_to(cr, pen, base);
        cairo_text_path(cr, letter.c_str());
        pen += e.x_advance + spacing;
    }
    cairo_fill(cr);
}

float hash2(int x, int y, int seed) {
    uint32_t h = static_cast<uint32_t>(x) * 0x8da6b343u ^ static_cast<uint32_t>(y) * 0xd8163841u ^
                 static_cast<uint32_t>(seed) * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return static_cast<float>(h & 0xffffff) / 16777216.0f;
}

static int wrapIndex(int i, int period) { return ((i % period) + period) % period; }

float tileNoise(float x, float y, int period, int seed) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * tx * (tx * (tx * 6 - 15) + 10);
    ty = ty * ty * ty * (ty * (ty * 6 - 15) + 10);
    const int x0 = wrapIndex(ix, period), x1 = wrapIndex(ix + 1, period);
    const int y0 = wrapIndex(iy, period), y1 = wrapIndex(iy + 1, period);
    const float a = hash2(x0, y0, seed), b = hash2(x1, y0, seed);
    const float c = hash2(x0, y1, seed), d = hash2(x1, y1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float fbm(float x, float y, int period, int octaves, int seed) {
    float sum = 0, amplitude = 0.5f, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * tileNoise(x, y, period, seed + 17 * o);
        norm += amplitude;
        x *= 2;
        y *= 2;
        period *= 2;
        amplitude *= 0.5f;
    }
    return sum / norm;
}

// Repeated box blur along rows then columns (three passes approach a Gaussian); edges clamp.
void blurMask(Mask& mask, int width, int height, int radius, int passes) {
    if (radius <= 0) return;
    std::vector<float> line;
    for (int pass = 0; pass < passes; ++pass) {
        for (int dir = 0; dir < 2; ++dir) {
            const int count = dir == 0 ? width : height;
            const int lines = dir == 0 ? height : width;
            line.resize(count);
            for (int l = 0; l < lines; ++l) {
                auto index = [&](int i) {
                    i = std::clamp(i, 0, count - 1);
                    return dir == 0 ? static_cast<size_t>(l) * width + i : static_cast<size_t>(i) * width + l;
                };
                float sum = 0;
                for (int i = -radius; i <= radius; ++i) sum += mask[index(i)];
                for (int i = 0; i < count; ++i) {
                    line[i] = sum / static_cast<float>(2 * radius + 1);
                    sum += mask[index(i + radius + 1)] - mask[index(i - radius)];
                }
                for (int i = 0; i < count; ++i) mask[index(i)] = line[i];
            }
        }
    }
}

void overlay(Canvas& canvas, const Mask& mask, Colour c, float strength) {
    for (size_t i = 0; i < canvas.rgb.size(); ++i) {
        const float w = std::clamp(mask[i] * strength, 0.0f, 1.0f);
        canvas.rgb[i] = mix(canvas.rgb[i], c, w);
    }
}

void addLight(Canvas& canvas, const Mask& mask, Colour c, float strength) {
    for (size_t i = 0; i < canvas.rgb.size(); ++i) canvas.rgb[i] = add(canvas.rgb[i], scale(c, mask[i] * strength));
}

void fitAlphaShares(Canvas& canvas, double zeroShare, double fullShare) {
    const size_t n = canvas.alpha.size();
    std::vector<uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return canvas.alpha[a] < canvas.alpha[b]; });
    const size_t zeros = static_cast<size_t>(std::llround(zeroShare * static_cast<double>(n)));
    const size_t fulls = static_cast<size_t>(std::llround(fullShare * static_cast<double>(n)));
    const float lo = canvas.alpha[order[zeros]];
    const float hi = canvas.alpha[order[n - fulls - 1]];
    std::vector<float> fitted(n);
    for (size_t rank = 0; rank < n; ++rank) {
        const uint32_t i = order[rank];
        if (rank < zeros) {
            fitted[i] = 0.0f;
        } else if (rank >= n - fulls) {
            fitted[i] = 1.0f;
        } else {
            const float t = hi > lo ? std::clamp((canvas.alpha[i] - lo) / (hi - lo), 0.0f, 1.0f) : 0.5f;
            fitted[i] = (1.0f + 253.0f * t) / 255.0f;  // rounds to 1..254, never to 0 or 255
        }
    }
    canvas.alpha = fitted;
}

static uint8_t toByte(float v, float offset) {
    return static_cast<uint8_t>(std::clamp(std::floor(v * 255.0f + 0.5f + offset), 0.0f, 255.0f));
}

Picture quantise(const Canvas& canvas, bool dither) {
    Picture picture{canvas.width, canvas.height, std::vector<uint8_t>(canvas.rgb.size() * 4)};
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            const size_t i = static_cast<size_t>(y) * canvas.width + x;
            const float d = dither ? (hash2(x, y, 4242) - 0.5f) * 0.9f : 0.0f;
            picture.rgba[4 * i + 0] = toByte(canvas.rgb[i].r, d);
            picture.rgba[4 * i + 1] = toByte(canvas.rgb[i].g, d);
            picture.rgba[4 * i + 2] = toByte(canvas.rgb[i].b, d);
            picture.rgba[4 * i + 3] = toByte(canvas.alpha[i], 0.0f);
        }
    }
    return picture;
}

void fitBlackShare(Picture& picture, double share) {
    const size_t n = picture.rgba.size() / 4;
    auto key = [&](uint32_t i) {
        const uint8_t* p = &picture.rgba[4 * i];
        return std::max({p[0], p[1], p[2]}) * 1024 + p[0] + p[1] + p[2];
    };
    std::vector<uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return key(a) < key(b); });
    const size_t blacks = static_cast<size_t>(std::llround(share * static_cast<double>(n)));
    for (size_t rank = 0; rank < n; ++rank) {
        uint8_t* p = &picture.rgba[4 * order[rank]];
        if (rank < blacks) {
            p[0] = p[1] = p[2] = 0;
        } else if (p[0] == 0 && p[1] == 0 && p[2] == 0) {
            p[2] = 1;
        }
        p[3] = 255;
    }
}

bool savePicture(const Picture& picture, const std::string& path) {
    std::string error;
    if (!writePng(path, picture.width, picture.height, 4, picture.rgba.data(), error)) {
        fprintf(stderr, "paint: %s\n", error.c_str());
        return false;
    }
    return true;
}
