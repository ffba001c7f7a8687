// effects.h: the scenes of the show and their initialisers. A scene is called as effect(frame, t),
// draws into the frame and keeps no state between calls.
#pragma once
#include <cstdint>

#include "mobilePolygon/mobilePolygon.h"

// Clock scene: two dials jumping on the music's marks over a background.
void effect10_init();  // the dials' texture records, the background as frame words
void effect10(uint32_t* frame, int32_t t);
extern Texture fx101;  // klocka1, 256 x 256
extern Texture fx102;  // klocka2, 185 x 185

// The effects module's own copies of mobInt2Fixed and mobInt2Coordinate: same arguments, same results.
Fixed favorit2(int i);
Coordinate favorit(int x, int y, int u, int v);

// Cube and stripes scene.
void effect5_init();  // the logo as frame words, cut into runs by alpha
void effect5(uint32_t* frame, int32_t t);  // the whole frame: stripes on black, the logo over them
void effect11_init();  // the turns' series
void effect11(uint32_t* frame, int32_t t);

// Plasma-warp scenes.
void effect2_init();  // builds xmap and ymap
void effect2(uint32_t* frame, int32_t t);
void effect9_init();  // the plasma pictures as frame words, the maps as words, the portraits cut into runs
void effect9(uint32_t* frame, int32_t t);
void effect12(uint32_t* frame, int32_t t);
void PutChick(uint32_t* frame);

// Voxel landscape.
void effect4_init();  // builds voxelmap
void prepareVoxelSky();  // the sky picture as frame words
void effect4(uint32_t* frame, int32_t t);

// Radial-blur scene.
void effect7_init();  // the silhouette cut into runs
void effect7(uint32_t* frame, int32_t t);
void RadialBlur(uint32_t* frame, int cx, int cy, int s);

// Picture scenes and credits.
void effect1_init();
void effect1(uint32_t* frame, int32_t t);
void effect3_init();
void effect3(uint32_t* frame, int32_t t);
void effect6_init();  // the tall picture as frame words
void effect6(uint32_t* frame, int32_t u);
void effect8_init();  // the helmet as frame words
void effect8(uint32_t* frame, int32_t t);
void quenor(uint32_t* frame, int32_t t);
void velmit(uint32_t* frame, int32_t t);
void orsadun(uint32_t* frame, int32_t t);
void fembrik(uint32_t* frame, int32_t t);
void tessik(uint32_t* frame, int32_t t);
