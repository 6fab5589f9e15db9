#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/globals.h"
#include "field/volume_file.h"
#include "output/mesh_export.h"
#include "platform/messages.h"
#include "process/print_mesh.h"
#include "render/shading.h"

// The command line. With no options the program runs its window until the
// user quits.

inline constexpr int64_t kMaxFrames = 1'000'000'000;
// --grid: samples along each axis; 2 is the fewest that make a cell.
inline constexpr int32_t kMinGridSize = 2;
inline constexpr int32_t kMaxGridSize = 256;
// --threads: threads that share the mesh extraction, never more than
// kMaxThreads whatever the machine.
inline constexpr int32_t kMaxThreads = 64;
// --smooth: rounds of smoothing.
inline constexpr int32_t kMaxSmoothSteps = 1000;
// The cores the machine has (at least 1, at most kMaxThreads).
int32_t defaultThreads();
// The most --threads accepts: twice the cores, at least kMinThreadBound, at
// most kMaxThreads. A few threads beyond the cores still show how the work
// splits; many more only slow every frame down.
inline constexpr int32_t kMinThreadBound = 4;
int32_t maxThreads();

// A key delivered to the window procedure as msg::kKeyDown just before
// `frame` (frames count from 1).
struct ScheduledKey {
    int64_t frame = 0;
    WParam virtualKey = 0;

    bool operator==(const ScheduledKey&) const = default;
};

struct MeshExport {
    std::string path;
    MeshFormat format = MeshFormat::kObj;
};

struct Options {
    bool headless = false;                      // no window and no GL; needs `frames`
    std::optional<int64_t> frames;              // quit after this frame, 0 to kMaxFrames
    std::vector<ScheduledKey> presses;          // in the order given
    int32_t gridSize = kGridSize;               // kMinGridSize to kMaxGridSize
    bool gridGiven = false;                     // --grid was given
    VolumeRequest volume;                       // path empty: the blobs are shown
    std::optional<float> iso;                   // a volume's start iso value
    std::optional<std::string> screenshotPath;  // a .png; windowed runs only
    std::optional<MeshExport> meshExport;       // written at quit
    MeshProcessing processing;                  // what is done to the exported mesh
    bool timing = false;                        // frame times on stderr at quit
    bool quiet = false;                         // no table listing or statistics on stdout
    std::optional<uint32_t> exploreCase;        // --explore: start in the case explorer
    FaceRule faceRule = FaceRule::kDecider;     // --faces: decider (closed) or table
    std::optional<DrawPath> drawPath;           // --draw; unset: arrays for a volume
    Shading shading = Shading::kFlat;           // --shading: flat or smooth
    int32_t threads = defaultThreads();         // --threads: share of the mesh extraction
    bool helpRequested = false;
    bool versionRequested = false;
};

// Parses the arguments after the program name. Options take their value as
// the next argument or after '='. On bad input returns false and sets `error`
// to one line naming the problem; `options` is then unspecified.
bool parseOptions(std::span<const char* const> arguments, Options& options, std::string& error);

void printUsage(FILE* out);
void printVersion(FILE* out);
