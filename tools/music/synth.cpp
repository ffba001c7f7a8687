// synth.cpp: drum, bass, pad, lead, pluck, bell and effect sounds, each made sample by sample.
#include "synth.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;

// A fixed pseudo-random sequence for noise (a 32-bit linear congruential generator).
struct Noise {
    uint32_t state;
    double next() {  // uniform in [-1, 1)
        state = state * 1664525u + 1013904223u;
        return double(state >> 8) / double(1 << 23) - 1.0;
    }
};

// One-pole low-pass and high-pass filters, coefficient a in (0, 1].
struct LowPass {
    double a, y = 0;
    double operator()(double x) { return y += a * (x - y); }
};
struct HighPass {
    double a, low = 0;
    double operator()(double x) { low += a * (x - low); return x - low; }
};
// A smooth saturation, close to tanh, in plain arithmetic.
double softClip(double x) {
    if (x >= 3) return 1;
    if (x <= -3) return -1;
    return x * (27 + x * x) / (27 + 9 * x * x);
}

double onePole(double cutoffHz) { return 1.0 - detExp(-kTwoPi * cutoffHz / kSynthRate); }

// Scales to the given peak (of full scale) and converts to 16 bits.
std::vector<int16_t> toPcm(const std::vector<double>& wave, double peak) {
    double top = 1e-9;
    for (double v : wave) top = std::max(top, std::fabs(v));
    std::vector<int16_t> pcm(wave.size());
    for (size_t i = 0; i < wave.size(); ++i)
        pcm[i] = int16_t(std::lround(wave[i] / top * peak * 32767.0));
    return pcm;
}

// Fades the last frames to zero so a one-shot sample never ends on a step.
void fadeTail(std::vector<double>& w, int frames) {
    const int n = int(w.size());
    for (int i = std::max(0, n - frames); i < n; ++i) w[size_t(i)] *= double(n - 1 - i) / frames;
}

int frames(double seconds) { return int(seconds * kSynthRate); }

XmInstrument oneShot(const char* name, std::vector<double> wave, double peak) {
    fadeTail(wave, 64);
    XmInstrument ins;
    ins.name = name;
    ins.sample.name = name;
    ins.sample.data = toPcm(wave, peak);
    ins.sample.relativeNote = 28;  // a 44,100 Hz sample plays at its own pitch on C-4
    ins.sample.finetune = 100;
    return ins;
}

// Tonal instruments: a loop of whole 168-frame cycles, C-4 at 262.5 Hz tuned down 5.7 cents.
// A recording pitched octaves below C-4 plays back that many octaves faster on C-4's note.
void tuneLoop(XmInstrument& ins, int octaveBelowC4) {
    ins.sample.relativeNote = int8_t(28 + 12 * octaveBelowC4);
    ins.sample.finetune = 93;
}

XmEnvelope envelope(std::initializer_list<XmEnvelopePoint> points, int sustain) {
    XmEnvelope e;
    e.points = points;
    e.flags = kEnvOn;
    if (sustain >= 0) {
        e.flags |= kEnvSustain;
        e.sustain = uint8_t(sustain);
    }
    return e;
}

// Band-limited saw-like wave from harmonics: sum over h of weight(h) * sin(h * phase).
template <class Weight>
double harmonics(double phase, int count, Weight weight) {
    double s = 0;
    for (int h = 1; h <= count; ++h) s += weight(h) * detSin(h * phase);
    return s;
}

XmInstrument kick() {
    std::vector<double> w(size_t(frames(0.42)));
    double phase = 0;
    Noise noise{7};
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / kSynthRate;
        const double freq = 44 + 120 * detExp(-t * 38);  // the pitch falls fast: a punchy body
        phase += kTwoPi * freq / kSynthRate;
        const double body = detSin(phase) * detExp(-t * 7.5);
        const double click = noise.next() * detExp(-t * 400) * 0.5;
        w[i] = softClip(1.6 * (body + click));
    }
    return oneShot("kick", w, 0.95);
}

XmInstrument snare() {
    std::vector<double> w(size_t(frames(0.32)));
    Noise noise{11};
    LowPass lp{onePole(7000)};
    HighPass hp{onePole(900)};
    double p1 = 0, p2 = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / kSynthRate;
        p1 += kTwoPi * (190 + 40 * detExp(-t * 60)) / kSynthRate;
        p2 += kTwoPi * 330 / kSynthRate;
        const double tone = (detSin(p1) + 0.5 * detSin(p2)) * detExp(-t * 28);
        const double rattle = hp(lp(noise.next())) * detExp(-t * 13);
        w[i] = 0.6 * tone + rattle;
    }
    return oneShot("snare", w, 0.9);
}

