#pragma once

#include <cstdio>
#include <functional>

#include "app/frame_timer.h"
#include "render/arrays_pass.h"
#include "render/gl_ops.h"
#include "render/scene.h"

// The animation clock's advance per frame while the animation runs; the sum
// is formed in double and stored as float.
inline constexpr double kAnimationStep = 0.2;

// What the frame sets the scene up with: a volume's box frames the camera and
// places the lights; the blobs' scene follows the grid's size.
const float (&lightPositions())[scene::kLightCount][4];
double farPlane();
const scene::VolumeBox* volumeBox();

// One frame over the global objects, the same for every GL backend; frame.cpp
// instantiates it for the windowed run's TriangleCountingGl<OpenGl>, which
// presents by swapping buffers and counts the triangles for the overlay, and
// the headless run's NoGl, which presents nothing. Triangles are listed to
// `out` when the listing was requested, and the request is then cleared.
// `timer` is told where each stage ends. The surface is drawn through
// `arrays` from the frame's mesh for DrawPath::kArrays or smooth shading,
// else cell by cell in immediate mode (also when `arrays` is null); under
// NoGl, `arrays` only extracts the mesh, which lists and counts the same.
// Needs the case table generated and sampleGrid allocated.
template <GlOperations Gl>
void renderFrame(Gl& gl, const std::function<void()>& present, FILE* out, FrameTimer& timer,
                 ArraysPass* arrays = nullptr);
