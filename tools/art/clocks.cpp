// clocks.cpp: the clock scene: the striped background with its rings and the two grey dials.
#include <algorithm>
#include <array>
#include <cmath>

#include "art.h"

static constexpr float kPi = 3.14159265358979f;

// A ring of light framing where a dial turns: steel band, fine inner line, ticks, amber mark at noon.
static void frameRing(Canvas& canvas, float cx, float cy, float radius, float band, int ticks) {
    Mask glow(canvas.rgb.size(), 0.0f);
    Cairo c = beginCairo(canvas);
    cairo_set_line_width(c.cr, band + 6);
    setColour(c.cr, kNight, 0.85f);
    cairo_arc(c.cr, cx, cy, radius, 0, 2 * kPi);
    cairo_stroke(c.cr);
    cairo_pattern_t* steel = cairo_pattern_create_linear(cx - radius, cy - radius, cx + radius, cy + radius);
    cairo_pattern_add_color_stop_rgb(steel, 0.0, 0.85, 0.89, 0.93);
    cairo_pattern_add_color_stop_rgb(steel, 0.45, 0.42, 0.48, 0.56);
    cairo_pattern_add_color_stop_rgb(steel, 1.0, 0.20, 0.24, 0.32);
    cairo_set_source(c.cr, steel);
    cairo_set_line_width(c.cr, band);
    cairo_arc(c.cr, cx, cy, radius, 0, 2 * kPi);
    cairo_stroke(c.cr);
    cairo_pattern_destroy(steel);
    setColour(c.cr, kSteel, 0.7f);
    cairo_set_line_width(c.cr, 1.0);
    cairo_arc(c.cr, cx, cy, radius - band / 2 - 3, 0, 2 * kPi);
    cairo_stroke(c.cr);
    for (int i = 0; i < ticks; ++i) {
        const float a = 2 * kPi * static_cast<float>(i) / static_cast<float>(ticks);
        const float r0 = radius + band / 2 + 2, r1 = radius + band / 2 + (i % 5 == 0 ? 7.0f : 4.0f);
        setColour(c.cr, i % 5 == 0 ? kLightSteel : kSteel, 0.9f);
        cairo_set_line_width(c.cr, i % 5 == 0 ? 1.6 : 1.0);
        cairo_move_to(c.cr, cx + r0 * std::sin(a), cy - r0 * std::cos(a));
        cairo_line_to(c.cr, cx + r1 * std::sin(a), cy - r1 * std::cos(a));
        cairo_stroke(c.cr);
    }
    setColour(c.cr, kAmber);
    cairo_arc(c.cr, cx, cy - radius, band * 0.3, 0, 2 * kPi);
    cairo_fill(c.cr);
    endCairo(c, canvas);

    Cairo m = beginMask(canvas.width, canvas.height);
    cairo_set_line_width(m.cr, 2.0);
    cairo_arc(m.cr, cx, cy, radius + band / 2 + 1, 0, 2 * kPi);
    cairo_stroke(m.cr);
    cairo_arc(m.cr, cx, cy - radius, band * 0.6, 0, 2 * kPi);
    cairo_fill(m.cr);
    glow = endMask(m);
    blurMask(glow, canvas.width, canvas.height, 4);
    addLight(canvas, glow, kCyan, 0.55f);
}

Picture paintKlockz() {
    Canvas canvas(320, 240);
    paintStripes(canvas, 16, 8, mix(kNavy, kNight, 0.2f), kNight);
    // a cold light from the upper left, a vignette toward the corners
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const float dx = (x - 120.0f) / 220.0f, dy = (y - 90.0f) / 200.0f;
            const float light = std::max(0.0f, 1.0f - (dx * dx + dy * dy));
            const float grain = fbm(x / 24.0f, y / 24.0f, 64, 4, 11) - 0.5f;
            Colour& c = canvas.at(x, y);
            c = add(scale(c, 0.55f + 0.9f * light), scale(kDeepBlue, 0.25f * light + 0.08f * grain));
        }
    paintStars(canvas, 91, 0.0025f, 240);
    // clockwork guides: fine dashed circles and spokes between each dial and its outer ring
    Cairo g = beginCairo(canvas);
    cairo_set_line_width(g.cr, 1.0);
    const double dashes[] = {2.0, 3.0};
    for (const auto& [cx, cy, inner, outer] : {std::array<double, 4>{100, 100, 52, 97}, std::array<double, 4>{190, 140, 31, 53}}) {
        cairo_set_dash(g.cr, dashes, 2, 0);
        for (double r = inner + 10; r < outer - 6; r += 11) {
            setColour(g.cr, kSteel, 0.28f);
            cairo_new_sub_path(g.cr);
            cairo_arc(g.cr, cx, cy, r, 0, 2 * kPi);
            cairo_stroke(g.cr);
        }
        cairo_set_dash(g.cr, nullptr, 0, 0);
        for (int i = 0; i < 24; ++i) {
            const double a = 2 * kPi * i / 24;
            setColour(g.cr, kBlue, 0.30f);
            cairo_move_to(g.cr, cx + (inner + 3) * std::sin(a), cy - (inner + 3) * std::cos(a));
            cairo_line_to(g.cr, cx + (outer - 6) * std::sin(a), cy - (outer - 6) * std::cos(a));
            cairo_stroke(g.cr);
        }
    }
    endCairo(g, canvas);
    frameRing(canvas, 100, 100, 97, 5, 60);
    frameRing(canvas, 190, 140, 53, 4, 30);
    // inner rings hugging each dial's glass
    frameRing(canvas, 100, 100, 52, 3, 0);
    frameRing(canvas, 190, 140, 31, 2.5f, 0);
    Picture picture = quantise(canvas, true);
    return picture;
}

