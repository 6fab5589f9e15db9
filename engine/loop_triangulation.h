#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "engine/ambiguous_table.h"

// The triangulations the decided table (ambiguous_table.cpp) is built from.
// Triangles are corner triples appended to a flat list: corners below
// kEdgeCount are the crossings on those edges, kEdgeCount + i interior
// vertex i. A loop is a closed chain of crossed edges in its own direction
// (inside on the right seen from outside the cube).
using Loop = std::vector<int32_t>;
// A directed face segment between the crossings on two edges.
using Segment = std::pair<int32_t, int32_t>;

// Bit f set when `edge` lies on face f.
uint32_t facesOfEdge(const CubeMarcher& marcher, int32_t edge);

// Appends the cheapest disc bounded by `loop`, each triangle in the loop's
// direction: first the fewest triangles lying in a face, then the fewest
// facing inwards at the edge midpoints. Returns how many face inwards.
int32_t triangulateDisc(const CubeMarcher& marcher, uint32_t caseIndex, const Loop& loop,
                        std::vector<int32_t>& triangles);

// Appends a tube between `a` and `b`, two loops bounding one piece of
// surface (so they run opposite ways round it): a strip of triangles, each
// with one side on a loop, whose sides across avoid joining two crossings of
// one face where they can, and are short.
void triangulateTube(const CubeMarcher& marcher, const Loop& a, const Loop& b,
                     std::vector<int32_t>& triangles);

// Splits every triangle side that joins two crossings of one face and is not
// one of `cuts`: the cell across that face could hold the same side, and
// four triangles would meet there. Each such side gets a vertex inside the
// cell, between the side's midpoint, the mean of the crossings of its piece
// of surface (`pieceOf[edge]`: bit e set for each edge of the piece holding
// `edge`'s crossing) and the triangles' opposite corners; its two triangles
// become four.
void splitInFaceSides(const CubeMarcher& marcher, const std::vector<Segment>& cuts,
                      const uint32_t pieceOf[kEdgeCount], std::vector<int32_t>& triangles,
                      std::vector<AmbiguousCaseTable::InteriorVertex>& interior);
