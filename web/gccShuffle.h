// gccShuffle.h: GCC's __builtin_shuffle(vector, mask) for clang, which has only the constant-index
// __builtin_shufflevector. The browser build forces it into the core's sources (the plasma
// blend uses GCC's form); the desktop and ARM builds use GCC and never see it.
#pragma once
#if defined(__clang__) && defined(__cplusplus)
template <typename Vector, typename Mask>
inline Vector gccShuffle(Vector v, Mask mask) {
    constexpr int n = sizeof(Vector) / sizeof(Vector{}[0]);
    Vector out;
    for (int i = 0; i < n; ++i) out[i] = v[mask[i] & (n - 1)];  // GCC takes each index modulo n
    return out;
}
#define __builtin_shuffle(v, mask) gccShuffle(v, mask)
#endif
