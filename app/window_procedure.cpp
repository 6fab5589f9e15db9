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
    settings.view.distance = std::clamp(settings.view.distance * factor, keys::kMinCameraDistance,
                                        keys::kMaxCameraDistance);
}

// The view from one side of an axis, or, when it already shows that side,
// from the other; the distance is kept, the pan dropped.
void lookAlong(float pitch, float yaw, float otherPitch, float otherYaw) {
    scene::View& view = settings.view;
    const bool onThisSide = view.pitch == pitch && view.yaw == yaw;
    view.pitch = onThisSide ? otherPitch : pitch;
    view.yaw = onThisSide ? otherYaw : yaw;
    view.panX = view.panY = 0.0f;
}

// Where the last mouse message found the pointer: a drag moves the view by
// the pointer's way since then.
LParam lastPointer = 0;

void dragView(WParam buttons, LParam pointer) {
    const auto dx = static_cast<float>(pointX(pointer) - pointX(lastPointer));
    const auto dy = static_cast<float>(pointY(pointer) - pointY(lastPointer));
    lastPointer = pointer;
    scene::View& view = settings.view;
    if ((buttons & mk::kLButton) != 0) {
        view.yaw += dx * mouse::kTurnDegreesPerPixel;
        view.pitch += dy * mouse::kTurnDegreesPerPixel;
    } else if ((buttons & (mk::kRButton | mk::kMButton)) != 0) {
        const float unitsPerPixel = view.distance * mouse::kPanPerPixelAndDistance;
        view.panX += dx * unitsPerPixel;
        view.panY -= dy * unitsPerPixel;
    }
}

// Each notch away from the user zooms in as Page Up does, towards the user
// out as Page Down.
void turnWheel(int32_t delta) {
    for (int32_t notches = delta / kWheelDelta; notches != 0; notches -= notches > 0 ? 1 : -1) {
        zoom(notches > 0 ? keys::kZoomInFactor : keys::kZoomOutFactor);
    }
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
        case vk::kR:
            settings.view = startViewOf(sceneFit);
            break;
        case vk::kX:
            lookAlong(0.0f, -90.0f, 0.0f, 90.0f);
            break;
        case vk::kY:
            lookAlong(90.0f, 0.0f, -90.0f, 0.0f);
            break;
        case vk::kZ:
            lookAlong(0.0f, 0.0f, 0.0f, 180.0f);
            break;
        case vk::kPageUp:
            zoom(keys::kZoomInFactor);
            break;
        case vk::kPageDown:
            zoom(keys::kZoomOutFactor);
            break;
        case vk::kLeft:
            settings.view.yaw += keys::kTurnStepDegrees;
            break;
        case vk::kRight:
            settings.view.yaw -= keys::kTurnStepDegrees;
            break;
        case vk::kUp:
            settings.view.pitch += keys::kTurnStepDegrees;
            break;
        case vk::kDown:
            settings.view.pitch -= keys::kTurnStepDegrees;
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
        case vk::kM:
            settings.outlinesShown = !settings.outlinesShown;
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
        case msg::kLButtonDown:
        case msg::kRButtonDown:
        case msg::kMButtonDown:
            lastPointer = lParam;
            return kHandled;
        case msg::kLButtonUp:
        case msg::kRButtonUp:
        case msg::kMButtonUp:
            return kHandled;  // a drag ends with its button: moves then carry no flag
        case msg::kMouseMove:
            dragView(wParam, lParam);
            return kHandled;
        case msg::kMouseWheel:
            turnWheel(wheelDelta(wParam));
            return kHandled;
        default:
            return defaultWindowProcedure(window, code, wParam, lParam);
    }
}
