// logo.cpp: the title logo laid over the drifting stripes, and the tall two-screen picture
// (lettering above, a ray-marched valley at dusk below).
#include <algorithm>
#include <cmath>

#include "art.h"

static constexpr float kPi = 3.14159265358979f;
static const char kTitle[] = "NOCTURNE";

// Chrome lettering: ice at the top, a cyan horizon line, deep blue below, an amber glint line.
static Colour chrome(float t) {
    if (t < 0.48f) return mix(kIce, mix(kCyan, kIce, 0.4f), t / 0.48f);
    if (t < 0.52f) return {1.0f, 1.0f, 1.0f};
    if (t < 0.56f) return mix(kAmber, kDeepBlue, (t - 0.52f) / 0.04f);
    return mix(kDeepBlue, kCyan, (t - 0.56f) / 0.44f * 0.7f);
}

// Lettering mask of one line of text, centred on (x, y).
static Mask textMask(int w, int h, const char* text, double x, double y, double size, double spacing,
                     double slant = 0.0, const char* face = "DejaVu Sans", bool bold = true) {
    Cairo m = beginMask(w, h);
    cairo_matrix_t shear;  // leaning forward about the text's centre
    cairo_matrix_init(&shear, 1, 0, -slant, 1, slant * y, 0);
    cairo_transform(m.cr, &shear);
    centredText(m.cr, text, x, y, size, face, bold, spacing);
    return endMask(m);
}

// Paints chrome lettering from a mask whose rows span top..bottom, with an outline and glow.
static void chromeLetters(Canvas& canvas, const Mask& letters, float top, float bottom, float glowStrength) {
    Mask glow = letters;
    blurMask(glow, canvas.width, canvas.height, 5);
    addLight(canvas, glow, kCyan, glowStrength);
    Mask outline = letters;
    blurMask(outline, canvas.width, canvas.height, 1, 2);
    overlay(canvas, outline, kNight, 1.6f);
    for (int y = 0; y < canvas.height; ++y)
        for (int x = 0; x < canvas.width; ++x) {
            const size_t i = static_cast<size_t>(y) * canvas.width + x;
            if (letters[i] <= 0) continue;
            const float t = std::clamp((y - top) / (bottom - top), 0.0f, 1.0f);
            const float streak = 0.06f * std::sin((x + y * 0.5f) * 0.35f);
            canvas.rgb[i] = mix(canvas.rgb[i], add(chrome(t), {streak, streak, streak}), letters[i]);
        }
}

Picture paintTarnivoisback() {
    Canvas canvas(320, 240, kCyan);
    // the word across the top, a small line of text at the lower right, clear of the cube at (90, 180)
    const Mask title = textMask(320, 240, kTitle, 158, 62, 47, 1.0, 0.22);
    const Mask sub = textMask(320, 240, "A  NIGHT  IN  320 x 240", 232, 196, 11, 0.5);
    const Mask rule = [] {
        Cairo m = beginMask(320, 240);
        cairo_rectangle(m.cr, 160, 178, 146, 2);
        cairo_rectangle(m.cr, 160, 212, 146, 1);
        cairo_rectangle(m.cr, 14, 96, 292, 1.5);  // the horizon under the title
        cairo_fill(m.cr);
        // a crescent moon rising over the last letter
        cairo_arc(m.cr, 292, 20, 10, 0, 6.2831853);
        cairo_new_sub_path(m.cr);
        cairo_arc_negative(m.cr, 297, 16, 8.5, 6.2831853, 0);
        cairo_set_fill_rule(m.cr, CAIRO_FILL_RULE_EVEN_ODD);
        cairo_fill(m.cr);
        return endMask(m);
    }();
    Mask letters(title.size());
    for (size_t i = 0; i < letters.size(); ++i) letters[i] = std::min(1.0f, title[i] + sub[i] + rule[i]);
    chromeLetters(canvas, title, 40, 88, 0.0f);
    overlay(canvas, sub, kLightSteel);
    overlay(canvas, rule, kAmber);
    // alpha: the letters, highest in their cores, inside a wide soft halo
    Mask core = letters;
    blurMask(core, 320, 240, 1, 2);
    Mask halo = letters;
    blurMask(halo, 320, 240, 7);
    for (size_t i = 0; i < letters.size(); ++i)
        canvas.alpha[i] = letters[i] > 0.5f ? 0.6f + 0.4f * core[i] : std::min(0.55f, 0.45f * letters[i] + 1.2f * halo[i]);
    // the halo keeps the glow colour; the letters their own
    fitAlphaShares(canvas, 0.74, 0.10);
    return quantise(canvas, false);
}

