#include "app/window_procedure.h"

#include <algorithm>

#include "app/explorer.h"
#include "app/settings.h"
#include "app/volume_view.h"
#include "platform/window_system.h"

namespace {

constexpr int32_t kHandled = 0;
constexpr int32_t kQuitCode = 0;

void zoom(float factor) {
    settings.cameraDistance = std::clamp(settings.cameraDistance * factor, keys::kMinCameraDistance,
                                         keys::kMaxCameraDistance);
}

// The keys that belong to one kind of scene: the animation's to the blobs,
// the iso value's to a volume. Returns whether the key was one of them.
bool applySceneKey(WParam virtualKey) {
    if (!volumeView.loaded) {
        return false;
    }
    switch (virtualKey) {
        case vk::kOemMinus:
        case vk::kSubtract:
            volumeView.stepIso(-1);
            return true;
        case vk::kOemPlus:
        case vk::kAdd:
            volumeView.stepIso(1);
            return true;
        case vk::kI:
            volumeView.resetIso();
            return true;
        case vk::kA:
        case vk::kQ:
        case vk::kW:
            return true;  // a volume does not move
        default:
            return false;
    }
}

void applyKey(WParam virtualKey) {
    if (virtualKey == vk::kE) {
        explorer.active = !explorer.active;
        return;
    }
    if ((explorer.active && explorer.applyKey(virtualKey)) || applySceneKey(virtualKey)) {
        return;
    }
    switch (virtualKey) {
        case vk::kEscape:
            postQuitMessage(kQuitCode);
            break;
        case vk::kPageUp:
            zoom(keys::kZoomInFactor);
            break;
        case vk::kPageDown:
            zoom(keys::kZoomOutFactor);
            break;
        case vk::kLeft:
            settings.cameraYaw += keys::kTurnStepDegrees;
            break;
        case vk::kRight:
            settings.cameraYaw -= keys::kTurnStepDegrees;
            break;
        case vk::kUp:
            settings.cameraPitch += keys::kTurnStepDegrees;
            break;
        case vk::kDown:
            settings.cameraPitch -= keys::kTurnStepDegrees;
            break;
        case vk::kA:
            settings.animationEnabled = !settings.animationEnabled;
            break;
        case vk::kL:
            settings.lightingEnabled = !settings.lightingEnabled;
            break;
        case vk::kS:
            settings.shading =
                settings.shading == Shading::kFlat ? Shading::kSmooth : Shading::kFlat;
            break;
        case vk::kF:
            settings.faceRule =
                settings.faceRule == FaceRule::kDecider ? FaceRule::kTable : FaceRule::kDecider;
            break;
        case vk::kP:
            settings.listingRequested = true;
            break;
        case vk::kO:
            settings.overlayShown = !settings.overlayShown;
            break;
        case vk::kQ:
            settings.animationTime -= keys::kTimeStep;
            break;
        case vk::kW:
            settings.animationTime += keys::kTimeStep;
            break;
        default:
            break;
    }
}

}  // namespace

int32_t windowProcedure(WindowHandle window, MessageCode code, WParam wParam, LParam lParam) {
    switch (code) {
        case msg::kClose:
            postQuitMessage(kQuitCode);
            return kHandled;
        case msg::kDestroy:
            return kHandled;
        case msg::kKeyDown:
            applyKey(wParam);
            return kHandled;
        default:
            return defaultWindowProcedure(window, code, wParam, lParam);
    }
}
