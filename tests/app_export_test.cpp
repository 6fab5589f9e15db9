#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "app/globals.h"
#include "app/mesh.h"
#include "app/mesh_export.h"
#include "app/safe_file.h"
#include "app_animated_field.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

// A position compared coordinate by coordinate, as floats compare.
using Point = std::array<float, 3>;

Point pointOf(const Vec3& v) {
    return {v.x, v.y, v.z};
}

std::vector<Point> pointsOf(std::span<const Vec3> corners) {
    std::vector<Point> points;
    std::ranges::transform(corners, std::back_inserter(points), pointOf);
    return points;
}

// The corners of every face in winding order: three per face.
std::vector<Point> faceCorners(const IndexedMesh& mesh) {
    std::vector<Point> corners;
    for (const auto& face : mesh.faces) {
        for (int32_t index : face) {
            corners.push_back(pointOf(mesh.positions[index]));
        }
    }
    return corners;
}

TEST(WeldTriangles, KeepsEveryFaceAndMergesOnlyExactlyEqualPositions) {
    const float oneStepAbove1 = std::nextafter(1.0f, 2.0f);
    const std::vector<Vec3> soup = {
        {0, 0, 0},
        {1, 0, 0},
        {0, 1, 0},  // first triangle
        {1, 0, 0},
        {0, -0.0f, 0},
        {0, 0, 1},  // -0.0 is 0.0
        {oneStepAbove1, 0, 0},
        {0, 1, 0},
        {0, 1, 0},  // one float step away; degenerate
        {7, 7, 7},  // a stray corner, no triangle
    };
    const IndexedMesh mesh = weldTriangles(soup);
    EXPECT_EQ(mesh.faces, (std::vector<std::array<int32_t, 3>>{{0, 1, 2}, {1, 0, 3}, {4, 2, 2}}));
    EXPECT_EQ(mesh.positions.size(), 5u);
    EXPECT_EQ(faceCorners(mesh), pointsOf(std::span(soup).first(soup.size() - 1)))
        << "welding moved a corner";
}

// --- What the table guarantees, on the animated field ---

// A face of the cell with its two diagonals each joining corners of one side,
// the sides differing: the table may join its crossings either way.
bool hasAmbiguousFace(uint32_t caseIndex) {
    const auto set = [caseIndex](int32_t corner) { return ((caseIndex >> corner) & 1u) != 0; };
    for (int32_t axis = 0; axis < kAxisCount; ++axis) {
        const int32_t u = 1 << ((axis + 1) % kAxisCount);
        const int32_t v = 1 << ((axis + 2) % kAxisCount);
        for (int32_t side : {0, 1 << axis}) {
            if (set(side) == set(side | u | v) && set(side | u) == set(side | v) &&
                set(side) != set(side | u)) {
                return true;
            }
        }
    }
    return false;
}

// Whether a cell whose closed box holds `point` has an ambiguous face.
bool nearAmbiguousCell(const ScalarGrid& grid, const Vec3& point) {
    const float p[kAxisCount] = {point.x, point.y, point.z};
    int32_t low[kAxisCount];
    int32_t high[kAxisCount];
    for (int32_t axis = 0; axis < kAxisCount; ++axis) {
        low[axis] = std::max(0, static_cast<int32_t>(std::ceil(p[axis])) - 1);
        high[axis] = std::min(grid.nx - 2, static_cast<int32_t>(std::floor(p[axis])));
    }
    float values[kCellCorners];
    for (int32_t x = low[0]; x <= high[0]; ++x) {
        for (int32_t y = low[1]; y <= high[1]; ++y) {
            for (int32_t z = low[2]; z <= high[2]; ++z) {
                readCellCorners(grid, x, y, z, values);
                if (hasAmbiguousFace(CubeMarcher::caseIndexOf(values))) {
                    return true;
                }
            }
        }
    }
    return false;
}

bool onOuterFace(const Vec3& a, const Vec3& b) {
    const float last = kGridSize - 1;
    const auto same = [](float p, float q, float plane) { return p == plane && q == plane; };
    return same(a.x, b.x, 0) || same(a.x, b.x, last) || same(a.y, b.y, 0) || same(a.y, b.y, last) ||
           same(a.z, b.z, 0) || same(a.z, b.z, last);
}

