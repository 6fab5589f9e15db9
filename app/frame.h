#pragma once

#include <cstdio>
#include <functional>

#include "app/frame_mesh.h"
#include "app/frame_timer.h"
#include "render/gl_ops.h"
#include "render/scene.h"

// The animation clock's advance per frame while the animation runs; the sum
// is formed in double and stored as float.
inline constexpr double kAnimationStep = 0.2;

// What the frame's mesh is made from under the current settings.
MeshInputs currentMeshInputs();

// One frame over the global objects, the same for every GL backend; frame.cpp
// instantiates it for the windowed run's TriangleCountingGl<OpenGl>, which
// presents by swapping buffers and counts the triangles for the overlay, and
// the headless run's NoGl, which presents nothing. Triangles are listed to
// `out` when the listing was requested, and the request is then cleared.
// `timer` is told where each stage ends. For DrawPath::kArrays or smooth
// shading the surface is drawn from `drawing`'s mesh, brought up to this
// frame's settings; else cell by cell in immediate mode (also when `drawing`
// is null). Under NoGl, `drawing`'s mesh is only brought up to date, which
// lists and counts the same. Needs the case table generated and sampleGrid
// allocated.
template <GlOperations Gl>
void renderFrame(Gl& gl, const std::function<void()>& present, FILE* out, FrameTimer& timer,
                 MeshDrawing* drawing = nullptr);
