// textures.cpp: the two 256 x 256 plasma sources. The warp maps wrap at 256 both ways, so every
// term here is periodic in 256: sines of whole frequencies and noise with a whole-number period.
#include <algorithm>
#include <cmath>

#include "art.h"

static constexpr float kTau = 6.28318530717959f;

// A cyclic ramp through the palette, so the warped plasma flows without a seam in colour either.
static Colour cyclicPalette(float t) {
    struct Stop {
        float at;
        Colour c;
    };
    static const Stop stops[] = {{0.00f, kNight},  {0.12f, kNavy},  {0.24f, kDeepBlue},
                                 {0.36f, kBlue},   {0.48f, kCyan},  {0.57f, kIce},
                                 {0.64f, kCyan},   {0.74f, {0.28f, 0.12f, 0.50f}},
                                 {0.82f, kEmber},  {0.87f, kAmber}, {0.93f, {0.22f, 0.08f, 0.30f}},
                                 {1.00f, kNight}};
    t = t - std::floor(t);
    int i = 0;
    while (stops[i + 1].at < t) ++i;
    const float f = smoothstep(stops[i].at, stops[i + 1].at, t);
    return mix(stops[i].c, stops[i + 1].c, f);
}

// Periodic fbm seen through a periodic warp of its own, which hides the lattice of the noise.
static float warpedFbm(float x, float y, int seed) {
    const float wx = fbm(x / 64.0f, y / 64.0f, 4, 4, seed + 1) - 0.5f;
    const float wy = fbm(x / 64.0f, y / 64.0f, 4, 4, seed + 2) - 0.5f;
    return fbm(x / 32.0f + 3.0f * wx, y / 32.0f + 3.0f * wy, 8, 6, seed);
}

Picture paintPlasmapic() {
    Canvas canvas(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const float u = x * kTau / 256, v = y * kTau / 256;
            float p = std::sin(u * 2 + std::sin(v * 3) * 1.2f) + std::sin(v * 2 + std::cos(u) * 1.5f) +
                      0.6f * std::sin((u + v) * 3) + 0.5f * std::cos((u - 2 * v) * 2);
            p += 1.4f * (warpedFbm(static_cast<float>(x), static_cast<float>(y), 5) - 0.5f);
            Colour c = cyclicPalette(p * 0.16f + 0.5f);
            const float sheen = std::pow(0.5f + 0.5f * std::sin(p * 5.0f), 8.0f);
            canvas.at(x, y) = add(c, scale(kIce, 0.25f * sheen));
        }
    return quantise(canvas, true);
}

Picture paintPlasmapic2() {
    Canvas canvas(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const float dx = x + 0.5f - 128, dy = y + 0.5f - 128;
            const float r = std::sqrt(dx * dx + dy * dy);
            const float angle = std::atan2(dy, dx);
            // background: periodic nebula in deep blues
            const float n = warpedFbm(static_cast<float>(x), static_cast<float>(y), 77);
            Colour c = mix(kNight, kDeepBlue, smoothstep(0.3f, 0.8f, n));
            c = add(c, scale(kBlue, 0.25f * smoothstep(0.6f, 0.9f, n)));
            // rays: angular noise, fading to nothing well before the edges, so the wrap stays clean
            const float a = (angle + kTau / 2) / kTau * 64.0f;
            const float rays = std::pow(tileNoise(a, 0.5f, 64, 12), 3.0f) * 1.6f +
                               std::pow(tileNoise(a * 3.0f, 2.5f, 192, 13), 4.0f);
            const float fade = smoothstep(118.0f, 10.0f, r);
            const float core = std::exp(-r * 0.05f);
            c = add(c, scale(kCyan, rays * fade * fade * 0.9f));
            c = add(c, scale(kBlue, 0.9f * std::exp(-r * 0.018f) * smoothstep(128.0f, 60.0f, r)));
            c = add(c, scale(kIce, 1.2f * core));
            canvas.at(x, y) = c;
        }
    return quantise(canvas, true);
}
