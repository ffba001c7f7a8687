// song.h: the two modules the composer makes: the show's song and a short test module.
#pragma once
#include "xm_writer.h"

XmModule composeSong();                  // "musa.xm", timed to the show's sync tables
XmModule composeShort(double seconds);   // plays about that long, then ends
constexpr double kMaxShortSeconds = 600;
