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

// The Taylor series of sin r / r and of cos r in powers of r^2, to the term below 2^-110 of the
// first for |r| <= pi/4 (r^28/29! and r^28/28!). Their coefficients +-1/n! are worked out once in
// double-double, so a call costs no division (dear on a soft-float device).
constexpr int kTerms = 15;

struct Series {
    Wide sine[kTerms], cosine[kTerms];
    Series() {
        Wide factorial{1.0, 0.0};  // 1/n! as n runs up
        for (int n = 1; n < 2 * kTerms; ++n) {
            factorial = divide(factorial, double(n));
            const Wide signed_ = (n / 2) % 2 == 0 ? factorial : negate(factorial);
            if (n % 2 == 1) sine[n / 2] = signed_;
            else cosine[n / 2] = signed_;
        }
        cosine[0] = Wide{1.0, 0.0};  // 1/0!
    }
};

// Horner's rule from the smallest term up, every step in double-double.
Wide horner(const Wide coefficient[kTerms], Wide square) {
    Wide sum = coefficient[kTerms - 1];
    for (int k = kTerms - 2; k >= 0; --k) sum = add(multiply(sum, square), coefficient[k]);
    return sum;
}

const Series& series() {
    static const Series table;
    return table;
}

// The terms of a series from `first` to `last`, in plain double by Horner's rule in r^2.
double restOf(const Wide coefficient[kTerms], int first, int last, double square) {
    double sum = coefficient[last].hi;
    for (int k = last - 1; k >= first; --k) sum = sum * square + coefficient[k].hi;
    return sum;
}

// A first try at a result: the series' first terms in double-double and the rest in plain double,
// to r^17/17! for the sine and r^18/18! for the cosine (the first term left out is below 2^-63 of
// the result for |r| <= pi/4). The rest is under 2^-14 of the result and carries a few units in
// its own last place, so the try lies within 2^-62 of the result from the whole series; 2^-60 is
// allowed. Where everything that near the try rounds to one double (the try's distance from the
// midpoint of two doubles is larger), that double is the whole series' rounding too, and is
// answered; otherwise (1.3 % of the cube's arguments) the whole series is summed. On a soft-float
// device the try costs well under half of the whole series.
bool roundsSafely(Wide y, double& rounded) {
    const double a = std::fabs(y.hi);
    const double gap = a - std::nextafter(a, 0.0);  // the nearer neighbour's distance, below a
    if (!(std::fabs(y.lo) + a * 0x1p-60 < gap / 2)) return false;
    rounded = y.hi;
    return true;
}

double sinOf(Wide r) {
    const Series& s = series();
    const Wide square = multiply(r, r);
    const Wide cube = multiply(square, r), fifth = multiply(cube, square);
    const Wide first = add(add(r, multiply(cube, s.sine[1])), multiply(fifth, s.sine[2]));  // r - r^3/3! + r^5/5!
    double tried;
    if (roundsSafely(add(first, Wide{fifth.hi * square.hi * restOf(s.sine, 3, 8, square.hi), 0.0}), tried)) return tried;
    const Wide sum = multiply(horner(s.sine, square), r);
    return sum.hi + sum.lo;  // the one rounding to a double
}

double cosOf(Wide r) {
    const Series& s = series();
    const Wide square = multiply(r, r);
    const Wide fourth = multiply(square, square), sixth = multiply(fourth, square);
    const Wide first = add(add(add(s.cosine[0], multiply(square, s.cosine[1])), multiply(fourth, s.cosine[2])),
                           multiply(sixth, s.cosine[3]));  // 1 - r^2/2! + r^4/4! - r^6/6!
    double tried;
    if (roundsSafely(add(first, Wide{fourth.hi * fourth.hi * restOf(s.cosine, 4, 9, square.hi), 0.0}), tried)) return tried;
    const Wide sum = horner(s.cosine, square);
    return sum.hi + sum.lo;
}

constexpr double kLargest = 1647099.3291652855;  // 2^20 pi/2

}  // namespace

void initSineCosine() { series(); }

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

void showSinCos(double x, double& sine, double& cosine) {
    if (!(std::fabs(x) < kLargest)) {
        sine = cosine = NAN;
        return;
    }
    Wide r;
    const int quarter = reduce(x, r) & 3;
    const double s = sinOf(r), c = cosOf(r);
    sine = quarter == 0 ? s : quarter == 1 ? c : quarter == 2 ? -s : -c;
    cosine = quarter == 0 ? c : quarter == 1 ? -s : quarter == 2 ? -c : s;
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