XmInstrument clap() {
    std::vector<double> w(size_t(frames(0.3)));
    Noise noise{23};
    HighPass hp{onePole(1200)};
    LowPass lp{onePole(5000)};
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / kSynthRate;
        double env = detExp(-t * 18);  // the tail
        for (double burst : {0.0, 0.011, 0.022})  // three hands, slightly apart
            if (t >= burst) env = std::max(env, detExp(-(t - burst) * 180));
        w[i] = hp(lp(noise.next())) * env;
    }
    return oneShot("clap", w, 0.9);
}

// Metallic noise: six square waves at unrelated frequencies plus noise, high-passed.
std::vector<double> metal(double seconds, double decay, uint32_t seed, double cutoff) {
    std::vector<double> w(size_t(frames(seconds)));
    Noise noise{seed};
    HighPass hp1{onePole(cutoff)}, hp2{onePole(cutoff)};
    const double ratios[6] = {2.0, 3.0, 4.16, 5.43, 6.79, 8.21};
    double phases[6] = {};
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / kSynthRate;
        double s = 0;
        for (int k = 0; k < 6; ++k) {
            phases[k] += 205.3 * ratios[k] / kSynthRate;
            s += (phases[k] - std::floor(phases[k]) < 0.5) ? 1 : -1;
        }
        w[i] = hp2(hp1(0.15 * s + noise.next())) * detExp(-t * decay);
    }
    return w;
}

XmInstrument hatClosed() { return oneShot("closed hat", metal(0.09, 55, 31, 7000), 0.8); }
XmInstrument hatOpen() { return oneShot("open hat", metal(0.4, 9, 37, 6500), 0.8); }

XmInstrument crash() {
    std::vector<double> w = metal(1.9, 2.2, 41, 3500);
    for (size_t i = 0; i < 200; ++i) w[i] *= double(i) / 200;  // a soft edge, no click
    return oneShot("crash", w, 0.85);
}

// The clock's tick: a short wooden knock with a bright edge.
XmInstrument tick() {
    std::vector<double> w(size_t(frames(0.12)));
    Noise noise{53};
    HighPass hp{onePole(3000)};
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / kSynthRate;
        const double body = detSin(kTwoPi * 1760 * t) * detExp(-t * 70) +
                            0.6 * detSin(kTwoPi * 2637 * t) * detExp(-t * 110);
        w[i] = body + 0.7 * hp(noise.next()) * detExp(-t * 400);
    }
    return oneShot("tick", w, 0.9);
}

XmInstrument tom() {
    std::vector<double> w(size_t(frames(0.45)));
    double phase = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / kSynthRate;
        phase += kTwoPi * (262.5 * (1 + 0.5 * detExp(-t * 25))) / kSynthRate;
        w[i] = softClip(1.3 * detSin(phase) * detExp(-t * 9));
    }
    return oneShot("tom", w, 0.9);
}

// Reverse cymbal swell for the lead-ins: rises for 0.9 s and stops dead on the downbeat.
XmInstrument sweep() {
    std::vector<double> w = metal(0.9, 4.5, 59, 2500);
    std::reverse(w.begin(), w.end());
    for (size_t i = 0; i < 400; ++i) w[i] *= double(i) / 400;
    return oneShot("reverse cymbal", w, 0.8);
}

// A loop of detuned oscillators: each runs a whole number of cycles in the loop, so the loop
// closes without a step. cycles[k] over loopFrames gives the pitch; 1 cycle apart is 1 Hz.
template <class Weight>
std::vector<double> detunedLoop(int loopFrames, std::initializer_list<int> cycles, int count,
                                Weight weight) {
    std::vector<double> w(size_t(loopFrames), 0.0);
    int k = 0;
    for (int c : cycles) {
        const double offset = 0.37 * k++;  // different starting phases: no comb at the start
        for (int i = 0; i < loopFrames; ++i) {
            const double phase = kTwoPi * double(c) * i / loopFrames + offset;
            w[size_t(i)] += harmonics(phase, count, weight);
        }
    }
    return w;
}

// Turns a seamless loop so that it starts where the wave rises through zero: a note then starts
// without a step. Any turn of a whole-cycle loop is still seamless.
std::vector<double> startAtZero(const std::vector<double>& w) {
    size_t best = 0;
    for (size_t i = 1; i < w.size(); ++i)
        if (w[i - 1] < 0 && w[i] >= 0 && std::fabs(w[i]) < std::fabs(w[best])) best = i;
    std::vector<double> turned(w.begin() + std::ptrdiff_t(best), w.end());
    turned.insert(turned.end(), w.begin(), w.begin() + std::ptrdiff_t(best));
    return turned;
}

XmInstrument loopInstrument(const char* name, const std::vector<double>& loop, double peak) {
    const std::vector<double> w = startAtZero(loop);
    XmInstrument ins;
    ins.name = name;
    ins.sample.name = name;
    ins.sample.data = toPcm(w, peak);
    ins.sample.loop = kLoopForward;
    ins.sample.loopStart = 0;
    ins.sample.loopLength = uint32_t(w.size());
    return ins;
}