// One grey dial. The face is opaque out to the fitted radius, then a soft glass bezel fades out;
// ticks and one long hand make every jump of the dial visible.
static Picture paintDial(int size, float faceRadius, float glassRadius, int ticks, double zeroShare,
                         double fullShare) {
    const float c = size / 2.0f;
    Canvas canvas(size, size);
    const float s = faceRadius / 63.0f;  // the big dial is the model; the small one is scaled
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float dx = x + 0.5f - c, dy = y + 0.5f - c;
            const float r = std::sqrt(dx * dx + dy * dy);
            // face: a soft dome of light toward the upper left; glass: a pale ring of light
            const float dome = 0.80f - 0.0022f * (dx + dy) / s - 0.00004f * r * r / (s * s);
            const float glass = 0.92f - 0.35f * smoothstep(faceRadius, glassRadius, r);
            const float g = r < faceRadius ? dome : glass;
            canvas.at(x, y) = {g, g, g};
            // alpha field: opaque core, a sharp edge, then a long faint tail (fitted below)
            float a = 1.0f - 0.1f * smoothstep(0.8f * faceRadius, faceRadius, r);
            a -= 0.55f * smoothstep(faceRadius - 1.0f, faceRadius + 2.0f, r);
            a -= 0.35f * smoothstep(faceRadius + 2.0f, glassRadius * 1.25f, r);
            canvas.alphaAt(x, y) = std::max(0.0f, a);
        }
    Cairo d = beginCairo(canvas);
    cairo_translate(d.cr, c, c);
    cairo_scale(d.cr, s, s);
    // rim
    cairo_set_line_width(d.cr, 4.5);
    cairo_set_source_rgb(d.cr, 0.22, 0.22, 0.22);
    cairo_arc(d.cr, 0, 0, 60.5, 0, 2 * kPi);
    cairo_stroke(d.cr);
    cairo_set_line_width(d.cr, 1.2);
    cairo_set_source_rgb(d.cr, 0.97, 0.97, 0.97);
    cairo_arc(d.cr, 0, 0, 57.6, 0, 2 * kPi);
    cairo_stroke(d.cr);
    // ticks: one per jump position feel, heavy at the quarters
    for (int i = 0; i < ticks; ++i) {
        const double a = 2 * kPi * i / ticks;
        const bool major = i % (ticks / 4) == 0;
        const double r0 = major ? 41 : 47, r1 = 55;
        cairo_set_line_width(d.cr, major ? 6.0 : 2.6);
        cairo_set_source_rgb(d.cr, 0.12, 0.12, 0.12);
        cairo_move_to(d.cr, r0 * std::sin(a), -r0 * std::cos(a));
        cairo_line_to(d.cr, r1 * std::sin(a), -r1 * std::cos(a));
        cairo_stroke(d.cr);
    }
    // minute marks on the glass bezel, pale, so they show where the glass is faint
    for (int i = 0; i < 60; ++i) {
        const double a = 2 * kPi * i / 60;
        cairo_set_line_width(d.cr, i % 5 == 0 ? 2.2 : 1.1);
        cairo_set_source_rgb(d.cr, 1, 1, 1);
        cairo_move_to(d.cr, 66 * std::sin(a), -66 * std::cos(a));
        cairo_line_to(d.cr, (i % 5 == 0 ? 76 : 71) * std::sin(a), -(i % 5 == 0 ? 76 : 71) * std::cos(a));
        cairo_stroke(d.cr);
    }
    // inner ring and the hand: a long dark blade pointing to noon with a light tip, a short tail
    cairo_set_line_width(d.cr, 1.0);
    cairo_set_source_rgb(d.cr, 0.45, 0.45, 0.45);
    cairo_arc(d.cr, 0, 0, 22, 0, 2 * kPi);
    cairo_stroke(d.cr);
    cairo_set_source_rgb(d.cr, 0.06, 0.06, 0.06);
    cairo_move_to(d.cr, -5.5, 14);
    cairo_line_to(d.cr, -3.2, -38);
    cairo_line_to(d.cr, 0, -53);
    cairo_line_to(d.cr, 3.2, -38);
    cairo_line_to(d.cr, 5.5, 14);
    cairo_close_path(d.cr);
    cairo_fill(d.cr);
    cairo_set_source_rgb(d.cr, 1, 1, 1);
    cairo_move_to(d.cr, -2.4, -36);
    cairo_line_to(d.cr, 0, -49);
    cairo_line_to(d.cr, 2.4, -36);
    cairo_close_path(d.cr);
    cairo_fill(d.cr);
    cairo_set_source_rgb(d.cr, 0.06, 0.06, 0.06);
    cairo_arc(d.cr, 0, 0, 8, 0, 2 * kPi);
    cairo_fill(d.cr);
    cairo_set_source_rgb(d.cr, 0.7, 0.7, 0.7);
    cairo_arc(d.cr, 0, 0, 3, 0, 2 * kPi);
    cairo_fill(d.cr);
    endCairo(d, canvas);
    // the dials must stay grey: the textured filler swaps red and blue
    for (Colour& p : canvas.rgb) p.r = p.g = p.b = (p.r + p.g + p.b) / 3.0f;
    fitAlphaShares(canvas, zeroShare, fullShare);
    return quantise(canvas, false);
}

Picture paintKlocka1() { return paintDial(256, 63.0f, 90.0f, 12, 0.61, 0.19); }
Picture paintKlocka2() { return paintDial(185, 55.0f, 74.5f, 8, 0.49, 0.28); }
