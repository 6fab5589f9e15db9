#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/globals.h"
#include "app/mesh.h"
#include "app/mesh_export.h"
#include "app/safe_file.h"
#include "field/metaball_field.h"

namespace {

namespace fs = std::filesystem;

const CubeMarcher& generatedMarcher() {
    static const CubeMarcher marcher = [] {
        CubeMarcher m;
        FILE* listing = std::tmpfile();
        m.initialiseCubeMarcher(listing);
        std::fclose(listing);
        return m;
    }();
    return marcher;
}

float clockAfter(int frames) {
    float time = 0.0f;
    for (int i = 0; i < frames; ++i) {
        time = static_cast<float>(time + 0.2);
    }
    return time;
}

// --- Welding ---

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
    ASSERT_EQ(mesh.faces.size(), 3u);
    EXPECT_EQ(mesh.faces[0], (std::array<int32_t, 3>{0, 1, 2}));
    EXPECT_EQ(mesh.faces[1], (std::array<int32_t, 3>{1, 0, 3}));
    EXPECT_EQ(mesh.faces[2], (std::array<int32_t, 3>{4, 2, 2}));
    ASSERT_EQ(mesh.positions.size(), 5u);
    EXPECT_EQ(mesh.positions[4].x, oneStepAbove1);
    // Every corner still sits where it was: welding moved nothing.
    for (size_t t = 0; t < mesh.faces.size(); ++t) {
        for (size_t c = 0; c < 3; ++c) {
            const Vec3& welded = mesh.positions[mesh.faces[t][c]];
            const Vec3& original = soup[3 * t + c];
            EXPECT_EQ(welded.x, original.x);
            EXPECT_EQ(welded.y, original.y);
            EXPECT_EQ(welded.z, original.z);
        }
    }
}

// --- What the table guarantees, on the animated field ---

// Corners of each face of the cube in cyclic order; bit k of a corner index
// is its coordinate along axis k.
std::vector<std::array<int32_t, 4>> cubeFaces() {
    std::vector<std::array<int32_t, 4>> faces;
    for (int32_t axis = 0; axis < kAxisCount; ++axis) {
        const int32_t u = 1 << ((axis + 1) % kAxisCount);
        const int32_t v = 1 << ((axis + 2) % kAxisCount);
        for (int32_t side : {0, 1 << axis}) {
            faces.push_back({side, side | u, side | u | v, side | v});
        }
    }
    return faces;
}

// A face whose two diagonals each join corners of one side, the sides
// differing: the table may join its crossings either way.
bool hasAmbiguousFace(uint32_t caseIndex) {
    static const std::vector<std::array<int32_t, 4>> faces = cubeFaces();
    const auto set = [caseIndex](int32_t corner) { return ((caseIndex >> corner) & 1u) != 0; };
    for (const auto& f : faces) {
        if (set(f[0]) == set(f[2]) && set(f[1]) == set(f[3]) && set(f[0]) != set(f[1])) {
            return true;
        }
    }
    return false;
}

struct TaggedSoup {
    std::vector<Vec3> corners;            // three per triangle
    std::vector<bool> fromAmbiguousCell;  // one per triangle
    int64_t ambiguousCells = 0;
};

