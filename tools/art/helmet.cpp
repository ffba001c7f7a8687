// helmet.cpp: a pilot's helmet seen from the front, its dark visor crossed by the wave line that
// the helmet scene continues live between columns 73 and 233 (it starts at (73, 109)).
#include <algorithm>
#include <cmath>

#include "art.h"

static constexpr float kPi = 3.14159265358979f;

// The drawn-in wave: the left part ends exactly at (73, 109), the right part starts near row 108
// where the live wave's right end (rows 104 to 113 at column 233) leaves off.
static float waveRow(float x) {
    if (x <= 78.0f) return 109.0f + 4.0f * std::sin((73.0f - x) * 0.16f) * smoothstep(-10.0f, 60.0f, x) +
                           2.0f * std::sin((73.0f - x) * 0.05f);
    return 108.0f + 4.0f * std::sin((x - 234.0f) * 0.16f) * smoothstep(330.0f, 250.0f, x) +
           2.0f * std::sin((x - 234.0f) * 0.05f);
}

static float visorTop(float x) { return 80.0f + 0.0011f * (x - 160) * (x - 160); }
static float visorBottom(float x) { return 142.0f - 0.0009f * (x - 160) * (x - 160); }

Picture paintHelmet() {
    Canvas canvas(320, 240);
    // night behind
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) canvas.at(x, y) = mix(kNavy, kNight, y / 240.0f);
    paintStars(canvas, 7, 0.004f, 120);

    Cairo d = beginCairo(canvas);
    cairo_t* cr = d.cr;
    // shell: a wide dome, lit from the upper left
    cairo_save(cr);
    cairo_translate(cr, 160, 150);
    cairo_scale(cr, 178, 146);
    cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
    cairo_restore(cr);
    cairo_pattern_t* shell = cairo_pattern_create_radial(110, 40, 10, 160, 150, 200);
    cairo_pattern_add_color_stop_rgb(shell, 0.0, 0.86, 0.90, 0.95);
    cairo_pattern_add_color_stop_rgb(shell, 0.35, 0.50, 0.57, 0.66);
    cairo_pattern_add_color_stop_rgb(shell, 0.75, 0.22, 0.27, 0.36);
    cairo_pattern_add_color_stop_rgb(shell, 1.0, 0.08, 0.10, 0.16);
    cairo_set_source(cr, shell);
    cairo_fill(cr);
    cairo_pattern_destroy(shell);
    // crest: a raised band over the top with an amber stripe
    cairo_move_to(cr, 146, 4);
    cairo_curve_to(cr, 148, 30, 150, 60, 150, 84);
    cairo_line_to(cr, 170, 84);
    cairo_curve_to(cr, 170, 60, 172, 30, 174, 4);
    cairo_close_path(cr);
    cairo_pattern_t* crest = cairo_pattern_create_linear(146, 0, 174, 0);
    cairo_pattern_add_color_stop_rgb(crest, 0.0, 0.30, 0.35, 0.44);
    cairo_pattern_add_color_stop_rgb(crest, 0.4, 0.80, 0.85, 0.90);
    cairo_pattern_add_color_stop_rgb(crest, 1.0, 0.25, 0.29, 0.37);
    cairo_set_source(cr, crest);
    cairo_fill(cr);
    cairo_pattern_destroy(crest);
    setColour(cr, kAmber);
    cairo_rectangle(cr, 158.5, 10, 3, 68);
    cairo_fill(cr);
    // panel seams and rivets
    setColour(cr, kNight, 0.55f);
    cairo_set_line_width(cr, 1.2);
    for (int side = -1; side <= 1; side += 2) {
        cairo_move_to(cr, 160 + side * 40, 14);
        cairo_curve_to(cr, 160 + side * 75, 30, 160 + side * 100, 50, 160 + side * 112, 79);
        cairo_stroke(cr);
        for (int i = 0; i < 5; ++i) {
            const double t = 0.15 + 0.17 * i;
            const double x = 160 + side * (48 + 60 * t), y = 22 + 60 * t * t + 10 * t;
            setColour(cr, kLightSteel);
            cairo_arc(cr, x, y, 1.6, 0, 2 * kPi);
            cairo_fill(cr);
            setColour(cr, kNight, 0.55f);
        }
    }
    // the visor rim, then the dark glass
    auto visorPath = [&](float grow) {
        cairo_move_to(cr, -2, visorTop(-2) - grow);
        for (int x = 0; x <= 322; x += 4) cairo_line_to(cr, x, visorTop(x) - grow);
        for (int x = 322; x >= -2; x -= 4) cairo_line_to(cr, x, visorBottom(x) + grow);
        cairo_close_path(cr);
    };
    visorPath(6);
    cairo_pattern_t* rim = cairo_pattern_create_linear(0, 70, 0, 150);
    cairo_pattern_add_color_stop_rgb(rim, 0.0, 0.75, 0.80, 0.86);
    cairo_pattern_add_color_stop_rgb(rim, 0.5, 0.25, 0.29, 0.37);
    cairo_pattern_add_color_stop_rgb(rim, 1.0, 0.55, 0.60, 0.68);
    cairo_set_source(cr, rim);
    cairo_fill(cr);
    cairo_pattern_destroy(rim);
    visorPath(0);
    cairo_pattern_t* glass = cairo_pattern_create_linear(0, 80, 0, 142);
    cairo_pattern_add_color_stop_rgb(glass, 0.0, 0.010, 0.020, 0.055);
    cairo_pattern_add_color_stop_rgb(glass, 0.55, 0.020, 0.045, 0.110);
    cairo_pattern_add_color_stop_rgb(glass, 1.0, 0.040, 0.090, 0.190);
    cairo_set_source(cr, glass);
    cairo_fill(cr);
    cairo_pattern_destroy(glass);
    // chin guard with vents and two amber lamps
    cairo_move_to(cr, 96, 150);
    cairo_curve_to(cr, 120, 150, 200, 150, 224, 150);
    cairo_curve_to(cr, 222, 190, 200, 222, 160, 228);
    cairo_curve_to(cr, 120, 222, 98, 190, 96, 150);
    cairo_close_path(cr);
    cairo_pattern_t* chin = cairo_pattern_create_linear(96, 150, 224, 228);
    cairo_pattern_add_color_stop_rgb(chin, 0.0, 0.62, 0.68, 0.76);
    cairo_pattern_add_color_stop_rgb(chin, 1.0, 0.16, 0.19, 0.26);
    cairo_set_source(cr, chin);
    cairo_fill(cr);
    cairo_pattern_destroy(chin);
    for (int i = 0; i < 4; ++i) {
        const double y = 168 + 11 * i, half = 38 - 6 * i;
        setColour(cr, kNight, 0.9f);
        cairo_set_line_width(cr, 4);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_move_to(cr, 160 - half, y);
        cairo_line_to(cr, 160 + half, y);
        cairo_stroke(cr);
    }
    for (int side = -1; side <= 1; side += 2) {
        setColour(cr, kAmber);
        cairo_arc(cr, 160 + side * 50, 160, 3.2, 0, 2 * kPi);
        cairo_fill(cr);
    }
    // neck ring
    cairo_rectangle(cr, 0, 232, 320, 8);
    setColour(cr, kNight);
    cairo_fill(cr);
    endCairo(d, canvas);

    // reflections in the glass: a cold band of sky and a faint city glow
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const float fx = static_cast<float>(x);
            if (y < visorTop(fx) || y > visorBottom(fx)) continue;
            const float band = smoothstep(14.0f, 0.0f, std::fabs((x * 0.45f + y) - 150.0f));
            const float band2 = smoothstep(5.0f, 0.0f, std::fabs((x * 0.45f + y) - 175.0f));
            const float low = smoothstep(120.0f, 142.0f, static_cast<float>(y));
            Colour& c = canvas.at(x, y);
            c = add(c, scale(kBlue, 0.22f * band + 0.12f * band2));
            c = add(c, scale(kCyan, 0.10f * low * (0.5f + 0.5f * std::sin(x * 0.3f))));
        }

    // the wave line: a light grey core with a cyan glow, like a trace on a scope
    Mask core(canvas.rgb.size(), 0.0f);
    Cairo m = beginMask(320, 240);
    cairo_set_line_width(m.cr, 1.6);
    cairo_move_to(m.cr, 0, waveRow(0));
    for (int x = 1; x <= 73; ++x) cairo_line_to(m.cr, x, waveRow(static_cast<float>(x)));
    cairo_line_to(m.cr, 78, waveRow(78));
    cairo_stroke(m.cr);
    cairo_move_to(m.cr, 234, waveRow(234));
    for (int x = 235; x <= 320; ++x) cairo_line_to(m.cr, x, waveRow(static_cast<float>(x)));
    cairo_stroke(m.cr);
    core = endMask(m);
    Mask glow = core;
    blurMask(glow, 320, 240, 3);
    addLight(canvas, glow, kCyan, 0.9f);
    overlay(canvas, core, {0.80f, 0.80f, 0.80f}, 1.3f);
    // the live wave's left end sits on this pixel: make sure it is the line's own colour
    for (int x = 0; x <= 78; ++x) canvas.at(x, static_cast<int>(std::lround(waveRow(static_cast<float>(x))))) = {0.8f, 0.8f, 0.8f};
    for (int x = 234; x < 320; ++x) canvas.at(x, static_cast<int>(std::lround(waveRow(static_cast<float>(x))))) = {0.8f, 0.8f, 0.8f};
    return quantise(canvas, true);
}
