// portraits.cpp: the two portraits drawn over the moving plasma: head and shoulders, stylised in
// flat planes of colour (cool key light, warm amber rim), transparent around the figure.
#include <algorithm>
#include <cmath>
#include <functional>

#include "art.h"

static constexpr float kPi = 3.14159265358979f;
static const Colour kSkin{0.93f, 0.84f, 0.82f};
static const Colour kSkinShade{0.52f, 0.50f, 0.66f};
static const Colour kHair{0.07f, 0.07f, 0.20f};
static const Colour kHairLight{0.25f, 0.45f, 0.85f};
static const Colour kLips{0.80f, 0.25f, 0.28f};

using PathFn = std::function<void(cairo_t*)>;

static Mask shapeMask(int w, int h, const PathFn& path) {
    Cairo m = beginMask(w, h);
    path(m.cr);
    cairo_fill(m.cr);
    return endMask(m);
}

static void fillShape(Canvas& canvas, const PathFn& path, Colour c, float a = 1.0f) {
    Cairo d = beginCairo(canvas);
    path(d.cr);
    setColour(d.cr, c, a);
    cairo_fill(d.cr);
    endCairo(d, canvas);
}

static void strokeShape(Canvas& canvas, const PathFn& path, Colour c, double width, float a = 1.0f) {
    Cairo d = beginCairo(canvas);
    cairo_set_line_cap(d.cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(d.cr, CAIRO_LINE_JOIN_ROUND);
    path(d.cr);
    setColour(d.cr, c, a);
    cairo_set_line_width(d.cr, width);
    cairo_stroke(d.cr);
    endCairo(d, canvas);
}

static void ellipsePath(cairo_t* cr, double x, double y, double rx, double ry, double angle = 0) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, angle);
    cairo_scale(cr, rx, ry);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
    cairo_restore(cr);
}

// Light across a shape: mixes toward `lit` where the mask's blurred edge faces the light direction.
static void shadeShape(Canvas& canvas, const Mask& shape, Colour shadow, float lx, float ly, float depth) {
    Mask soft = shape;
    blurMask(soft, canvas.width, canvas.height, 6);
    for (int y = 1; y < canvas.height - 1; ++y)
        for (int x = 1; x < canvas.width - 1; ++x) {
            const size_t i = static_cast<size_t>(y) * canvas.width + x;
            if (shape[i] <= 0) continue;
            const float gx = soft[i + 1] - soft[i - 1], gy = soft[i + canvas.width] - soft[i - canvas.width];
            const float facing = std::clamp(-(gx * lx + gy * ly) * depth, 0.0f, 1.0f);
            canvas.rgb[i] = mix(canvas.rgb[i], shadow, facing * shape[i]);
        }
}

// Alpha from the figure's coverage: high deep inside, a soft ramp across the outline and a faint
// halo outside, then fitted to the catalogue's shares.
static void figureAlpha(Canvas& canvas, const Mask& figure, double zeroShare, double fullShare) {
    Mask edge = figure;
    blurMask(edge, canvas.width, canvas.height, 2);
    Mask deep = figure;
    blurMask(deep, canvas.width, canvas.height, 12);
    for (size_t i = 0; i < figure.size(); ++i) canvas.alpha[i] = edge[i] * (0.9f + 0.1f * deep[i]);
    fitAlphaShares(canvas, zeroShare, fullShare);
}

