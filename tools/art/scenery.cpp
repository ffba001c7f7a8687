// scenery.cpp: pieces several pictures share: stars, diagonal stripes, easing.
#include <algorithm>
#include <cmath>

#include "art.h"

float smoothstep(float a, float b, float x) {
    const float t = std::clamp((x - a) / (b - a), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

void paintStars(Canvas& canvas, int seed, float density, int bottomRow) {
    for (int y = 0; y < std::min(bottomRow, canvas.height); ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            const float h = hash2(x, y, seed);
            if (h > density) continue;
            const float k = hash2(x, y, seed + 1);
            const float bright = 0.25f + 0.75f * k * k;
            const Colour tint = k > 0.9f ? mix(kIce, kAmber, 0.5f) : kIce;
            canvas.at(x, y) = add(canvas.at(x, y), scale(tint, bright));
            if (k > 0.8f) {  // the brightest get a small cross of light
                const int dx[] = {-1, 1, 0, 0}, dy[] = {0, 0, -1, 1};
                for (int d = 0; d < 4; ++d) {
                    const int sx = x + dx[d], sy = y + dy[d];
                    if (sx >= 0 && sy >= 0 && sx < canvas.width && sy < canvas.height)
                        canvas.at(sx, sy) = add(canvas.at(sx, sy), scale(tint, bright * 0.3f));
                }
            }
        }
    }
}

void paintStripes(Canvas& canvas, int period, int width, Colour a, Colour b, int yOffset) {
    for (int y = 0; y < canvas.height; ++y)
        for (int x = 0; x < canvas.width; ++x) {
            const int p = (x + y + yOffset) % period;
            // a one-pixel soft edge on each side of a band keeps the diagonal from stair-stepping
            float t = p < width ? 1.0f : 0.0f;
            if (p == 0 || p == width) t = 0.5f;
            canvas.at(x, y) = mix(b, a, t);
        }
}
