// credits.cpp: the five credit pages, flashed for 200 ms each: a glowing emblem, the name in large
// letters and the role in small amber ones, on pure black (the share of black pixels is fitted).
#include <algorithm>
#include <cmath>
#include <functional>

#include "art.h"

static constexpr float kPi = 3.14159265358979f;

struct Credit {
    const char* name;
    const char* role;
    double blackShare;
    double emblemX, emblemY, emblemSize;
    double nameX, nameY, nameSize;
    std::function<void(cairo_t*)> emblem;  // strokes in a unit box around (0, 0)
};

static Picture paintCredit(const Credit& credit) {
    const int w = 320, h = 240;
    Canvas canvas(w, h, {0, 0, 0});
    // a faint haze behind everything, so the black share can be cut from a smooth field
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float d = std::hypot((x - credit.emblemX) / 260.0f, (y - credit.emblemY) / 200.0f);
            const float n = fbm(x / 40.0f, y / 40.0f, 64, 4, 501);
            canvas.at(x, y) = scale(kDeepBlue, 0.18f * std::max(0.0f, 1.0f - d) * (0.5f + n));
        }
    // emblem: stroked in cyan, then a wide glow
    Cairo m = beginMask(w, h);
    cairo_set_line_cap(m.cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(m.cr, CAIRO_LINE_JOIN_ROUND);
    cairo_translate(m.cr, credit.emblemX, credit.emblemY);
    cairo_scale(m.cr, credit.emblemSize, credit.emblemSize);
    cairo_set_line_width(m.cr, 0.06);
    credit.emblem(m.cr);
    const Mask emblem = endMask(m);
    Mask wide = emblem, near = emblem;
    blurMask(wide, w, h, 10);
    blurMask(near, w, h, 2);
    addLight(canvas, wide, kBlue, 2.2f);
    addLight(canvas, near, kCyan, 1.4f);
    overlay(canvas, emblem, kIce);
    // name and role
    Cairo t = beginMask(w, h);
    centredText(t.cr, credit.name, credit.nameX, credit.nameY, credit.nameSize, "DejaVu Sans", true, 1.5);
    const Mask name = endMask(t);
    Cairo r = beginMask(w, h);
    centredText(r.cr, credit.role, credit.nameX, credit.nameY + credit.nameSize * 0.75, 12, "DejaVu Sans", true, 3.0);
    const Mask role = endMask(r);
    Mask nameGlow = name;
    blurMask(nameGlow, w, h, 4);
    addLight(canvas, nameGlow, kCyan, 0.9f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const size_t i = static_cast<size_t>(y) * w + x;
            const float v = std::clamp((y - (credit.nameY - credit.nameSize * 0.4f)) / (credit.nameSize * 0.8f), 0.0, 1.0);
            canvas.rgb[i] = mix(canvas.rgb[i], mix({1, 1, 1}, kCyan, 0.6f * v), name[i]);
        }
    Mask roleGlow = role;
    blurMask(roleGlow, w, h, 2);
    addLight(canvas, roleGlow, kEmber, 0.6f);
    overlay(canvas, role, kAmber);
    Picture picture = quantise(canvas, false);
    fitBlackShare(picture, credit.blackShare);
    return picture;
}

static void polygon(cairo_t* cr, int sides, double radius, double turn) {
    for (int i = 0; i <= sides; ++i) {
        const double a = turn + 2 * kPi * i / sides;
        if (i == 0) cairo_move_to(cr, radius * std::cos(a), radius * std::sin(a));
        else cairo_line_to(cr, radius * std::cos(a), radius * std::sin(a));
    }
}

