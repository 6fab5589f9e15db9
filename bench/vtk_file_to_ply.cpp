// VTK's side of the whole-process comparison: reads a volume file, extracts
// its iso-surface with vtkFlyingEdges3D and writes it as a binary PLY, as
//   marching-cubes --headless --frames 1 --volume FILE --iso ISO --export OUT
// does:
//   mc-vtk-file-to-ply FILE ISO OUT.ply THREADS
// FILE is a NRRD file (raw or gzip encoding, one attached data block) or a
// raw file named NAME_XxYxZ_TYPE.raw. vtkNrrdReader reads no gzip, so the
// samples are decoded with zlib straight into the vtkImageData's own array,
// the fastest a VTK program can have them; no sample is copied twice.
#include <vtkFlyingEdges3D.h>
#include <vtkImageData.h>
#include <vtkNew.h>
#include <vtkPLYWriter.h>
#include <zlib.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "vtk_contour.h"

namespace {

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "mc-vtk-file-to-ply: %s\n", why.c_str());
    std::exit(1);
}

struct Layout {
    std::array<int, 3> sizes{};
    std::array<double, 3> spacing{1.0, 1.0, 1.0};
    int vtkType = VTK_UNSIGNED_CHAR;
    size_t sampleSize = 1;
    bool gzip = false;
    long dataOffset = 0;
};

void setType(const std::string& name, Layout& layout) {
    static const std::map<std::string, std::pair<int, size_t>> kTypes = {
        {"uchar", {VTK_UNSIGNED_CHAR, 1}},   {"unsigned char", {VTK_UNSIGNED_CHAR, 1}},
        {"uint8", {VTK_UNSIGNED_CHAR, 1}},   {"uint8_t", {VTK_UNSIGNED_CHAR, 1}},
        {"ushort", {VTK_UNSIGNED_SHORT, 2}}, {"unsigned short", {VTK_UNSIGNED_SHORT, 2}},
        {"uint16", {VTK_UNSIGNED_SHORT, 2}}, {"short", {VTK_SHORT, 2}},
        {"int16", {VTK_SHORT, 2}},           {"float", {VTK_FLOAT, 4}},
        {"float32", {VTK_FLOAT, 4}}};
    const auto found = kTypes.find(name);
    if (found == kTypes.end()) {
        fail("sample type " + name + " is not handled here");
    }
    layout.vtkType = found->second.first;
    layout.sampleSize = found->second.second;
}

// The few header fields the benchmark's files use; host byte order assumed.
Layout readNrrdHeader(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    Layout layout;
    std::string line;
    std::getline(file, line);
    if (line.rfind("NRRD", 0) != 0) {
        fail(path + " is not NRRD");
    }
    while (std::getline(file, line) && !line.empty()) {
        const size_t colon = line.find(": ");
        if (line[0] == '#' || colon == std::string::npos) {
            continue;
        }
        const std::string key = line.substr(0, colon);
        std::istringstream value(line.substr(colon + 2));
        if (key == "type") {
            setType(value.str(), layout);
        } else if (key == "dimension" && value.str() != "3") {
            fail("not three axes");
        } else if (key == "sizes") {
            value >> layout.sizes[0] >> layout.sizes[1] >> layout.sizes[2];
        } else if (key == "spacings") {
            value >> layout.spacing[0] >> layout.spacing[1] >> layout.spacing[2];
        } else if (key == "encoding") {
            layout.gzip = value.str() == "gzip" || value.str() == "gz";
        } else if (key == "data file" || key == "datafile") {
            fail("detached data are not handled here");
        }
    }
    layout.dataOffset = static_cast<long>(file.tellg());
    return layout;
}

Layout rawLayout(const std::string& path) {
    const std::string name = path.substr(path.find_last_of('/') + 1);
    const size_t typeStart = name.find_last_of('_');
    const size_t shapeStart = name.find_last_of('_', typeStart - 1);
    Layout layout;
    if (std::sscanf(name.c_str() + shapeStart + 1, "%dx%dx%d", &layout.sizes[0], &layout.sizes[1],
                    &layout.sizes[2]) != 3) {
        fail(path + " is not named NAME_XxYxZ_TYPE.raw");
    }
    setType(name.substr(typeStart + 1, name.size() - typeStart - 1 - std::strlen(".raw")), layout);
    return layout;
}

void readSamples(const std::string& path, const Layout& layout, void* into, size_t bytes) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr || std::fseek(file, layout.dataOffset, SEEK_SET) != 0) {
        fail("cannot open " + path);
    }
    if (!layout.gzip) {
        if (std::fread(into, 1, bytes, file) != bytes) {
            fail("cannot read " + path);
        }
        std::fclose(file);
        return;
    }
    gzFile gz = gzdopen(fileno(file), "rb");
    auto* out = static_cast<char*>(into);
    constexpr size_t kChunk = size_t{1} << 30;  // gzread counts in unsigned int
    for (size_t done = 0; done < bytes;) {
        const auto want = static_cast<unsigned>(std::min(kChunk, bytes - done));
        const int got = gzread(gz, out + done, want);
        if (got <= 0) {
            fail("cannot decode " + path);
        }
        done += static_cast<size_t>(got);
    }
    gzclose(gz);  // closes the descriptor too
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: mc-vtk-file-to-ply FILE ISO OUT.ply THREADS\n");
        return 2;
    }
    const std::string path = argv[1];
    useVtkThreads(std::atoi(argv[4]));
    const bool nrrd = path.size() > 5 && path.compare(path.size() - 5, 5, ".nrrd") == 0;
    const Layout layout = nrrd ? readNrrdHeader(path) : rawLayout(path);

    vtkNew<vtkImageData> image;
    image->SetDimensions(layout.sizes.data());
    image->SetSpacing(layout.spacing.data());
    image->AllocateScalars(layout.vtkType, 1);
    const size_t bytes =
        size_t(layout.sizes[0]) * layout.sizes[1] * layout.sizes[2] * layout.sampleSize;
    readSamples(path, layout, image->GetScalarPointer(), bytes);

    vtkNew<vtkFlyingEdges3D> surface;
    surface->SetInputData(image);
    surface->SetValue(0, std::atof(argv[2]));
    surface->ComputeNormalsOff();
    surface->ComputeGradientsOff();
    surface->ComputeScalarsOff();

    vtkNew<vtkPLYWriter> writer;
    writer->SetInputConnection(surface->GetOutputPort());
    writer->SetFileName(argv[3]);
    writer->SetFileTypeToBinary();
    writer->SetDataByteOrderToLittleEndian();
    return writer->Write() == 1 ? 0 : 1;
}
