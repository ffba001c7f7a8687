// sky.cpp: the night sky behind the voxel terrain, 320 x 100, lightest at its bottom rows where
// the terrain's horizon meets it.
#include <algorithm>
#include <cmath>

#include "art.h"

Picture paintUpper() {
    Canvas canvas(320, 100);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 320; ++x) {
            const float v = y / 99.0f;
            Colour c = mix(kNight, kDeepBlue, smoothstep(0.0f, 1.0f, v));
            c = mix(c, mix(kBlue, kCyan, 0.25f), smoothstep(0.55f, 1.0f, v) * 0.8f);
            // clouds: stretched fbm, lit from below by the horizon, thicker low in the sky
            const float n = fbm(x / 70.0f, y / 18.0f, 1 << 12, 6, 71);
            const float cover = smoothstep(0.48f, 0.75f, n) * (0.35f + 0.65f * v);
            const float edge = smoothstep(0.50f, 0.60f, n) - smoothstep(0.62f, 0.78f, n);
            Colour cloud = mix(mix(kNavy, kSteel, 0.35f), kLightSteel, 0.5f * v);
            c = mix(c, cloud, cover * 0.7f);
            c = add(c, scale(kIce, 0.10f * edge * v));
            canvas.at(x, y) = c;
        }
    paintStars(canvas, 23, 0.004f, 45);
    // the moon, high on the right, with a halo
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 320; ++x) {
            const float d = std::hypot(x - 262.0f, y - 22.0f);
            Colour& c = canvas.at(x, y);
            c = add(c, scale(kIce, 0.35f * std::exp(-d * 0.08f)));
            if (d < 8.5f) c = mix(c, {0.92f, 0.95f, 1.0f}, std::clamp(8.5f - d, 0.0f, 1.0f));
        }
    // never pure black: a black sky pixel would read as "not yet drawn"
    for (Colour& c : canvas.rgb) c.b = std::max(c.b, 0.02f);
    return quantise(canvas, true);
}
