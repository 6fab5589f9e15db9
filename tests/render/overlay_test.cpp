#include "render/overlay.h"

#include <gtest/gtest.h>

#include <string>

#include "recording_gl.h"
#include "test_support.h"

namespace {

// In window pixels over a 640x480 viewport, line under line, without depth
// testing, with every matrix and state it changes put back, as the golden
// trace has it.
TEST(OverlayDrawing, DrawsAndRestoresAsTheGoldenTrace) {
    RecordingGl gl;
    gl.viewportAnswer[2] = 640;
    gl.viewportAnswer[3] = 480;
    drawOverlay(gl, "iso 0.5\x7f\n17\x01");  // unprintable characters draw nothing
    EXPECT_EQ(traceOf(gl.calls), golden("render/overlay.trace", traceOf(gl.calls)));
}

}  // namespace