// Every crossing cell of the field at `time`, polygonised through the table.
TaggedSoup polygoniseField(float time, CubeMarcher& marcher) {
    ScalarGrid grid;
    grid.allocate(kGridSize, kGridSize, kGridSize);
    updateMetaballField(grid, time);
    TaggedSoup soup;
    for (int32_t x = 0; x + 1 < grid.nx; ++x) {
        for (int32_t y = 0; y + 1 < grid.ny; ++y) {
            for (int32_t z = 0; z + 1 < grid.nz; ++z) {
                float values[kCornerCount];
                bool below = false;
                bool above = false;
                for (int32_t c = 0; c < kCornerCount; ++c) {
                    grid.readSample(x + (c & 1), y + ((c >> 1) & 1), z + ((c >> 2) & 1), values[c]);
                    below = below || values[c] < 0.0f;
                    above = above || values[c] > 0.0f;
                }
                if (!(below && above)) {
                    continue;
                }
                const bool ambiguous = hasAmbiguousFace(CubeMarcher::caseIndexOf(values));
                soup.ambiguousCells += ambiguous ? 1 : 0;
                marcher.setCornerValues(values);
                float triangles[kMaxTrianglesPerCell * kFloatsPerTriangle];
                const int32_t count = marcher.polygoniseCell(triangles);
                for (int32_t i = 0; i < count * 3; ++i) {
                    const float* p = triangles + 3 * i;
                    soup.corners.push_back({x + p[0], y + p[1], z + p[2]});
                }
                soup.fromAmbiguousCell.insert(soup.fromAmbiguousCell.end(), count, ambiguous);
            }
        }
    }
    return soup;
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
    CubeMarcher marcher = generatedMarcher();
    int64_t edgesChecked = 0;
    for (int frame = 1; frame <= kFramesChecked * kFrameStride; frame += kFrameStride) {
        SCOPED_TRACE("frame " + std::to_string(frame));
        const TaggedSoup soup = polygoniseField(clockAfter(frame), marcher);
        const IndexedMesh mesh = weldTriangles(soup.corners);
        ASSERT_EQ(mesh.faces.size(), soup.fromAmbiguousCell.size());
        // Per undirected edge (low, high): faces running low to high, high to
        // low, and whether an ambiguous cell's face uses it.
        struct EdgeUse {
            int32_t forward = 0;
            int32_t backward = 0;
            bool ambiguous = false;
        };
        std::map<std::pair<int32_t, int32_t>, EdgeUse> edges;
        for (size_t f = 0; f < mesh.faces.size(); ++f) {
            for (int32_t c = 0; c < 3; ++c) {
                const int32_t from = mesh.faces[f][c];
                const int32_t to = mesh.faces[f][(c + 1) % 3];
                ASSERT_NE(from, to) << "degenerate face " << f;
                EdgeUse& use = edges[{std::min(from, to), std::max(from, to)}];
                (from < to ? use.forward : use.backward) += 1;
                use.ambiguous = use.ambiguous || soup.fromAmbiguousCell[f];
            }
        }
        for (const auto& [edge, use] : edges) {
            if (use.ambiguous ||
                onOuterFace(mesh.positions[edge.first], mesh.positions[edge.second])) {
                continue;
            }
            ++edgesChecked;
            ASSERT_TRUE(use.forward == 1 && use.backward == 1)
                << "edge " << edge.first << "-" << edge.second << " is used " << use.forward
                << " times one way and " << use.backward << " times the other";
        }
    }
    EXPECT_GT(edgesChecked, 100'000);  // the check saw real surfaces
}

// --- Extraction for export ---

TEST(ExtractSurfaceMesh, HoldsTheDrawnTrianglesAndLeavesTheUsageCountsAlone) {
    ScalarGrid grid;
    grid.allocate(kGridSize, kGridSize, kGridSize);
    updateMetaballField(grid, clockAfter(3));
    CubeMarcher marcher = generatedMarcher();
    marcher.usageCount[1] = 5;
    const IndexedMesh mesh = extractSurfaceMesh(marcher, grid);
    CubeMarcher reference = generatedMarcher();
    TaggedSoup soup = polygoniseField(clockAfter(3), reference);
    EXPECT_EQ(mesh.faces.size(), soup.fromAmbiguousCell.size());
    EXPECT_EQ(mesh.positions.size(), weldTriangles(soup.corners).positions.size());
    EXPECT_EQ(marcher.usageCount[1], 5);
    EXPECT_EQ(std::memcmp(marcher.usageCount, generatedMarcher().usageCount, sizeof(int32_t)), 0)
        << "only the count set above differs";

    ScalarGrid empty;
    EXPECT_TRUE(extractSurfaceMesh(marcher, empty).faces.empty());
}

// --- Writers ---

// Two triangles sharing an edge, with coordinates that need all nine digits.
IndexedMesh twoTriangles() {
    IndexedMesh mesh;
    mesh.positions = {{0.1f, 0, 0}, {1, 0, 0}, {0, 1.0f / 3.0f, 0}, {1, 1, -2.5f}};
    mesh.faces = {{0, 1, 2}, {1, 3, 2}};
    return mesh;
}

std::string writtenBy(const IndexedMesh& mesh, MeshFormat format) {
    FILE* file = std::tmpfile();
    EXPECT_TRUE(writeMesh(mesh, format, file));
    std::rewind(file);
    std::string bytes;
    for (int c; (c = std::fgetc(file)) != EOF;) {
        bytes.push_back(static_cast<char>(c));
    }
    std::fclose(file);
    return bytes;
}

uint32_t littleEndianAt(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        value |= uint32_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
    }
    return value;
}