TEST(SurfaceMesh, IsClosedAndConsistentlyOrientedAwayFromAmbiguousCellsAndTheGridBorder) {
    constexpr int kFramesChecked = 60;
    constexpr int kFrameStride = 5;  // frames 1, 6, 11, ...: the blobs move well apart
    CubeMarcher marcher;
    CapturedFile scratch;
    marcher.initialiseCubeMarcher(scratch.get());
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(kGridSize, kGridSize, kGridSize));
    int64_t edgesChecked = 0;
    for (int frame = 1; frame <= kFramesChecked * kFrameStride; frame += kFrameStride) {
        SCOPED_TRACE("frame " + std::to_string(frame));
        updateMetaballField(grid, clockAfterFrames(frame));
        const IndexedMesh mesh = extractSurfaceMesh(marcher, grid);
        // Per undirected edge (low, high): faces running low to high and high to low.
        std::map<std::pair<int32_t, int32_t>, std::pair<int32_t, int32_t>> edges;
        for (const auto& face : mesh.faces) {
            for (int32_t c = 0; c < 3; ++c) {
                const int32_t from = face[c];
                const int32_t to = face[(c + 1) % 3];
                ASSERT_NE(from, to) << "degenerate face";
                auto& [forward, backward] = edges[{std::min(from, to), std::max(from, to)}];
                (from < to ? forward : backward) += 1;
            }
        }
        for (const auto& [edge, uses] : edges) {
            const Vec3& a = mesh.positions[edge.first];
            const Vec3& b = mesh.positions[edge.second];
            const Vec3 middle = {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2};
            if (onOuterFace(a, b) || nearAmbiguousCell(grid, middle)) {
                continue;
            }
            ++edgesChecked;
            ASSERT_EQ(uses, std::make_pair(1, 1)) << "edge " << edge.first << "-" << edge.second
                                                  << ": faces along it one way, the other way";
        }
    }
    EXPECT_GT(edgesChecked, 100'000);  // the check saw real surfaces
}

// --- Writers ---

// Two triangles sharing an edge, with coordinates that need all nine digits.
IndexedMesh twoTriangles() {
    return {.positions = {{0.1f, 0, 0}, {1, 0, 0}, {0, 1.0f / 3.0f, 0}, {1, 1, -2.5f}},
            .faces = {{0, 1, 2}, {1, 3, 2}}};
}

std::string writtenBy(const IndexedMesh& mesh, MeshFormat format) {
    CapturedFile file;
    EXPECT_TRUE(writeMesh(mesh, format, file.get()));
    return file.text();
}

