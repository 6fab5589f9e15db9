#include "app/globals.h"

// Constructed in this order before main runs: the marcher's usage counts
// start at zero and the grid starts without storage.
CubeMarcher cubeMarcher;
AmbiguousCaseTable ambiguousCases;
ScalarGrid sampleGrid;
ReachedRows fieldRows;
