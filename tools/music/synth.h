// synth.h: the module's instruments, synthesised from scratch with reproducible arithmetic.
#pragma once
#include "xm_writer.h"

constexpr int kSynthRate = 44100;  // every sample is made at this rate

// The tonal instruments hold exact whole cycles of this many frames, so their loops join
// without a click; C-4 of such a sample sounds at 44100 / 168 = 262.5 Hz, finetuned down to C.
constexpr int kCyclePeriod = 168;

// Instrument numbers (1-based, as patterns name them).
enum Instrument : uint8_t {
    kKick = 1, kSnare, kClap, kHatClosed, kHatOpen, kCrash, kTick, kBass, kPad, kLead,
    kPluck, kBell, kTom, kSweep, kInstrumentCount = kSweep
};

// All instruments in the order of the enum above.
std::vector<XmInstrument> makeInstruments();

// Deterministic sine and exponential: plain polynomial arithmetic that gives the same bits on
// every IEEE machine, so the module file is reproduced byte for byte.
double detSin(double x);
double detExp(double x);
