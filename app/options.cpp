#include "app/options.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <thread>

#include "app/explorer.h"
#include "output/printable_text.h"

namespace {

constexpr std::string_view kProgramName = "marching-cubes";

using OptionHandler = bool (*)(std::string_view value, Options& options, std::string& error);

// One command-line option. A new option is one more row in kOptions, plus a
// rule in checkCombination if it depends on another.
struct OptionSpec {
    std::string_view name;
    std::string_view valueName;  // empty for a flag, which takes no value
    std::string_view help;
    bool repeatable;
    OptionHandler apply;
};

struct KeyName {
    std::string_view name;
    WParam virtualKey;
};

constexpr std::array kKeyNames{
    KeyName{"Escape", vk::kEscape},
    KeyName{"PageUp", vk::kPageUp},
    KeyName{"PageDown", vk::kPageDown},
    KeyName{"Left", vk::kLeft},
    KeyName{"Up", vk::kUp},
    KeyName{"Right", vk::kRight},
    KeyName{"Down", vk::kDown},
    KeyName{"A", vk::kA},
    KeyName{"F", vk::kF},
    KeyName{"L", vk::kL},
    KeyName{"P", vk::kP},
    KeyName{"Q", vk::kQ},
    KeyName{"S", vk::kS},
    KeyName{"W", vk::kW},
    KeyName{"O", vk::kO},
    KeyName{"Minus", vk::kOemMinus},
    KeyName{"Plus", vk::kOemPlus},
    KeyName{"I", vk::kI},
    KeyName{"R", vk::kR},
    KeyName{"X", vk::kX},
    KeyName{"Y", vk::kY},
    KeyName{"Z", vk::kZ},
    KeyName{"E", vk::kE},
    KeyName{"N", vk::kN},
    KeyName{"B", vk::kB},
    KeyName{"C", vk::kC},
    KeyName{"J", vk::kJ},
    KeyName{"K", vk::kK},
    KeyName{"0", vk::k0},
    KeyName{"1", vk::k0 + 1},
    KeyName{"2", vk::k0 + 2},
    KeyName{"3", vk::k0 + 3},
    KeyName{"4", vk::k0 + 4},
    KeyName{"5", vk::k0 + 5},
    KeyName{"6", vk::k0 + 6},
    KeyName{"7", vk::k0 + 7},
};

// The text of an argument, as every message shows it: in quotes, on one line.
std::string quoted(std::string_view text) {
    return "\"" + printableText(text) + "\"";
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// A whole number in [low, high] written in decimal digits only.
bool parseCount(std::string_view text, int64_t low, int64_t high, int64_t& value,
                std::string& problem) {
    const bool digitsOnly =
        !text.empty() && std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
    if (!digitsOnly) {
        problem = quoted(text) + " is not a whole number";
        return false;
    }
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (status != std::errc{} || end != text.data() + text.size() || value < low || value > high) {
        problem = quoted(text) + " is out of range (" + std::to_string(low) + " to " +
                  std::to_string(high) + ")";
        return false;
    }
    return true;
}

bool setHeadless(std::string_view, Options& options, std::string&) {
    options.headless = true;
    return true;
}

bool setHelp(std::string_view, Options& options, std::string&) {
    options.helpRequested = true;
    return true;
}

bool setVersion(std::string_view, Options& options, std::string&) {
    options.versionRequested = true;
    return true;
}

bool setFrames(std::string_view value, Options& options, std::string& error) {
    int64_t frames = 0;
    if (!parseCount(value, 0, kMaxFrames, frames, error)) {
        error = "--frames: " + error;
        return false;
    }
    options.frames = frames;
    return true;
}

bool setGrid(std::string_view value, Options& options, std::string& error) {
    int64_t size = 0;
    if (!parseCount(value, kMinGridSize, kMaxGridSize, size, error)) {
        error = "--grid: " + error;
        return false;
    }
    options.gridSize = static_cast<int32_t>(size);
    options.gridGiven = true;
    return true;
}

bool setVolume(std::string_view value, Options& options, std::string& error) {
    if (value.empty()) {
        error = "--volume needs a file name";
        return false;
    }
    options.volume.path = std::string(value);
    return true;
}

// "X,Y,Z": three sizes from 1 up.
bool setDims(std::string_view value, Options& options, std::string& error) {
    std::array<int32_t, 3> sizes{};
    if (!parseSizes(value, ',', sizes)) {
        error = "--dims: " + quoted(value) + " is not X,Y,Z, three sizes from 1 to 2147483647";
        return false;
    }
    options.volume.sizes = sizes;
    return true;
}

bool setType(std::string_view value, Options& options, std::string& error) {
    SampleType type{};
    if (!findSampleType(value, type)) {
        error = "--type: unknown sample type " + quoted(value) +
                " (known: uint8, int8, uint16, int16, uint32, int32, float32, float64)";
        return false;
    }
    options.volume.type = type;
    return true;
}

bool setIso(std::string_view value, Options& options, std::string& error) {
    float iso = 0.0f;
    const auto [end, status] = std::from_chars(value.data(), value.data() + value.size(), iso);
    if (value.empty() || status != std::errc{} || end != value.data() + value.size() ||
        !std::isfinite(iso)) {
        error = "--iso: " + quoted(value) + " is not a finite number";
        return false;
    }
    options.iso = iso;
    return true;
}

// One of two named choices, in any letter case.
template <class Choice>
bool setChoice(std::string_view option, std::string_view value,
               const std::array<std::pair<std::string_view, Choice>, 2>& choices, Choice& chosen,
               std::string& error) {
    const auto found = std::ranges::find_if(
        choices, [value](const auto& choice) { return equalsIgnoringCase(choice.first, value); });
    if (found == choices.end()) {
        error = std::string(option) + ": " + quoted(value) + " is neither " +
                std::string(choices[0].first) + " nor " + std::string(choices[1].first);
        return false;
    }
    chosen = found->second;
    return true;
}

bool setFaces(std::string_view value, Options& options, std::string& error) {
    return setChoice("--faces", value,
                     {{{"decider", FaceRule::kDecider}, {"table", FaceRule::kTable}}},
                     options.faceRule, error);
}

bool setDraw(std::string_view value, Options& options, std::string& error) {
    DrawPath path = DrawPath::kImmediate;
    if (!setChoice("--draw", value,
                   {{{"immediate", DrawPath::kImmediate}, {"arrays", DrawPath::kArrays}}}, path,
                   error)) {
        return false;
    }
    options.drawPath = path;
    return true;
}

bool setShading(std::string_view value, Options& options, std::string& error) {
    return setChoice("--shading", value, {{{"flat", Shading::kFlat}, {"smooth", Shading::kSmooth}}},
                     options.shading, error);
}

bool setThreads(std::string_view value, Options& options, std::string& error) {
    int64_t threads = 0;
    if (!parseCount(value, 1, maxThreads(), threads, error)) {
        error = "--threads: " + error;
        return false;
    }
    options.threads = static_cast<int32_t>(threads);
    return true;
}

// An optional case number; without one the explorer starts at its first case.
bool setExplore(std::string_view value, Options& options, std::string& error) {
    int64_t caseIndex = Explorer::kFirstCase;
    if (!value.empty() && !parseCount(value, 0, kCaseCount - 1, caseIndex, error)) {
        error = "--explore: " + error;
        return false;
    }
    options.exploreCase = static_cast<uint32_t>(caseIndex);
    return true;
}

bool setTiming(std::string_view, Options& options, std::string&) {
    options.timing = true;
    return true;
}

bool setQuiet(std::string_view, Options& options, std::string&) {
    options.quiet = true;
    return true;
}

// The text after the last '.' of the file name, or "" when it has none.
std::string_view extensionOf(std::string_view path) {
    const size_t nameStart = path.find_last_of('/') + 1;  // npos + 1 == 0
    const size_t dot = path.find_last_of('.');
    return dot == std::string_view::npos || dot < nameStart ? std::string_view{}
                                                            : path.substr(dot + 1);
}

struct MeshExtension {
    std::string_view extension;
    MeshFormat format;
};

constexpr std::array kMeshExtensions{
    MeshExtension{"obj", MeshFormat::kObj},
    MeshExtension{"ply", MeshFormat::kPly},
    MeshExtension{"stl", MeshFormat::kStl},
};

bool setExport(std::string_view value, Options& options, std::string& error) {
    const std::string_view extension = extensionOf(value);
    const auto found = std::ranges::find_if(kMeshExtensions, [extension](const MeshExtension& m) {
        return equalsIgnoringCase(m.extension, extension);
    });
    if (found == kMeshExtensions.end()) {
        error = "--export: " + quoted(value) + " does not end in .obj, .ply or .stl";
        return false;
    }
    options.meshExport = MeshExport{std::string(value), found->format};
    return true;
}

bool setExportSpace(std::string_view value, Options& options, std::string& error) {
    ExportSpace space{};
    if (!setChoice("--export-space", value,
                   {{{"world", ExportSpace::kWorld}, {"index", ExportSpace::kIndex}}}, space,
                   error)) {
        return false;
    }
    options.exportSpace = space;
    return true;
}

bool setSeries(std::string_view value, Options& options, std::string& error) {
    if (value.empty()) {
        error = "--series needs a series instance UID";
        return false;
    }
    options.volume.series = std::string(value);
    return true;
}

bool setCap(std::string_view, Options& options, std::string&) {
    options.processing.cap = true;
    return true;
}

bool setLargest(std::string_view, Options& options, std::string&) {
    options.processing.largest = true;
    return true;
}

bool setMinPiece(std::string_view value, Options& options, std::string& error) {
    if (!parseCount(value, 1, INT32_MAX, options.processing.minPiece, error)) {
        error = "--min-piece: " + error;
        return false;
    }
    return true;
}

bool setSmooth(std::string_view value, Options& options, std::string& error) {
    int64_t steps = 0;
    if (!parseCount(value, 1, kMaxSmoothSteps, steps, error)) {
        error = "--smooth: " + error;
        return false;
    }
    options.processing.smoothSteps = static_cast<int32_t>(steps);
    return true;
}

bool setSimplify(std::string_view value, Options& options, std::string& error) {
    double ratio = 0.0;
    const auto [end, status] = std::from_chars(value.data(), value.data() + value.size(), ratio);
    if (value.empty() || status != std::errc{} || end != value.data() + value.size() ||
        !(ratio > 0.0 && ratio <= 1.0)) {
        error = "--simplify: " + quoted(value) + " is not a fraction above 0 and at most 1";
        return false;
    }
    options.processing.simplifyRatio = ratio;
    return true;
}

bool setScreenshot(std::string_view value, Options& options, std::string& error) {
    if (!equalsIgnoringCase(extensionOf(value), "png")) {
        error = "--screenshot: " + quoted(value) + " does not end in .png";
        return false;
    }
    options.screenshotPath = std::string(value);
    return true;
}

bool findKey(std::string_view name, WParam& virtualKey) {
    const auto found = std::ranges::find_if(
        kKeyNames, [name](const KeyName& key) { return equalsIgnoringCase(key.name, name); });
    if (found == kKeyNames.end()) {
        return false;
    }
    virtualKey = found->virtualKey;
    return true;
}

std::string knownKeyNames() {
    std::string names;
    for (const KeyName& key : kKeyNames) {
        names += (names.empty() ? "" : ", ") + std::string(key.name);
    }
    return names;
}

// One "F:KEY" entry of --press.
bool parseScheduledKey(std::string_view entry, ScheduledKey& key, std::string& error) {
    const size_t colon = entry.find(':');
    if (colon == std::string_view::npos) {
        error = "--press: " + quoted(entry) + " is not FRAME:KEY";
        return false;
    }
    std::string problem;
    if (!parseCount(entry.substr(0, colon), 1, kMaxFrames, key.frame, problem)) {
        error = "--press: frame " + problem + "; frames count from 1";
        return false;
    }
    const std::string_view name = entry.substr(colon + 1);
    if (!findKey(name, key.virtualKey)) {
        error = "--press: unknown key " + quoted(name) + " (known: " + knownKeyNames() + ")";
        return false;
    }
    return true;
}

bool addPresses(std::string_view value, Options& options, std::string& error) {
    size_t start = 0;
    while (true) {
        const size_t comma = value.find(',', start);
        ScheduledKey key;
        if (!parseScheduledKey(value.substr(start, comma - start), key, error)) {
            return false;
        }
        options.presses.push_back(key);
        if (comma == std::string_view::npos) {
            return true;
        }
        start = comma + 1;
    }
}

constexpr std::array kOptions{
    OptionSpec{"--headless", "", "run without a window or OpenGL (needs --frames)", false,
               setHeadless},
    OptionSpec{"--frames", "N", "quit after frame N (0 to 1000000000)", false, setFrames},
    OptionSpec{"--press", "F:KEY[,F:KEY...]",
               "press KEY (see below, any letter case) just before frame F (from 1)", true,
               addPresses},
    OptionSpec{"--grid", "N", "sample N points along each axis (2 to 256; default 40)", false,
               setGrid},
    OptionSpec{"--volume", "FILE|DIR",
               "show the iso-surface of a volume: .nrrd, .nhdr, .nii, .nii.gz, .hdr,\n"
               "      a DICOM series (its folder or one of its files), or raw\n"
               "      NAME_XxYxZ_TYPE.raw",
               false, setVolume},
    OptionSpec{"--series", "UID", "the DICOM series to read from a folder holding several", false,
               setSeries},
    OptionSpec{"--iso", "VALUE",
               "the volume's start iso value (default: Otsu's threshold of its\n"
               "      histogram, which parts background from the brighter tissue)",
               false, setIso},
    OptionSpec{"--dims", "X,Y,Z", "a raw volume's sizes, instead of its name's", false, setDims},
    OptionSpec{"--type", "T",
               "a raw volume's sample type, instead of its name's (uint8, int8, uint16,\n"
               "      int16, uint32, int32, float32, float64)",
               false, setType},
    OptionSpec{"--screenshot", "FILE.png", "write the last drawn frame as a PNG (not headless)",
               false, setScreenshot},
    OptionSpec{"--export", "FILE", "write the last frame's surface as .obj, .ply or .stl", false,
               setExport},
    OptionSpec{"--export-space", "world|index",
               "a volume's mesh in its file's world coordinates (default), or in\n"
               "      grid steps scaled by the spacings",
               false, setExportSpace},
    OptionSpec{"--cap", "",
               "close the surface where it leaves the grid (a solid); this and the\n"
               "      next four change the mesh shown (from vertex arrays) and exported",
               false, setCap},
    OptionSpec{"--largest", "", "keep only the surface's largest connected piece", false,
               setLargest},
    OptionSpec{"--min-piece", "N", "drop the pieces of fewer than N triangles", false, setMinPiece},
    OptionSpec{"--smooth", "N", "smooth the surface in N rounds that keep its volume (1 to 1000)",
               false, setSmooth},
    OptionSpec{"--simplify", "R", "reduce the surface to a fraction R of its triangles", false,
               setSimplify},
    OptionSpec{"--faces", "decider|table",
               "ambiguous faces decided alike from both sides, so the surface closes\n"
               "      (default), or as the case table has them",
               false, setFaces},
    OptionSpec{"--draw", "immediate|arrays",
               "send the surface cell by cell in immediate mode (default for the\n"
               "      blobs), or the mesh from vertex arrays, kept by GL while it does\n"
               "      not change (default for a volume; faster on fine grids)",
               false, setDraw},
    OptionSpec{"--shading", "flat|smooth",
               "one normal per triangle (default), or the field's gradient at each\n"
               "      vertex (drawn from vertex arrays)",
               false, setShading},
    OptionSpec{"--threads", "N",
               "threads sharing the mesh extraction of --draw arrays and smooth\n"
               "      shading (1 to twice the machine's cores, at least 4, at most 64;\n"
               "      default: the machine's cores)",
               false, setThreads},
    OptionSpec{"--explore", "[CASE]",
               "start in the case explorer at CASE (0 to 255; default 1); with --headless,\n"
               "      print the case's description and triangles and exit",
               false, setExplore},
    OptionSpec{"--timing", "", "print frame times per stage on stderr at quit", false, setTiming},
    OptionSpec{"--quiet", "",
               "no case table listing at start and no statistics at quit (for scripts;\n"
               "      a P listing still prints)",
               false, setQuiet},
    OptionSpec{"--help", "", "print this help and exit", false, setHelp},
    OptionSpec{"--version", "", "print the version and exit", false, setVersion},
};

const OptionSpec* findOption(std::string_view name) {
    const auto found =
        std::ranges::find_if(kOptions, [name](const OptionSpec& o) { return o.name == name; });
    return found == kOptions.end() ? nullptr : &*found;
}

bool checkCombination(const Options& options, std::string& error) {
    if (options.exploreCase && options.headless) {
        const bool others = options.frames || !options.presses.empty() || options.meshExport ||
                            options.timing || !options.volume.path.empty();
        if (others) {
            error =
                "--explore with --headless prints one case; it takes no --frames, --press, "
                "--export, --timing or --volume";
        }
        return !others;
    }
    if (options.headless && !options.frames) {
        error = "--headless needs --frames N, or the run would never end";
        return false;
    }
    if (options.screenshotPath && options.headless) {
        error = "--screenshot needs a window, so it cannot be used with --headless";
        return false;
    }
    if (options.screenshotPath && options.frames == 0) {
        error = "--screenshot needs at least one frame, but --frames is 0";
        return false;
    }
    if (options.processing.any() && options.drawPath == DrawPath::kImmediate) {
        error =
            "--cap, --largest, --min-piece, --smooth and --simplify show the processed mesh, "
            "which is drawn from vertex arrays, not with --draw immediate";
        return false;
    }
    const bool volume = !options.volume.path.empty();
    if (options.gridGiven && volume) {
        error = "--grid cannot be used with --volume: the volume's own sizes are used";
        return false;
    }
    if (!volume &&
        (options.iso || options.volume.sizes || options.volume.type || options.volume.series)) {
        error = "--iso, --dims, --type and --series need --volume FILE";
        return false;
    }
    if (options.exportSpace && !options.meshExport) {
        error = "--export-space needs --export FILE";
        return false;
    }
    for (const ScheduledKey& key : options.presses) {
        if (options.frames && key.frame > *options.frames) {
            error = "--press: frame " + std::to_string(key.frame) +
                    " comes after the last frame (" + std::to_string(*options.frames) + ")";
            return false;
        }
    }
    return true;
}

// Splits "--name=value" and finds the option; takes the value from the next
// argument when the option needs one and has none attached.
bool applyArgument(std::span<const char* const> arguments, size_t& index,
                   std::vector<const OptionSpec*>& seen, Options& options, std::string& error) {
    const std::string_view argument = arguments[index];
    const size_t equals = argument.find('=');
    const std::string_view name = argument.substr(0, equals);
    const OptionSpec* option = argument.starts_with("--") ? findOption(name) : nullptr;
    if (option == nullptr) {
        error = (argument.starts_with("-") ? "unknown option " : "unexpected argument ") +
                quoted(argument);
        return false;
    }
    if (!option->repeatable && std::ranges::find(seen, option) != seen.end()) {
        error = std::string(option->name) + " is given more than once";
        return false;
    }
    seen.push_back(option);
    const bool valueAttached = equals != std::string_view::npos;
    // A value in brackets may be left out: then the next argument is the
    // option's only when it is no option itself.
    const bool valueOptional = option->valueName.starts_with('[');
    if (valueOptional && !valueAttached &&
        (index + 1 >= arguments.size() ||
         std::string_view(arguments[index + 1]).starts_with('-'))) {
        return option->apply({}, options, error);
    }
    if (option->valueName.empty()) {
        if (valueAttached) {
            error = std::string(option->name) + " takes no value";
            return false;
        }
        return option->apply({}, options, error);
    }
    if (!valueAttached && index + 1 >= arguments.size()) {
        error =
            std::string(option->name) + " needs a value (" + std::string(option->valueName) + ")";
        return false;
    }
    const std::string_view value =
        valueAttached ? argument.substr(equals + 1) : std::string_view(arguments[++index]);
    return option->apply(value, options, error);
}

}  // namespace

int32_t defaultThreads() {
    const auto cores = static_cast<int32_t>(std::thread::hardware_concurrency());
    return std::clamp(cores, 1, kMaxThreads);
}

int32_t maxThreads() {
    return std::clamp(2 * defaultThreads(), kMinThreadBound, kMaxThreads);
}

bool parseOptions(std::span<const char* const> arguments, Options& options, std::string& error) {
    std::vector<const OptionSpec*> seen;
    for (size_t index = 0; index < arguments.size(); ++index) {
        if (!applyArgument(arguments, index, seen, options, error)) {
            return false;
        }
    }
    if (options.helpRequested || options.versionRequested) {
        return true;  // asking for help is fine whatever else is wrong
    }
    return checkCombination(options, error);
}

void printUsage(FILE* out) {
    std::fprintf(out, "Usage: %s [options]\n", kProgramName.data());
    std::fprintf(
        out,
        "Shows an animated marching-cubes surface; keys: arrows orbit, PageUp/PageDown "
        "zoom,\nA animation, L lighting, F ambiguous faces (decided or as tabled), "
        "S shading (flat or\nsmooth), P list one frame's triangles, Q/W time, Escape "
        "quits.\nWith --volume: -/+ step the iso value by 1%% of the data's range, "
        "I resets it.\nO shows or hides the overlay. E enters or leaves the case explorer: N/B\n"
        "next/previous case, 0-7 corner in/out, C select corner, -/+ its value,\n"
        "K select ambiguous face, J flip its decision.\nOptions:\n");
    for (const OptionSpec& option : kOptions) {
        std::fprintf(out, "  %s%s%s\n      %s\n", option.name.data(),
                     option.valueName.empty() ? "" : " ", option.valueName.data(),
                     option.help.data());
    }
    std::fprintf(out, "Keys for --press: %s\n", knownKeyNames().c_str());
    std::fflush(out);
}

void printVersion(FILE* out) {
    std::fprintf(out, "%s %s\n", kProgramName.data(), MC_VERSION);
    std::fflush(out);
}
