#pragma once

#include <cstdint>

#include "engine/ambiguous_table.h"
#include "render/scene.h"
#include "render/shading.h"

// Everything the user can change while the program runs. The keys of the
// window procedure and the frame loop are the only writers; both run on the
// one thread, between frames or in the frame's own steps.
struct Settings {
    float animationTime = 0.0f;     // field clock; may go negative
    bool listingRequested = false;  // list the next frame's triangles
    bool animationEnabled = true;   // the frame advances the clock
    bool lightingEnabled = true;
    scene::View view;                        // the camera; its angles are never wrapped
    FaceRule faceRule = FaceRule::kDecider;  // how cells with an ambiguous face are cut
    DrawPath drawPath = DrawPath::kImmediate;
    Shading shading = Shading::kFlat;  // smooth shading draws from the mesh, as kArrays
    int32_t isoSteps = 0;              // a volume's iso value: steps from its start value
    bool overlayShown = false;         // the text overlay; shown from the start for a volume
    // The triangles' outlines; hidden from the start for a volume, whose
    // triangles are a pixel or two wide: lit, an outline takes its
    // triangle's colour, unlit it blackens the surface, and either way it
    // doubles the frame's work.
    bool outlinesShown = true;

    bool operator==(const Settings&) const = default;
};

// The one instance; `settings = Settings{}` restores the start values.
extern Settings settings;

// The scene the view looks at: the blobs' grid or the volume's box, fitted
// once at start-up.
extern scene::SceneFit sceneFit;

// The view a fitted scene starts from (and key R returns to).
inline scene::View startViewOf(const scene::SceneFit& fit) {
    return {.distance = fit.startDistance};
}
