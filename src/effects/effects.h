// effects.h: the scenes of the show and their initialisers. A scene is called as effect(frame, t).
#pragma once
#include <cstdint>
