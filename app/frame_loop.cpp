#include "app/frame_loop.h"

#include <algorithm>

#include "app/process_setup.h"
#include "app/window_procedure.h"
#include "render/opengl.h"
#include "render/triangle_count.h"

KeySchedule::KeySchedule(std::span<const ScheduledKey> keys) : keys_(keys.begin(), keys.end()) {
    std::ranges::stable_sort(keys_, {}, &ScheduledKey::frame);
}

bool KeySchedule::deliverBefore(int64_t frame, WindowHandle window) {
    const size_t first = next_;
    while (next_ < keys_.size() && keys_[next_].frame <= frame) {
        windowProcedure(window, msg::kKeyDown, keys_[next_].virtualKey, key_flags::kSingleRepeat);
        ++next_;
    }
    return next_ != first;
}

template <GlOperations Gl>
int32_t runFrames(Gl& gl, const std::function<void()>& present, WindowHandle window,
                  const Options& options, FILE* out, FrameTimer& timer, MeshDrawing* drawing) {
    KeySchedule schedule(options.presses);
    int64_t framesDone = 0;
    Message message;
    while (true) {
        if (peekMessage(message)) {
            if (message.code == msg::kQuit) {
                return static_cast<int32_t>(message.wParam);
            }
            translateMessage(message);
            dispatchMessage(message);
        } else if (quitSignalReceived() || (options.frames && framesDone == *options.frames)) {
            windowProcedure(window, msg::kClose, 0, 0);
        } else if (!schedule.deliverBefore(framesDone + 1, window)) {
            renderFrame(gl, present, out, timer, drawing);
            ++framesDone;
        }
    }
}

template int32_t runFrames(TriangleCountingGl<OpenGl>&, const std::function<void()>&, WindowHandle,
                           const Options&, FILE*, FrameTimer&, MeshDrawing*);
template int32_t runFrames(NoGl&, const std::function<void()>&, WindowHandle, const Options&, FILE*,
                           FrameTimer&, MeshDrawing*);