template <class T>
T littleEndianAt(const std::string& bytes, size_t at) {
    static_assert(std::endian::native == std::endian::little, "read as the file lays it out");
    T value;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

Point pointAt(const std::string& bytes, size_t at) {
    return {littleEndianAt<float>(bytes, at), littleEndianAt<float>(bytes, at + 4),
            littleEndianAt<float>(bytes, at + 8)};
}

// The face corners a reader of each format finds in `bytes`.
std::vector<Point> readBack(const std::string& bytes, MeshFormat format) {
    constexpr size_t kPointBytes = 12;
    std::vector<Point> positions;
    std::vector<Point> corners;
    const auto addFace = [&](int32_t a, int32_t b, int32_t c) {
        for (int32_t i : {a, b, c}) {
            corners.push_back(positions.at(i));
        }
    };
    if (format == MeshFormat::kObj) {
        for (const std::string& line : linesOf(bytes)) {
            Point p;
            int32_t f[3];
            if (std::sscanf(line.c_str(), "v %f %f %f", &p[0], &p[1], &p[2]) == 3) {
                positions.push_back(p);
            } else if (std::sscanf(line.c_str(), "f %d %d %d", &f[0], &f[1], &f[2]) == 3) {
                addFace(f[0] - 1, f[1] - 1, f[2] - 1);
            }
        }
    } else if (format == MeshFormat::kPly) {
        size_t vertices = 0;
        size_t faces = 0;
        std::sscanf(bytes.c_str() + bytes.find("element vertex"), "element vertex %zu", &vertices);
        std::sscanf(bytes.c_str() + bytes.find("element face"), "element face %zu", &faces);
        size_t at = bytes.find("end_header\n") + std::strlen("end_header\n");
        for (; positions.size() < vertices; at += kPointBytes) {
            positions.push_back(pointAt(bytes, at));
        }
        for (size_t f = 0; f < faces; ++f, at += 1 + 3 * sizeof(int32_t)) {
            EXPECT_EQ(bytes[at], 3) << "face " << f << " is no triangle";
            addFace(littleEndianAt<int32_t>(bytes, at + 1), littleEndianAt<int32_t>(bytes, at + 5),
                    littleEndianAt<int32_t>(bytes, at + 9));
        }
    } else {
        constexpr size_t kHeader = 80;
        constexpr size_t kFaceBytes = 50;  // normal, three corners, a uint16
        const auto faces = littleEndianAt<uint32_t>(bytes, kHeader);
        for (size_t f = 0; f < faces; ++f) {
            for (size_t c = 1; c <= 3; ++c) {
                corners.push_back(pointAt(bytes, kHeader + 4 + f * kFaceBytes + c * kPointBytes));
            }
        }
    }
    return corners;
}

TEST(WriteMesh, EveryFormatReadsBackToTheSameFacesFloatForFloatInWindingOrder) {
    for (MeshFormat format : {MeshFormat::kObj, MeshFormat::kPly, MeshFormat::kStl}) {
        SCOPED_TRACE(static_cast<int>(format));
        EXPECT_EQ(readBack(writtenBy(twoTriangles(), format), format), faceCorners(twoTriangles()));
    }
    EXPECT_TRUE(writtenBy(twoTriangles(), MeshFormat::kPly)
                    .starts_with("ply\nformat binary_little_endian 1.0\n"));
    const std::string stl = writtenBy(twoTriangles(), MeshFormat::kStl);
    EXPECT_FALSE(stl.starts_with("solid"));             // or readers take it for text STL
    EXPECT_EQ(pointAt(stl, 80 + 4), (Point{0, 0, 1}));  // face 0's unit normal, by its winding
}

TEST(WriteMesh, ReportsAFullDisk) {
    FILE* full = std::fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    for (MeshFormat format : {MeshFormat::kObj, MeshFormat::kPly, MeshFormat::kStl}) {
        EXPECT_FALSE(writeMesh(twoTriangles(), format, full));
        std::clearerr(full);
    }
    std::fclose(full);
}

// --- Writing files safely ---

class SafeFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/mc-safe-file-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        directory_ = name;
    }
    void TearDown() override { fs::remove_all(directory_); }

    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(directory_)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }
    bool writeHello(const fs::path& target) {
        return writeFileSafely(
            target, [](FILE* file) { return std::fputs("hello\n", file) >= 0; }, error_);
    }

    fs::path directory_;
    std::string error_;
};

TEST_F(SafeFileTest, AFailedWriteLeavesTheOldFileWholeAndNoTemporary) {
    const fs::path target = directory_ / "shot.png";
    ASSERT_TRUE(writeHello(target)) << error_;
    EXPECT_NE(fs::status(target).permissions() & fs::perms::others_read, fs::perms::none)
        << "readable by others, as any plainly written file";
    const auto halfWritten = [](FILE* file) {
        std::fputs("partial", file);
        return false;
    };
    EXPECT_FALSE(writeFileSafely(target, halfWritten, error_));
    EXPECT_NE(error_.find("cannot write " + target.string() + ": "), std::string::npos) << error_;
    std::ifstream file(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "hello\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"shot.png"});
}

TEST_F(SafeFileTest, ARefusedRenameRemovesTheTemporary) {
    fs::create_directory(directory_ / "taken.stl");
    EXPECT_FALSE(writeHello(directory_ / "taken.stl"));
    EXPECT_NE(error_.find("Is a directory"), std::string::npos) << error_;
    EXPECT_EQ(entries(), std::vector<std::string>{"taken.stl"});
}

}  // namespace
