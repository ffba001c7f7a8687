// sineCosine.h: the core's double-precision sine and cosine, the same bits on every machine.
#pragma once

// C libraries' sin and cos differ in the last place for some arguments (glibc's and MinGW's do at
// a few of the cube's), and a last place can move a pixel. These are rounded correctly, from the
// argument reduced by pi/2 held in three parts and the series carried in double-double
// (sineCosine.cpp), in plain double arithmetic that every IEEE machine, soft float included,
// rounds alike as long as nothing is fused (-ffp-contract=off); tests/trig_test.cpp holds them to
// the nearest double at every argument the cube turns by. For |x| below 2^20 pi/2 (about 1.6
// million); NaN beyond, which the show never asks for.
double showSin(double x);
double showCos(double x);
// Both at once, as showSin and showCos give them, the argument reduced once.
void showSinCos(double x, double& sine, double& cosine);
// Works out the series' coefficients, which the first call would otherwise: some 50 k
// instructions of soft-float division and double-double steps on a device.
void initSineCosine();