// --- the tall picture ---------------------------------------------------------------------------

// Height of the valley floor at ground position (x, z): ridged fbm, a river bed along x = 0.
static float terrain(float x, float z) {
    float h = 0, amp = 1, fx = x * 0.035f, fz = z * 0.035f;
    for (int o = 0; o < 6; ++o) {
        const float n = tileNoise(fx, fz, 1 << 16, 300 + o);
        h += amp * (1.0f - std::fabs(2 * n - 1));
        fx = fx * 2.03f + 1.7f;
        fz = fz * 2.03f - 0.9f;
        amp *= 0.5f;
    }
    const float valley = smoothstep(0.0f, 30.0f, std::fabs(x));
    return (h * 14.0f - 6.0f) * (0.2f + 0.8f * valley) - 5.0f * (1.0f - valley);
}

static Colour duskSky(float dirY, float dirX) {
    const float up = std::clamp(dirY * 3.2f, 0.0f, 1.0f);
    const float sunSide = std::exp(-(dirX - 0.05f) * (dirX - 0.05f) * 6.0f);
    Colour horizon = mix(mix(kDeepBlue, kBlue, 0.5f), mix(kAmber, kEmber, 0.35f), sunSide);
    Colour c = mix(horizon, mix(kBlue, kDeepBlue, 0.6f), smoothstep(0.0f, 0.3f, up));
    c = mix(c, kNight, smoothstep(0.25f, 1.0f, up));
    const float sun = std::exp(-((dirX - 0.05f) * (dirX - 0.05f) * 90.0f + (dirY - 0.01f) * (dirY - 0.01f) * 900.0f));
    return add(c, scale(kAmber, 0.9f * sun));
}

static void paintValley(Canvas& canvas, int top) {
    const float eyeY = 9.0f;
    const Colour fogColour = mix(kDeepBlue, kBlue, 0.3f);
    for (int py = 0; py < 240; ++py)
        for (int px = 0; px < 320; ++px) {
            const float dx = (px - 160.0f) / 200.0f, dy = -(py - 128.0f) / 200.0f;
            const float len = std::sqrt(dx * dx + dy * dy + 1.0f);
            const float rx = dx / len, ry = dy / len, rz = 1.0f / len;
            Colour c = duskSky(ry, rx);
            float t = 1.0f, hitT = -1.0f;
            for (int step = 0; step < 260 && t < 480.0f; ++step) {
                const float x = rx * t, y = eyeY + ry * t, z = rz * t;
                const float h = std::max(terrain(x, z), -3.2f);  // the river's still surface
                if (y < h) {
                    hitT = t;
                    break;
                }
                t += std::max(0.15f, 0.35f * (y - h)) + t * 0.003f;
            }
            if (hitT > 0) {
                const float x = rx * hitT, z = rz * hitT;
                const float h = terrain(x, z);
                const float e = 0.3f;
                const float nx = terrain(x - e, z) - terrain(x + e, z), nz = terrain(x, z - e) - terrain(x, z + e);
                const float nl = std::sqrt(nx * nx + nz * nz + 4 * e * e);
                // the low sun ahead lights the slopes facing it; the sky lights what faces up
                const float sunLight = std::max(0.0f, (nx * 0.05f - nz * 0.9f + 2 * e * 0.25f) / nl);
                const float skyLight = (2 * e / nl) * 0.6f + 0.4f;
                const Colour rock = mix({0.025f, 0.035f, 0.08f}, {0.13f, 0.18f, 0.32f}, smoothstep(-3.0f, 14.0f, h));
                Colour lit = add(scale(rock, skyLight), scale(mix(kAmber, kEmber, 0.3f), 0.45f * sunLight * sunLight * sunLight));
                if (h < -3.2f) {  // the river mirrors the dusk, broken by ripples
                    const float ripple = 0.85f + 0.15f * std::sin(z * 1.7f + std::sin(x * 0.9f) * 2.0f);
                    lit = scale(duskSky(-ry + 0.01f, rx), 0.75f * ripple);
                }
                const float fog = 1.0f - std::exp(-hitT * 0.006f);
                const Colour haze = mix(fogColour, mix(kAmber, kEmber, 0.4f), 0.55f * std::exp(-rx * rx * 8.0f));
                c = mix(lit, haze, fog * 0.9f);
            } else if (ry < 0) {
                c = mix(fogColour, kAmber, 0.3f);
            }
            canvas.at(px, top + py) = c;
        }
    // stars over the dusk, only where the sky is already dark
    Canvas stars(320, 240, {0, 0, 0});
    paintStars(stars, 57, 0.003f, 90);
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 320; ++x) {
            Colour& c = canvas.at(x, top + y);
            const float dark = smoothstep(0.25f, 0.05f, c.r + c.g + c.b);
            c = add(c, scale(stars.at(x, y), dark));
            // a thin crescent moon, high on the left, and its halo
            const float d = std::hypot(x - 64.0f, y - 34.0f), shadow = std::hypot(x - 67.5f, y - 32.0f);
            c = add(c, scale(kIce, 0.18f * std::exp(-d * 0.09f)));
            const float lit = std::clamp(7.0f - d, 0.0f, 1.0f) * std::clamp(shadow - 6.5f, 0.0f, 1.0f);
            c = mix(c, {0.95f, 0.92f, 0.85f}, lit);
        }
}