float floatAt(const std::string& bytes, size_t at) {
    return std::bit_cast<float>(littleEndianAt(bytes, at));
}

TEST(WriteMesh, ObjReadsBackToTheSameFloatsAndOneBasedFaces) {
    const std::string text = writtenBy(twoTriangles(), MeshFormat::kObj);
    std::vector<Vec3> positions;
    std::vector<std::array<int, 3>> faces;
    FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    char line[256];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        Vec3 p;
        std::array<int, 3> f{};
        if (std::sscanf(line, "v %f %f %f", &p.x, &p.y, &p.z) == 3) {
            positions.push_back(p);
        } else if (std::sscanf(line, "f %d %d %d", &f[0], &f[1], &f[2]) == 3) {
            faces.push_back(f);
        }
    }
    std::fclose(file);
    const IndexedMesh mesh = twoTriangles();
    ASSERT_EQ(positions.size(), mesh.positions.size());
    for (size_t i = 0; i < positions.size(); ++i) {
        EXPECT_EQ(positions[i].x, mesh.positions[i].x);
        EXPECT_EQ(positions[i].y, mesh.positions[i].y);
        EXPECT_EQ(positions[i].z, mesh.positions[i].z);
    }
    EXPECT_EQ(faces, (std::vector<std::array<int, 3>>{{1, 2, 3}, {2, 4, 3}}));
}

TEST(WriteMesh, PlyIsBinaryLittleEndianWithTheDeclaredElements) {
    const std::string bytes = writtenBy(twoTriangles(), MeshFormat::kPly);
    const std::string endHeader = "end_header\n";
    const size_t body = bytes.find(endHeader) + endHeader.size();
    const std::string header = bytes.substr(0, body);
    EXPECT_TRUE(header.starts_with("ply\nformat binary_little_endian 1.0\n"));
    EXPECT_NE(header.find("element vertex 4\n"), std::string::npos);
    EXPECT_NE(header.find("element face 2\nproperty list uchar int vertex_indices\n"),
              std::string::npos);
    ASSERT_EQ(bytes.size(), body + 4 * 12 + 2 * 13);
    EXPECT_EQ(floatAt(bytes, body), 0.1f);
    EXPECT_EQ(floatAt(bytes, body + 3 * 12 + 8), -2.5f);
    const size_t secondFace = body + 4 * 12 + 13;
    EXPECT_EQ(bytes[secondFace], 3);
    EXPECT_EQ(littleEndianAt(bytes, secondFace + 1), 1u);
    EXPECT_EQ(littleEndianAt(bytes, secondFace + 5), 3u);
    EXPECT_EQ(littleEndianAt(bytes, secondFace + 9), 2u);
}

