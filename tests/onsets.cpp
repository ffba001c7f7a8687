// onsets.cpp: the onset detector over the slope of the sound.
#include "onsets.h"

#include <cmath>
#include <cstdlib>
#include <numeric>

constexpr int kRate = 44100;

std::vector<int> onsets(const std::vector<int16_t>& s) {
    constexpr size_t kHop = 44, kWindow = 2 * kHop;
    std::vector<double> d(s.size() / 2, 0.0), e;
    for (size_t i = 1; i < d.size(); ++i) d[i] = (double(s[2 * i]) + s[2 * i + 1] - s[2 * i - 2] - s[2 * i - 1]) / 2;
    for (size_t start = 0; start + kWindow <= d.size(); start += kHop)
        e.push_back(std::inner_product(&d[start], &d[start] + kWindow, &d[start], 0.0) / kWindow);
    std::vector<double> ratio(e.size(), 0.0);
    for (size_t k = 30; k < e.size(); ++k)  // the floor keeps near-silence from counting
        ratio[k] = e[k] / (std::accumulate(&e[k - 30], &e[k - 5], 0.0) / 25 + 1000.0);
    std::vector<int> found;
    for (size_t k = 15; k + 15 < ratio.size(); ++k) {
        bool onset = ratio[k] >= 4.0;
        for (size_t j = k - 15; j <= k + 15 && onset; ++j) onset = j >= k ? ratio[j] <= ratio[k] : ratio[j] < ratio[k];
        if (onset) found.push_back(int(std::lround((double(k) * kHop + kHop) * 1000.0 / kRate)));
    }
    return found;
}

int nearestOffset(const std::vector<int>& found, int t) {
    int best = 1 << 30;
    for (int f : found) best = std::abs(f - t) < std::abs(best) ? f - t : best;
    return best;
}
