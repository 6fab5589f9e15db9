#pragma once

#include <vector>

#include "engine/cube_marcher.h"
#include "render/gl_ops.h"

// A GL backend that draws nothing and keeps the vertices sent inside
// GL_TRIANGLES blocks, three per triangle in the order sent; outlines and
// every other operation are dropped. Running the surface pass with it yields
// exactly the triangles that pass draws, in draw order.
struct CapturingGl : NoGl {
    std::vector<Vec3> triangleCorners;

    void begin(GlEnum mode) { insideTriangles_ = mode == gl::kTriangles; }
    void end() { insideTriangles_ = false; }
    void vertex3f(float x, float y, float z) {
        if (insideTriangles_) {
            triangleCorners.push_back({x, y, z});
        }
    }

  private:
    bool insideTriangles_ = false;
};
static_assert(GlOperations<CapturingGl>);
