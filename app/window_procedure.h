#pragma once

#include <cstdint>

#include "platform/messages.h"

// Key steps of the window procedure.
namespace keys {
inline constexpr float kZoomInFactor = 0.9f;   // Page Up
inline constexpr float kZoomOutFactor = 1.1f;  // Page Down
// Zooming multiplies, so the distance is kept where every zoom can be undone:
// without the floor repeated Page Up reaches 0 and stays there.
inline constexpr float kMinCameraDistance = 1e-3f;
inline constexpr float kMaxCameraDistance = 1e6f;
inline constexpr float kTurnStepDegrees = 5.0f;  // arrows
inline constexpr float kTimeStep = 0.5f;         // W forward, Q back
}  // namespace keys

// Mouse steps of the window procedure.
namespace mouse {
inline constexpr float kTurnDegreesPerPixel = 0.5f;
// Panned scene units per pixel, per unit of camera distance: the 90-degree
// view of the 600-pixel-high start window spans twice the distance.
inline constexpr float kPanPerPixelAndDistance = 2.0f / 600.0f;
}  // namespace mouse

// The procedure of the program's window class. Close requests and Escape post
// the quit message; key presses (auto-repeats included, the repeat count in
// lParam ignored) change the global settings:
//   Page Up / Page Down  camera distance x0.9 / x1.1, kept in
//                        [kMinCameraDistance, kMaxCameraDistance]
//   Left / Right         yaw +5 / -5 degrees;   Up / Down  pitch +5 / -5
//   A  animation on/off   L  lighting on/off    P  list the next frame
//   F  ambiguous faces: decided (closed surface) / as the case table has them
//   S  shading: flat / smooth
//   Q / W                animation time -0.5 / +0.5
//   O  overlay on/off
//   R  the view back to its start (startViewOf(sceneFit))
//   X / Y / Z            look along the axis from its far end (the view from
//                        +x, +y, +z), pressed again from the other end
//   mouse: a left drag turns the view (x0.5 degrees per pixel, yaw across,
//   pitch up and down), a right or middle drag pans it across, each wheel
//   notch zooms as Page Up (away) or Page Down (towards the user)
//   E  the case explorer on/off; while it is on, its keys (app/explorer.h)
//      come first
// With a volume shown (volumeView.loaded), A, Q and W do nothing, and
//   - / +  (either key)  iso value one step down / up   I  iso value reset
// each reporting the new value; without one these three do nothing.
// Other keys do nothing; every key press answers 0 and never reaches the
// default procedure; so do mouse messages (button releases change nothing).
// The angles and the clock are never wrapped, yet cannot
// overflow: a step stops changing the float long before (5 degrees from 2^27
// on, 0.5 from 2^24 on). msg::kDestroy answers 0; every other message goes to
// defaultWindowProcedure and its result is returned.
int32_t windowProcedure(WindowHandle window, MessageCode code, WParam wParam, LParam lParam);