Picture paintDemogirl() {
    const int w = 320, h = 240;
    Canvas canvas(w, h, mix(kCyan, kIce, 0.3f));  // the halo's colour
    // --- shapes
    auto hairBack = [](cairo_t* cr) {
        cairo_move_to(cr, 160, 18);
        cairo_curve_to(cr, 232, 14, 268, 70, 262, 128);
        cairo_curve_to(cr, 258, 170, 278, 196, 268, 226);
        cairo_curve_to(cr, 240, 214, 224, 206, 214, 202);
        cairo_line_to(cr, 106, 202);
        cairo_curve_to(cr, 96, 206, 80, 214, 52, 226);
        cairo_curve_to(cr, 42, 196, 62, 170, 58, 128);
        cairo_curve_to(cr, 52, 70, 88, 14, 160, 18);
        cairo_close_path(cr);
    };
    auto shoulders = [](cairo_t* cr) {
        cairo_move_to(cr, 0, 240);
        cairo_curve_to(cr, 8, 214, 50, 196, 110, 188);
        cairo_curve_to(cr, 130, 184, 140, 178, 143, 166);
        cairo_line_to(cr, 177, 166);
        cairo_curve_to(cr, 180, 178, 190, 184, 210, 188);
        cairo_curve_to(cr, 270, 196, 312, 214, 320, 240);
        cairo_close_path(cr);
    };
    auto neck = [](cairo_t* cr) {
        cairo_move_to(cr, 141, 130);
        cairo_line_to(cr, 179, 130);
        cairo_curve_to(cr, 178, 160, 182, 180, 190, 192);
        cairo_curve_to(cr, 170, 200, 150, 200, 130, 192);
        cairo_curve_to(cr, 138, 180, 142, 160, 141, 130);
        cairo_close_path(cr);
    };
    auto face = [](cairo_t* cr) {
        cairo_move_to(cr, 160, 52);
        cairo_curve_to(cr, 188, 52, 203, 76, 202, 104);
        cairo_curve_to(cr, 201, 128, 190, 148, 176, 160);
        cairo_curve_to(cr, 168, 167, 152, 167, 144, 160);
        cairo_curve_to(cr, 130, 148, 119, 128, 118, 104);
        cairo_curve_to(cr, 117, 76, 132, 52, 160, 52);
        cairo_close_path(cr);
    };
    auto fringe = [](cairo_t* cr) {
        cairo_move_to(cr, 112, 108);
        cairo_curve_to(cr, 104, 60, 130, 30, 166, 32);
        cairo_curve_to(cr, 200, 34, 214, 60, 208, 104);
        cairo_curve_to(cr, 200, 84, 190, 72, 178, 66);
        cairo_curve_to(cr, 168, 80, 146, 86, 128, 84);
        cairo_curve_to(cr, 122, 92, 116, 100, 112, 108);
        cairo_close_path(cr);
    };
    const Mask backMask = shapeMask(w, h, hairBack), shoulderMask = shapeMask(w, h, shoulders);
    const Mask neckMask = shapeMask(w, h, neck), faceMask = shapeMask(w, h, face);
    const Mask fringeMask = shapeMask(w, h, fringe);
    Mask figure(backMask.size());
    for (size_t i = 0; i < figure.size(); ++i)
        figure[i] = std::min(1.0f, backMask[i] + shoulderMask[i] + neckMask[i] + faceMask[i] + fringeMask[i]);

    // --- paint, back to front
    fillShape(canvas, hairBack, kHair);
    // hair strands: long cyan-lit curves
    for (int i = 0; i < 22; ++i) {
        const float side = i % 2 ? 1.0f : -1.0f, k = static_cast<float>(i / 2) / 11.0f;
        strokeShape(canvas, [&](cairo_t* cr) {
            cairo_move_to(cr, 160 + side * (20 + 40 * k), 30 + 10 * k);
            cairo_curve_to(cr, 160 + side * (80 + 30 * k), 50 + 20 * k, 160 + side * (95 + 10 * k), 130,
                           160 + side * (90 + 25 * k), 200 + 15 * k);
        }, i % 3 == 0 ? kHairLight : mix(kHair, kHairLight, 0.45f), i % 3 == 0 ? 1.6 : 1.0, 0.8f);
    }
    fillShape(canvas, neck, mix(kSkin, kSkinShade, 0.45f));
    fillShape(canvas, shoulders, kNavy);
    // jacket: collar with cyan piping, amber pin
    strokeShape(canvas, [](cairo_t* cr) {
        cairo_move_to(cr, 20, 224);
        cairo_curve_to(cr, 60, 200, 110, 194, 128, 190);
        cairo_curve_to(cr, 140, 210, 150, 226, 160, 240);
        cairo_move_to(cr, 300, 224);
        cairo_curve_to(cr, 260, 200, 210, 194, 192, 190);
        cairo_curve_to(cr, 180, 210, 170, 226, 160, 240);
    }, kCyan, 1.6);
    fillShape(canvas, [](cairo_t* cr) { ellipsePath(cr, 232, 214, 4, 4); }, kAmber);
    // the jaw's shadow on the neck
    Mask jawShadow = shapeMask(w, h, [](cairo_t* cr) { ellipsePath(cr, 160, 160, 30, 14); });
    blurMask(jawShadow, w, h, 4);
    for (size_t i = 0; i < jawShadow.size(); ++i) jawShadow[i] *= neckMask[i];
    overlay(canvas, jawShadow, kSkinShade, 0.9f);
    fillShape(canvas, face, kSkin);
    shadeShape(canvas, faceMask, kSkinShade, -0.8f, -0.3f, 9.0f);
    // eye shadow, cool blue, soft
    Mask lids = shapeMask(w, h, [](cairo_t* cr) {
        ellipsePath(cr, 141, 102, 12, 5, -0.1);
        ellipsePath(cr, 179, 102, 12, 5, 0.1);
    });
    blurMask(lids, w, h, 2);
    overlay(canvas, lids, kBlue, 0.45f);
    // cheek blush and a warm rim on the right jaw
    Mask blush = shapeMask(w, h, [](cairo_t* cr) {
        ellipsePath(cr, 138, 128, 9, 5);
        ellipsePath(cr, 182, 128, 9, 5);
    });
    blurMask(blush, w, h, 3);
    overlay(canvas, blush, kLips, 0.35f);
    // warm rim light: the face's right edge, where the face ends within a few pixels to the right
    Mask rim(faceMask.size(), 0.0f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x + 4 < w; ++x) {
            const size_t i = static_cast<size_t>(y) * w + x;
            rim[i] = faceMask[i] * (1.0f - faceMask[i + 4]) * smoothstep(90.0f, 130.0f, static_cast<float>(y));
        }
    blurMask(rim, w, h, 1);
    for (size_t i = 0; i < rim.size(); ++i) rim[i] *= faceMask[i];
    addLight(canvas, rim, kAmber, 0.55f);
    // eyes
    for (int side = -1; side <= 1; side += 2) {
        const double ex = 160 + side * 19, ey = 108;
        fillShape(canvas, [&](cairo_t* cr) {
            cairo_move_to(cr, ex - 11, ey + 1);
            cairo_curve_to(cr, ex - 5, ey - 7, ex + 5, ey - 7, ex + 11, ey - 1);
            cairo_curve_to(cr, ex + 5, ey + 5, ex - 5, ey + 5, ex - 11, ey + 1);
            cairo_close_path(cr);
        }, {0.95f, 0.97f, 1.0f});
        fillShape(canvas, [&](cairo_t* cr) { ellipsePath(cr, ex + side * 0.5, ey - 0.5, 4.6, 4.8); }, kBlue);
        fillShape(canvas, [&](cairo_t* cr) { ellipsePath(cr, ex + side * 0.5, ey - 0.5, 3.0, 3.2); }, kCyan);
        fillShape(canvas, [&](cairo_t* cr) { ellipsePath(cr, ex + side * 0.5, ey - 0.5, 1.6, 1.8); }, kNight);
        fillShape(canvas, [&](cairo_t* cr) { ellipsePath(cr, ex - 1.4, ey - 2.4, 1.0, 1.0); }, {1, 1, 1});
        strokeShape(canvas, [&](cairo_t* cr) {  // lash line, swept out at the corner
            cairo_move_to(cr, ex - side * 12, ey + 2);
            cairo_curve_to(cr, ex - side * 5, ey - 8, ex + side * 6, ey - 8, ex + side * 14, ey - 4);
        }, kNight, 2.2);
        strokeShape(canvas, [&](cairo_t* cr) {  // brow
            cairo_move_to(cr, ex - side * 11, ey - 13);
            cairo_curve_to(cr, ex - side * 3, ey - 18, ex + side * 6, ey - 17, ex + side * 13, ey - 12);
        }, mix(kHair, kSkinShade, 0.3f), 2.0);
    }
    // nose and mouth
    strokeShape(canvas, [](cairo_t* cr) {
        cairo_move_to(cr, 158, 112);
        cairo_curve_to(cr, 156, 122, 153, 128, 156, 132);
        cairo_curve_to(cr, 159, 134, 162, 134, 165, 131);
    }, kSkinShade, 1.4, 0.8f);
    fillShape(canvas, [](cairo_t* cr) {
        cairo_move_to(cr, 146, 146);
        cairo_curve_to(cr, 152, 141, 156, 141, 160, 143);
        cairo_curve_to(cr, 164, 141, 168, 141, 174, 146);
        cairo_curve_to(cr, 168, 155, 152, 155, 146, 146);
        cairo_close_path(cr);
    }, kLips);
    strokeShape(canvas, [](cairo_t* cr) {
        cairo_move_to(cr, 146, 146);
        cairo_curve_to(cr, 154, 148, 166, 148, 174, 146);
    }, {0.35f, 0.08f, 0.12f}, 1.1);
    fillShape(canvas, [](cairo_t* cr) { ellipsePath(cr, 163, 150, 3, 1.2); }, {1.0f, 0.75f, 0.7f}, 0.8f);
    // fringe over the forehead, with lit strands, and a broad sheen across the crown
    fillShape(canvas, fringe, kHair);
    Mask sheen = [&] {
        Cairo m = beginMask(w, h);
        cairo_set_line_width(m.cr, 7);
        cairo_arc(m.cr, 160, 96, 66, -2.6, -0.6);
        cairo_stroke(m.cr);
        return endMask(m);
    }();
    blurMask(sheen, w, h, 3);
    for (size_t i = 0; i < sheen.size(); ++i) sheen[i] *= std::max(backMask[i], fringeMask[i]) * (1 - faceMask[i]);
    addLight(canvas, sheen, kHairLight, 0.5f);
    for (int i = 0; i < 9; ++i) {
        strokeShape(canvas, [&](cairo_t* cr) {
            cairo_move_to(cr, 130 + 8 * i, 36);
            cairo_curve_to(cr, 126 + 10 * i, 52, 118 + 8 * i, 70, 116 + 9 * i, 88 - (i > 5 ? 10 : 0));
        }, i % 2 ? kHairLight : mix(kHair, kHairLight, 0.5f), 1.2, 0.7f);
    }
    // earrings: amber drops
    for (int side = -1; side <= 1; side += 2)
        fillShape(canvas, [&](cairo_t* cr) { ellipsePath(cr, 160 + side * 42, 148, 2.5, 4); }, kAmber);
    figureAlpha(canvas, figure, 0.46, 0.44);
    return quantise(canvas, false);
}

