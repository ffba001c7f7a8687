// song.cpp: the show's song (placeholder until the composition lands).
#include "song.h"

XmModule composeSong() { return composeShort(120); }
