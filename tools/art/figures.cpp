// figures.cpp: the silhouette stamped over the radial blur: a figure rising from the bottom edge,
// arms raised toward the light near the top. Only columns 80..259, rows 50..239 are read.
#include <cmath>

#include "art.h"

static constexpr float kPi = 3.14159265358979f;

Picture paintSilhouette() {
    Cairo m = beginMask(320, 240);
    cairo_t* cr = m.cr;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_translate(cr, 170, 240);  // drawn at a larger size, set into the read area here
    cairo_scale(cr, 0.74, 0.8);
    cairo_translate(cr, -170, -240);
    // head, tipped back a little toward the light
    cairo_save(cr);
    cairo_translate(cr, 168, 96);
    cairo_rotate(cr, -0.12);
    cairo_scale(cr, 12.5, 15);
    cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
    cairo_restore(cr);
    cairo_fill(cr);
    // neck and torso, coat flaring toward the bottom edge
    cairo_move_to(cr, 162, 106);
    cairo_line_to(cr, 174, 106);
    cairo_line_to(cr, 177, 121);
    cairo_curve_to(cr, 192, 123, 200, 126, 203, 134);  // right shoulder
    cairo_curve_to(cr, 202, 160, 196, 180, 194, 196);
    cairo_curve_to(cr, 198, 215, 202, 230, 206, 240);
    cairo_line_to(cr, 124, 240);
    cairo_curve_to(cr, 130, 228, 136, 212, 142, 196);
    cairo_curve_to(cr, 140, 180, 134, 160, 133, 134);
    cairo_curve_to(cr, 136, 126, 146, 123, 159, 121);
    cairo_close_path(cr);
    cairo_fill(cr);
    // arms raised in a wide V, hands open toward the light
    cairo_set_line_width(cr, 11);
    cairo_move_to(cr, 138, 131);
    cairo_curve_to(cr, 124, 112, 114, 92, 104, 64);
    cairo_stroke(cr);
    cairo_move_to(cr, 198, 131);
    cairo_curve_to(cr, 214, 112, 224, 90, 236, 62);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 7);
    cairo_move_to(cr, 104, 66);
    cairo_line_to(cr, 98, 54);
    cairo_move_to(cr, 236, 64);
    cairo_line_to(cr, 243, 53);
    cairo_stroke(cr);
    // fingers spread
    cairo_set_line_width(cr, 2.5);
    const double fingers[][4] = {{98, 56, 92, 51}, {99, 54, 96, 50}, {101, 55, 103, 51},
                                 {243, 55, 249, 51}, {242, 54, 245, 50}, {240, 55, 238, 51}};
    for (const auto& f : fingers) {
        cairo_move_to(cr, f[0], f[1]);
        cairo_line_to(cr, f[2], f[3]);
    }
    cairo_stroke(cr);
    const Mask mask = endMask(m);

    // white on the figure, all four bytes zero elsewhere: the scene keys on the blue byte
    Picture picture{320, 240, std::vector<uint8_t>(320 * 240 * 4, 0)};
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            if (x < 80 || x > 259 || y < 50 || mask[static_cast<size_t>(y) * 320 + x] < 0.5f) continue;
            uint8_t* p = &picture.rgba[(static_cast<size_t>(y) * 320 + x) * 4];
            p[0] = p[1] = p[2] = p[3] = 255;
        }
    return picture;
}
