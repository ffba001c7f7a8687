// art.h: the painters of the seventeen pictures, one function each, grouped by file.
#pragma once
#include "canvas.h"

Picture paintKlockz();
Picture paintKlocka1();
Picture paintKlocka2();
Picture paintHelmet();
Picture paintTarnivoisback();
Picture paintTall();
Picture paintUpper();
Picture paintPlasmapic2();
Picture paintSilhouette();
Picture paintPlasmapic();
Picture paintDemogirl();
Picture paintDemogirl2();
Picture paintCredQuenor();
Picture paintCredVelmit();
Picture paintCredOrsadun();
Picture paintCredFembrik();
Picture paintCredTessik();

// Shared pieces of scenery.
float smoothstep(float a, float b, float x);
void paintStars(Canvas& canvas, int seed, float density, int bottomRow);
// Diagonal bands along x + y: period and width in pixels, two colours.
void paintStripes(Canvas& canvas, int period, int width, Colour a, Colour b, int yOffset = 0);

// The menu's icon (not a picture of the show's): size x size, with an alpha edge.
Picture paintIcon(int size);
