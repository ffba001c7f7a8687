// sineCosine.h: the core's double-precision sine and cosine, the same bits on every machine.
#pragma once

// C libraries' sin and cos differ in the last place for some arguments (glibc's and MinGW's do at
// a few of the table's and the cube's), and a last place can move a pixel. These are fdlibm's
// (the algorithm of musl's and FreeBSD's sin and cos, under a millionth of a unit in the last place
// from exact before the final rounding), in plain double arithmetic that every IEEE machine, soft
// float included, rounds alike as long as nothing is fused (-ffp-contract=off). They agree bit for
// bit with glibc's at every argument the show uses (tests/trig_test.cpp). For |x| below 2^20 pi/2
// (about 1.6 million); NaN beyond, which the show never asks for.
double showSin(double x);
double showCos(double x);