Picture paintCredQuenor() {
    return paintCredit({"QUENOR", "CODE", 0.76, 160, 82, 52, 160, 172, 46, [](cairo_t* cr) {
        polygon(cr, 6, 1.0, kPi / 6);  // a hexagon with code brackets inside
        cairo_stroke(cr);
        cairo_move_to(cr, -0.25, -0.4);
        cairo_line_to(cr, -0.55, 0);
        cairo_line_to(cr, -0.25, 0.4);
        cairo_move_to(cr, 0.25, -0.4);
        cairo_line_to(cr, 0.55, 0);
        cairo_line_to(cr, 0.25, 0.4);
        cairo_move_to(cr, 0.1, -0.5);
        cairo_line_to(cr, -0.1, 0.5);
        cairo_stroke(cr);
    }});
}

Picture paintCredVelmit() {
    return paintCredit({"VELMIT", "GRAPHICS", 0.79, 64, 120, 42, 210, 112, 40, [](cairo_t* cr) {
        cairo_move_to(cr, -1.0, 0);  // an eye inside a diamond
        cairo_curve_to(cr, -0.5, -0.6, 0.5, -0.6, 1.0, 0);
        cairo_curve_to(cr, 0.5, 0.6, -0.5, 0.6, -1.0, 0);
        cairo_stroke(cr);
        cairo_arc(cr, 0, 0, 0.24, 0, 2 * kPi);
        cairo_stroke(cr);
        cairo_arc(cr, 0, 0, 0.08, 0, 2 * kPi);
        cairo_fill(cr);
        polygon(cr, 4, 1.2, 0);
        cairo_stroke(cr);
    }});
}

Picture paintCredOrsadun() {
    return paintCredit({"ORSADUN", "MUSIC", 0.78, 262, 120, 36, 112, 114, 31, [](cairo_t* cr) {
        for (int i = 1; i <= 3; ++i) {  // a source with sound waves
            cairo_new_sub_path(cr);
            cairo_arc(cr, -0.6, 0, 0.45 * i, -0.8, 0.8);
            cairo_stroke(cr);
        }
        cairo_arc(cr, -0.6, 0, 0.14, 0, 2 * kPi);
        cairo_fill(cr);
        cairo_new_sub_path(cr);
        cairo_arc(cr, 0, 0, 1.1, 0, 2 * kPi);
        cairo_stroke(cr);
    }});
}

Picture paintCredFembrik() {
    return paintCredit({"FEMBRIK", "DESIGN", 0.71, 160, 78, 46, 160, 180, 44, [](cairo_t* cr) {
        cairo_new_sub_path(cr);  // a drafting compass over a square
        cairo_arc(cr, 0, -0.95, 0.16, 0, 2 * kPi);
        cairo_stroke(cr);
        cairo_move_to(cr, -0.08, -0.8);
        cairo_line_to(cr, -0.62, 0.85);
        cairo_move_to(cr, 0.08, -0.8);
        cairo_line_to(cr, 0.62, 0.85);
        cairo_move_to(cr, -0.4, 0.15);
        cairo_line_to(cr, 0.4, 0.15);
        cairo_stroke(cr);
        cairo_new_sub_path(cr);
        cairo_arc(cr, 0, -0.8, 1.65, kPi / 2 - 0.42, kPi / 2 + 0.42);
        cairo_stroke(cr);
        cairo_rectangle(cr, -1.15, -1.15, 2.3, 2.3);
        cairo_stroke(cr);
    }});
}

Picture paintCredTessik() {
    return paintCredit({"TESSIK", "SUPPORT", 0.88, 160, 78, 34, 160, 152, 40, [](cairo_t* cr) {
        for (double r : {1.0, 0.55}) {  // a lifebuoy: two rings bound by four bands
            cairo_new_sub_path(cr);
            cairo_arc(cr, 0, 0, r, 0, 2 * kPi);
            cairo_stroke(cr);
        }
        for (int i = 0; i < 4; ++i) {
            const double a = kPi / 4 + i * kPi / 2;
            for (double d : {-0.14, 0.14}) {
                cairo_move_to(cr, 0.55 * std::cos(a + d / 0.55), 0.55 * std::sin(a + d / 0.55));
                cairo_line_to(cr, 1.0 * std::cos(a + d), 1.0 * std::sin(a + d));
            }
        }
        cairo_stroke(cr);
    }});
}
