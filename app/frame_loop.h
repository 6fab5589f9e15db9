#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <vector>

#include "app/frame.h"
#include "app/options.h"
#include "platform/window_system.h"

// The keys of --press, handed to the window procedure frame by frame.
class KeySchedule {
  public:
    explicit KeySchedule(std::span<const ScheduledKey> keys);

    // Delivers, as msg::kKeyDown to windowProcedure, the keys scheduled for
    // frame `frame` that have not been delivered yet, in the order given.
    // Returns whether it delivered any. Frames must be asked for in
    // ascending order; `window` may be null (headless).
    bool deliverBefore(int64_t frame, WindowHandle window);

  private:
    std::vector<ScheduledKey> keys_;  // stable-sorted by frame
    size_t next_ = 0;
};

// Drains every waiting message, then renders a frame whenever the queue is
// empty, until the quit message arrives; returns the quit message's code.
// Scheduled keys are delivered once the queue is empty before their frame,
// and the queue is drained again before that frame, so an Escape among them
// ends the run before the frame. After frame options.frames the window
// procedure receives a close request, exactly as when the user closes the
// window. Every frame is timed by `timer`; `drawing` holds the mesh
// (see renderFrame).
// Instantiated for the backends renderFrame is (frame_loop.cpp).
template <GlOperations Gl>
int32_t runFrames(Gl& gl, const std::function<void()>& present, WindowHandle window,
                  const Options& options, FILE* out, FrameTimer& timer, MeshDrawing* drawing);
