// The per-frame path (field step and surface pass) must not allocate. This
// executable replaces the global allocation functions to count every call.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "extract/surface_mesh.h"
#include "field/metaball_field.h"
#include "render/overlay.h"
#include "render/surface_pass.h"
#include "test_support.h"

namespace {
int64_t allocationCount = 0;
}  // namespace

void* operator new(std::size_t size) {
    ++allocationCount;
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
// The array forms too: the standard library's forward to the ones above, but
// AddressSanitizer's runtime brings array forms of its own that would not.
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete[](void* p) noexcept {
    operator delete(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    operator delete(p);
}

namespace {

TEST(PerFramePath, AllocatesNothingWhileDrawingAndListing) {
    CubeMarcher marcher;
    CapturedFile sink;
    marcher.initialiseCubeMarcher(sink.get());
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(40, 40, 40));
    NoGl gl;
    // The first pass over a grid of a new shape sizes the pass's workspace.
    updateMetaballField(grid, 0.0f);
    drawSurface(gl, marcher, grid, false, sink.get());

    const int64_t before = allocationCount;
    int64_t crossings = 0;
    for (float t = 0.2f; t < 2.0f; t += 0.2f) {
        updateMetaballField(grid, t);
        crossings += drawSurface(gl, marcher, grid, true, sink.get());
    }
    EXPECT_EQ(allocationCount - before, 0);
    EXPECT_GT(crossings, 0);
}

// Once the mesh's buffers have grown to the frames' size, extracting them
// again allocates nothing, with or without usage counting, on two threads.
TEST(PerFramePath, MeshExtractionAllocatesNothingOnceGrown) {
    CubeMarcher marcher;
    CapturedFile sink;
    marcher.initialiseCubeMarcher(sink.get());
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(40, 40, 40));
    const AmbiguousCaseTable ambiguous(marcher);
    MeshExtractor extractor(marcher, ambiguous, 2);
    SurfaceMesh mesh;
    int64_t before = 0;
    for (int pass = 0; pass < 2; ++pass) {
        before = allocationCount;
        for (float t = 0.2f; t < 2.0f; t += 0.2f) {
            updateMetaballField(grid, t);
            extractor.extract(grid, mesh, FaceRule::kDecider,
                              pass == 0 ? nullptr : marcher.usageCount);
        }
    }
    EXPECT_EQ(allocationCount - before, 0);
    EXPECT_FALSE(mesh.triangles.empty());
}

// The overlay's text changes every frame (the frame rate, the triangle
// count); once it has been as long, drawing it allocates nothing.
TEST(PerFramePath, OverlayAllocatesNothingOnceItsTextHasBeenAsLong) {
    NoGl gl;
    drawOverlay(gl, "iso 1e+06\n1000000 triangles\n1000.0 fps\nlighting off");
    const int64_t before = allocationCount;
    for (const char* text : {"iso 127.5\n12 triangles\n59.8 fps\nlighting on",
                             "animation paused\n0 triangles\n0.0 fps\nlighting on"}) {
        drawOverlay(gl, text);
    }
    EXPECT_EQ(allocationCount - before, 0);
}

// Guards the guard: the counter does see allocations.
TEST(PerFramePath, CounterSeesAllocations) {
    const int64_t before = allocationCount;
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(2, 2, 2));
    EXPECT_EQ(allocationCount - before, 1);
}

}  // namespace
