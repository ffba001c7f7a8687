// sineCosine.cpp: sine and cosine rounded correctly from a double-double evaluation: the argument
// reduced by the nearest multiple of pi/2, held in three parts, then the Taylor series of the
// reduced argument, every step carried to about 100 bits and the sum rounded once to a double.
// Only + - * / on doubles, each rounded as written: Dekker's products split their factors rather
// than rely on a fused multiply-add, which not every machine has.
#include "sineCosine.h"

#include <cmath>
#include <cstdint>

namespace {

// hi + lo with |lo| at most half a unit in the last place of hi.
struct Wide {
    double hi, lo;
};

Wide twoSum(double a, double b) {
    const double s = a + b, bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

Wide quickTwoSum(double a, double b) {  // |a| >= |b|
    const double s = a + b;
    return {s, b - (s - a)};
}

// The 26-bit halves of a double (Veltkamp's split).
Wide split(double a) {
    const double t = 134217729.0 * a;  // 2^27 + 1
    const double hi = t - (t - a);
    return {hi, a - hi};
}

Wide twoProduct(double a, double b) {
    const double p = a * b;
    const Wide x = split(a), y = split(b);
    return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

Wide add(Wide a, Wide b) {
    const Wide s = twoSum(a.hi, b.hi);
    return quickTwoSum(s.hi, s.lo + a.lo + b.lo);
}

Wide negate(Wide a) { return {-a.hi, -a.lo}; }

Wide multiply(Wide a, Wide b) {
    const Wide p = twoProduct(a.hi, b.hi);
    return quickTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

Wide divide(Wide a, double b) {
    const double q = a.hi / b;
    const Wide p = twoProduct(q, b);
    return quickTwoSum(q, (((a.hi - p.hi) - p.lo) + a.lo) / b);
}

// pi/2 to 161 bits in three doubles.
constexpr double kHalfPi1 = 1.5707963267948966192e+00;   // 0x3FF921FB54442D18
constexpr double kHalfPi2 = 6.1232339957367658e-17;      // 0x3C91A62633145C07
constexpr double kHalfPi3 = -1.4973849048591698e-33;     // 0xB91F1976B7ED8FBC

// x - n pi/2, n the nearest whole number to x / (pi/2), for |x| below 2^20 pi/2, where n has at
// most 21 bits: n pi/2 then holds exactly enough in the three parts' products.
int reduce(double x, Wide& r) {
    const double n = std::nearbyint(x / kHalfPi1);
    r = add(Wide{x, 0.0}, negate(twoProduct(n, kHalfPi1)));
    r = add(r, negate(twoProduct(n, kHalfPi2)));
    r = add(r, Wide{-n * kHalfPi3, 0.0});
    return static_cast<int>(n);
}

// sin r = r - r^3/3! + ..., and cos r = 1 - r^2/2! + ..., from the first term `first` = r or 1 and
// the factorial's first step, until a term is below 2^-110 of the sum: fifteen terms at most for
// |r| <= pi/4, fewer the smaller r is (a soft-float device pays for each).
double series(Wide r, Wide first, int step) {
    const Wide square = multiply(r, r);
    Wide term = first, sum = first;
    while (std::fabs(term.hi) > 0x1p-110 * std::fabs(sum.hi)) {
        term = negate(divide(multiply(term, square), double(step) * double(step + 1)));
        sum = add(sum, term);
        step += 2;
    }
    return sum.hi + sum.lo;  // the one rounding to a double
}

double sinOf(Wide r) { return series(r, r, 2); }
double cosOf(Wide r) { return series(r, Wide{1.0, 0.0}, 1); }

constexpr double kLargest = 1647099.3291652855;  // 2^20 pi/2

}  // namespace

double showSin(double x) {
    if (!(std::fabs(x) < kLargest)) return NAN;
    Wide r;
    switch (reduce(x, r) & 3) {
        case 0: return sinOf(r);
        case 1: return cosOf(r);
        case 2: return -sinOf(r);
        default: return -cosOf(r);
    }
}

double showCos(double x) {
    if (!(std::fabs(x) < kLargest)) return NAN;
    Wide r;
    switch (reduce(x, r) & 3) {
        case 0: return cosOf(r);
        case 1: return -sinOf(r);
        case 2: return -cosOf(r);
        default: return sinOf(r);
    }
}