TEST(WriteMesh, StlHasTheFaceCountUnitNormalsAndCornersInWindingOrder) {
    const std::string bytes = writtenBy(twoTriangles(), MeshFormat::kStl);
    constexpr size_t kHeader = 80;
    constexpr size_t kFaceBytes = 50;
    ASSERT_EQ(bytes.size(), kHeader + 4 + 2 * kFaceBytes);
    EXPECT_FALSE(bytes.starts_with("solid"));  // or readers take it for text STL
    EXPECT_EQ(littleEndianAt(bytes, kHeader), 2u);
    const size_t first = kHeader + 4;
    // Face 0 lies in z = 0, wound counter-clockwise seen from +z.
    EXPECT_EQ(floatAt(bytes, first), 0.0f);
    EXPECT_EQ(floatAt(bytes, first + 4), 0.0f);
    EXPECT_EQ(floatAt(bytes, first + 8), 1.0f);
    EXPECT_EQ(floatAt(bytes, first + 12), 0.1f);                  // corner 0, x
    EXPECT_EQ(floatAt(bytes, first + 12 + 24 + 4), 1.0f / 3.0f);  // corner 2, y
}

TEST(WriteMesh, ReportsAFullDisk) {
    FILE* full = std::fopen("/dev/full", "wb");
    if (full == nullptr) {
        GTEST_SKIP() << "no /dev/full here";
    }
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
    void TearDown() override {
        fs::permissions(directory_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(directory_);
    }

    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(directory_)) {
            names.push_back(entry.path().filename().string());
        }
        std::ranges::sort(names);
        return names;
    }

    static bool writeHello(FILE* file) { return std::fputs("hello\n", file) >= 0; }

    fs::path directory_;
};

std::string contentsOf(const fs::path& path) {
    std::string text;
    FILE* file = std::fopen(path.c_str(), "rb");
    for (int c; file != nullptr && (c = std::fgetc(file)) != EOF;) {
        text.push_back(static_cast<char>(c));
    }
    if (file != nullptr) {
        std::fclose(file);
    }
    return text;
}

TEST_F(SafeFileTest, WritesTheWholeFileAndLeavesNothingElse) {
    std::string error;
    const fs::path target = directory_ / "mesh.obj";
    ASSERT_TRUE(writeFileSafely(target, writeHello, error)) << error;
    EXPECT_EQ(contentsOf(target), "hello\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"mesh.obj"});
    // Readable by others, as any plainly written file.
    EXPECT_NE(fs::status(target).permissions() & fs::perms::others_read, fs::perms::none);
}

TEST_F(SafeFileTest, AFailedWriteLeavesTheOldFileAndNoTemporary) {
    const fs::path target = directory_ / "shot.png";
    std::string error;
    ASSERT_TRUE(writeFileSafely(target, writeHello, error));
    const auto halfWritten = [](FILE* file) {
        std::fputs("partial", file);
        return false;
    };
    EXPECT_FALSE(writeFileSafely(target, halfWritten, error));
    EXPECT_EQ(contentsOf(target), "hello\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"shot.png"});
    EXPECT_NE(error.find(target.string()), std::string::npos) << error;
}

TEST_F(SafeFileTest, AMissingDirectoryIsReportedInOneLine) {
    std::string error;
    const fs::path target = directory_ / "missing" / "mesh.ply";
    EXPECT_FALSE(writeFileSafely(target, writeHello, error));
    EXPECT_EQ(error, "cannot write " + target.string() + ": No such file or directory");
    EXPECT_TRUE(entries().empty());
}

TEST_F(SafeFileTest, ARefusedRenameRemovesTheTemporary) {
    fs::create_directory(directory_ / "taken.stl");
    std::string error;
    EXPECT_FALSE(writeFileSafely(directory_ / "taken.stl", writeHello, error));
    EXPECT_NE(error.find("Is a directory"), std::string::npos) << error;
    EXPECT_EQ(entries(), std::vector<std::string>{"taken.stl"});
}

TEST_F(SafeFileTest, ADirectoryWithoutWritePermissionIsReported) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root writes anywhere; the end-to-end test drops to another user";
    }
    fs::permissions(directory_, fs::perms::owner_read | fs::perms::owner_exec);
    std::string error;
    EXPECT_FALSE(writeFileSafely(directory_ / "mesh.obj", writeHello, error));
    EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
}

}  // namespace