// Bass: a warm saw, low-passed by the harmonic weights, one octave of detune-free cycles.
XmInstrument bass() {
    // Pitched two octaves below C-4: period 4 * 168 frames, 16 cycles in the loop.
    const int period = 4 * kCyclePeriod;
    std::vector<double> w = detunedLoop(period * 16, {16}, 48, [](int h) {
        return 1.0 / h / (1.0 + (h * h) / 60.0);
    });
    XmInstrument ins = loopInstrument("bass", w, 0.9);
    tuneLoop(ins, 2);
    ins.volume = envelope({{0, 64}, {6, 52}, {30, 40}, {40, 0}}, 2);
    ins.fadeout = 3000;
    return ins;
}

// Pad: three saws a hertz apart for a slow chorus, soft top end; one second of loop.
XmInstrument pad() {
    const int loop = kCyclePeriod * 262;  // 262 cycles of C-4 in 44,016 frames
    std::vector<double> w = detunedLoop(loop, {261, 262, 263, 131}, 24, [](int h) {
        return 1.0 / h / (1.0 + (h * h) / 40.0);
    });
    XmInstrument ins = loopInstrument("pad", w, 0.9);
    tuneLoop(ins, 0);
    ins.volume = envelope({{0, 20}, {12, 56}, {48, 48}, {80, 0}}, 2);  // a new chord swells in quickly
    ins.fadeout = 900;
    return ins;
}

// Lead: a bright saw and a square-ish octave, gently detuned, with the instrument's vibrato.
XmInstrument lead() {
    const int loop = kCyclePeriod * 262;
    std::vector<double> w = detunedLoop(loop, {262, 263}, 30, [](int h) {
        return (h % 2 ? 1.0 : 0.6) / h / (1.0 + (h * h) / 300.0);
    });
    XmInstrument ins = loopInstrument("lead", w, 0.9);
    tuneLoop(ins, 0);
    ins.volume = envelope({{0, 0}, {2, 64}, {12, 50}, {30, 0}}, 2);
    ins.fadeout = 1800;
    return ins;
}

// Pluck for the arpeggios: harmonics that die away faster the higher they are.
XmInstrument pluck() {
    std::vector<double> w(size_t(frames(0.5)));
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / kSynthRate;
        const double phase = kTwoPi * 2 * 262.5 * t;  // pitched at C-5
        double s = 0;
        for (int h = 1; h <= 16; ++h) s += detSin(h * phase) / h * detExp(-t * (6 + 5.0 * h));
        w[i] = s;
    }
    XmInstrument ins = oneShot("pluck", w, 0.9);
    ins.sample.relativeNote = 28 - 12;  // the C-5 recording plays as C-4
    ins.sample.finetune = 93;
    return ins;
}

// Bell for the clock: inharmonic partials with long, staggered decays.
XmInstrument bell() {
    std::vector<double> w(size_t(frames(1.6)));
    const double partials[5][3] = {  // ratio, level, decay per second
        {1.0, 1.0, 2.2}, {2.0, 0.5, 3.0}, {2.76, 0.45, 4.5}, {5.40, 0.25, 7.0}, {8.93, 0.15, 11.0}};
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / kSynthRate;
        double s = 0;
        for (const auto& p : partials) s += p[1] * detSin(kTwoPi * 262.5 * p[0] * t) * detExp(-t * p[2]);
        w[i] = s * std::min(1.0, t * 250);  // a 4 ms strike: no click even when played high
    }
    XmInstrument ins = oneShot("bell", w, 0.85);
    ins.sample.finetune = 93;
    return ins;
}

}  // namespace

double detSin(double x) {
    // Reduce to [-pi, pi], then to [-pi/2, pi/2] by symmetry, then a Taylor series to x^15.
    x = std::fmod(x, kTwoPi);  // fmod is exact
    if (x > kPi) x -= kTwoPi;
    if (x < -kPi) x += kTwoPi;
    if (x > kPi / 2) x = kPi - x;
    if (x < -kPi / 2) x = -kPi - x;
    const double x2 = x * x;
    double term = x, sum = x;
    for (int n = 1; n <= 7; ++n) {
        term *= -x2 / double((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

double detExp(double x) {
    // e^x = (e^(x / 2^k))^(2^k): a short series on a small argument, then repeated squaring.
    if (x < -700) return 0;
    int k = 0;
    while (std::fabs(x) > 0.01) {
        x /= 2;
        ++k;
    }
    double term = 1, sum = 1;
    for (int n = 1; n <= 6; ++n) {
        term *= x / n;
        sum += term;
    }
    while (k-- > 0) sum *= sum;
    return sum;
}

std::vector<XmInstrument> makeInstruments() {
    return {kick(), snare(), clap(), hatClosed(), hatOpen(), crash(), tick(), bass(), pad(),
            lead(), pluck(), bell(), tom(), sweep()};
}