Picture paintTall() {
    Canvas canvas(320, 480);
    // upper screen: stripes and lettering
    paintStripes(canvas, 20, 10, kNavy, kNight);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const float v = smoothstep(260.0f, 40.0f, std::hypot(x - 160.0f, y - 120.0f));
            canvas.at(x, y) = add(canvas.at(x, y), scale(kDeepBlue, 0.35f * v));
        }
    const Mask first = textMask(320, 480, "AFTER", 160, 84, 64, 2.0);
    const Mask second = textMask(320, 480, "DARK", 160, 156, 64, 6.0);
    chromeLetters(canvas, first, 58, 110, 0.8f);
    chromeLetters(canvas, second, 130, 182, 0.8f);
    const Mask small = textMask(320, 480, "THE  VALLEY  BELOW  IS  OURS", 160, 212, 10, 0.6);
    overlay(canvas, small, kAmber);
    // lower screen: the photograph
    paintValley(canvas, 240);
    // a thin dark seam where the two screens meet would show in the pan: blend across it instead
    for (int y = 232; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            canvas.at(x, y) = mix(canvas.at(x, y), canvas.at(x, 240), (y - 231) / 9.0f);
    (void)kPi;
    return quantise(canvas, true);
}

// --- the icon -----------------------------------------------------------------------------------

// The menu's icon, size x size: the title's chrome N under the crescent moon, on a rounded square
// of night sky over the cyan horizon, transparent outside the square. Painted at each size, so
// the small one is not a blurred copy of the large.
Picture paintIcon(int size) {
    const float u = size / 256.0f;
    Canvas canvas(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float v = y / (size - 1.0f);
            Colour c = mix(kNight, kDeepBlue, smoothstep(0.1f, 0.95f, v));
            c = add(c, scale(kCyan, 0.35f * std::exp(-std::fabs(v - 0.8f) * 14.0f)));  // the horizon's glow
            canvas.at(x, y) = c;
        }
    paintStars(canvas, 91, 0.012f, int(size * 0.55f));
    const Mask letter = textMask(size, size, "N", 124 * u, 138 * u, 178 * u, 0.0, 0.22);
    chromeLetters(canvas, letter, 70 * u, 200 * u, 0.6f);
    const Mask marks = [&] {
        Cairo m = beginMask(size, size);
        cairo_rectangle(m.cr, 22 * u, 205 * u, 212 * u, std::max(1.0f, 3 * u));  // the title's amber rule
        cairo_fill(m.cr);
        cairo_arc(m.cr, 186 * u, 64 * u, 24 * u, 0, 2 * kPi);  // the crescent, as over the title
        cairo_fill(m.cr);
        cairo_set_operator(m.cr, CAIRO_OPERATOR_CLEAR);  // the moon's dark side cut away
        cairo_arc(m.cr, 197 * u, 55 * u, 21 * u, 0, 2 * kPi);
        cairo_fill(m.cr);
        return endMask(m);
    }();
    overlay(canvas, marks, kAmber);
    const Mask square = [&] {
        Cairo m = beginMask(size, size);
        const double r = 44 * u, e = 6 * u, s = size - e;
        cairo_new_sub_path(m.cr);
        cairo_arc(m.cr, s - r, e + r, r, -kPi / 2, 0);
        cairo_arc(m.cr, s - r, s - r, r, 0, kPi / 2);
        cairo_arc(m.cr, e + r, s - r, r, kPi / 2, kPi);
        cairo_arc(m.cr, e + r, e + r, r, kPi, 3 * kPi / 2);
        cairo_close_path(m.cr);
        cairo_fill(m.cr);
        return endMask(m);
    }();
    canvas.alpha = square;
    return quantise(canvas, true);
}