Picture paintDemogirl2() {
    const int w = 320, h = 240;
    Canvas canvas(w, h, mix(kCyan, kIce, 0.3f));
    auto body = [](cairo_t* cr) {  // profile facing left, shoulders to the bottom edge
        cairo_move_to(cr, 208, 72);
        cairo_curve_to(cr, 200, 84, 198, 92, 199, 98);  // forehead to brow
        cairo_curve_to(cr, 196, 104, 190, 112, 186, 119);  // nose
        cairo_curve_to(cr, 188, 122, 192, 124, 195, 125);
        cairo_curve_to(cr, 193, 128, 193, 131, 196, 133);  // lips
        cairo_curve_to(cr, 194, 136, 194, 139, 197, 141);
        cairo_curve_to(cr, 197, 150, 202, 156, 212, 158);  // chin, jaw
        cairo_curve_to(cr, 218, 160, 222, 162, 224, 166);
        cairo_curve_to(cr, 222, 180, 214, 196, 200, 206);  // throat
        cairo_curve_to(cr, 180, 216, 160, 226, 150, 240);
        cairo_line_to(cr, 320, 240);
        cairo_line_to(cr, 320, 206);
        cairo_curve_to(cr, 296, 198, 274, 192, 266, 180);  // back of the neck
        cairo_curve_to(cr, 258, 166, 262, 148, 276, 130);
        cairo_curve_to(cr, 286, 120, 290, 114, 288, 108);
        cairo_curve_to(cr, 286, 68, 256, 48, 228, 50);
        cairo_curve_to(cr, 218, 52, 212, 62, 208, 72);
        cairo_close_path(cr);
    };
    auto hair = [](cairo_t* cr) {  // a short bob, sharp at the jaw
        cairo_move_to(cr, 204, 80);
        cairo_curve_to(cr, 204, 54, 236, 42, 260, 50);
        cairo_curve_to(cr, 292, 62, 300, 110, 290, 142);
        cairo_line_to(cr, 262, 164);
        cairo_line_to(cr, 254, 140);
        cairo_curve_to(cr, 252, 118, 240, 96, 222, 84);
        cairo_curve_to(cr, 216, 80, 210, 80, 204, 80);
        cairo_close_path(cr);
    };
    const Mask figure = [&] {
        Mask a = shapeMask(w, h, body), b = shapeMask(w, h, hair);
        for (size_t i = 0; i < a.size(); ++i) a[i] = std::min(1.0f, a[i] + b[i]);
        return a;
    }();
    fillShape(canvas, body, kSkin);
    const Mask bodyMask = shapeMask(w, h, body);
    shadeShape(canvas, bodyMask, kSkinShade, 0.7f, -0.4f, 9.0f);
    // the jaw's shadow falls on the neck: everything below the jawline, fading downward
    Mask neckShade = shapeMask(w, h, [](cairo_t* cr) {
        cairo_move_to(cr, 212, 158);
        cairo_curve_to(cr, 226, 156, 244, 150, 258, 140);
        cairo_line_to(cr, 266, 200);
        cairo_line_to(cr, 210, 200);
        cairo_close_path(cr);
    });
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) neckShade[static_cast<size_t>(y) * w + x] *= smoothstep(200.0f, 160.0f, static_cast<float>(y));
    blurMask(neckShade, w, h, 2);
    for (size_t i = 0; i < neckShade.size(); ++i) neckShade[i] *= bodyMask[i];
    overlay(canvas, neckShade, kSkinShade, 0.8f);
    // clothing: a dark roll-neck
    fillShape(canvas, [](cairo_t* cr) {
        cairo_move_to(cr, 150, 240);
        cairo_curve_to(cr, 166, 222, 190, 212, 206, 200);
        cairo_curve_to(cr, 230, 204, 260, 200, 286, 196);
        cairo_curve_to(cr, 300, 200, 312, 204, 320, 208);
        cairo_line_to(cr, 320, 240);
        cairo_close_path(cr);
    }, kNavy);
    strokeShape(canvas, [](cairo_t* cr) {
        cairo_move_to(cr, 170, 228);
        cairo_curve_to(cr, 190, 214, 230, 212, 300, 206);
    }, kCyan, 1.3, 0.8f);
    // warm rim light along the face's front edge
    strokeShape(canvas, [](cairo_t* cr) {
        cairo_move_to(cr, 207, 74);
        cairo_curve_to(cr, 200, 84, 198, 92, 199, 98);
        cairo_curve_to(cr, 196, 104, 190, 112, 186, 119);
    }, kAmber, 1.6, 0.9f);
    // lips, eye, brow
    fillShape(canvas, [](cairo_t* cr) {
        cairo_move_to(cr, 195, 125);
        cairo_curve_to(cr, 193, 128, 193, 131, 196, 133);
        cairo_curve_to(cr, 194, 136, 194, 139, 197, 141);
        cairo_line_to(cr, 202, 133);
        cairo_close_path(cr);
    }, kLips);
    fillShape(canvas, [](cairo_t* cr) {
        cairo_move_to(cr, 203, 100);
        cairo_curve_to(cr, 207, 96, 212, 96, 215, 99);
        cairo_curve_to(cr, 212, 103, 207, 103, 203, 100);
        cairo_close_path(cr);
    }, {0.95f, 0.97f, 1.0f});
    fillShape(canvas, [](cairo_t* cr) { ellipsePath(cr, 206, 99.5, 1.8, 2.5); }, kCyan);
    strokeShape(canvas, [](cairo_t* cr) {
        cairo_move_to(cr, 202, 98);
        cairo_curve_to(cr, 207, 94, 212, 94, 217, 98);
    }, kNight, 1.8);
    strokeShape(canvas, [](cairo_t* cr) {
        cairo_move_to(cr, 202, 91);
        cairo_curve_to(cr, 208, 88, 214, 88, 219, 90);
    }, kHair, 1.8);
    // hair, with cyan sheen strands
    fillShape(canvas, hair, kHair);
    for (int i = 0; i < 10; ++i) {
        strokeShape(canvas, [&](cairo_t* cr) {
            cairo_move_to(cr, 212 + 5 * i, 62 - (i < 4 ? 6 - i : 0));
            cairo_curve_to(cr, 236 + 5 * i, 70, 252 + 3 * i, 100, 256 + 3 * i, 150 - 2 * i);
        }, i % 2 ? kHairLight : mix(kHair, kHairLight, 0.5f), 1.1, 0.7f);
    }
    // headphones: a steel band over the hair and a cup over the ear, with an amber lamp
    strokeShape(canvas, [](cairo_t* cr) {
        cairo_move_to(cr, 236, 112);
        cairo_curve_to(cr, 226, 70, 242, 44, 262, 46);
    }, kLightSteel, 4.0);
    fillShape(canvas, [](cairo_t* cr) { ellipsePath(cr, 244, 118, 15, 18, 0.2); }, kSteel);
    fillShape(canvas, [](cairo_t* cr) { ellipsePath(cr, 244, 118, 10, 13, 0.2); }, kDeepBlue);
    fillShape(canvas, [](cairo_t* cr) { ellipsePath(cr, 244, 118, 2.8, 2.8); }, kAmber);
    figureAlpha(canvas, figure, 0.74, 0.17);
    return quantise(canvas, false);
}
