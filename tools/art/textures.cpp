// textures.cpp: the two 256 x 256 plasma sources. The warp maps wrap at 256 both ways, so every
// term here is periodic in 256: sines of whole frequencies and noise with a whole-number period.
#include <algorithm>
#include <cmath>

#include "art.h"

static constexpr float kTau = 6.28318530717959f;

// A cyclic ramp through the palette, so the warped plasma flows without a seam in colour either.
static Colour cyclicPalette(float t) {
    static const Colour stops[] = {kNight, kDeepBlue, kBlue, kCyan, kIce, kAmber, kEmber,
                                   {0.25f, 0.08f, 0.35f}, kNavy};
    constexpr int n = sizeof stops / sizeof stops[0];
    t = t - std::floor(t);
    const float p = t * n;
    const int i = static_cast<int>(p) % n;
    const float f = smoothstep(0.0f, 1.0f, p - std::floor(p));
    return mix(stops[i], stops[(i + 1) % n], f);
}

Picture paintPlasmapic() {
    Canvas canvas(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const float u = x * kTau / 256, v = y * kTau / 256;
            float p = std::sin(u * 2 + std::sin(v * 3) * 1.2f) + std::sin(v * 2 + std::cos(u) * 1.5f) +
                      0.6f * std::sin((u + v) * 3) + 0.5f * std::cos((u - 2 * v) * 2);
            p += 1.2f * (fbm(x / 32.0f, y / 32.0f, 8, 4, 5) - 0.5f);
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
            const float n = fbm(x / 32.0f, y / 32.0f, 8, 5, 77);
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
