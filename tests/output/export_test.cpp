#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "output/mesh_export.h"
#include "output/safe_file.h"
#include "process/mesh_measure.h"
#include "test_support.h"

#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

// --- Writers ---

// Two triangles sharing an edge, with coordinates that need all nine digits.
const SurfaceMesh kTwoTriangles = {
    .positions = {{0.1f, 0, 0}, {1, 0, 0}, {0, 1.0f / 3.0f, 0}, {1, 1, -2.5f}},
    .triangles = {{0, 1, 2}, {1, 3, 2}},
    .normals = {}};

// Byte for byte as the golden files, which assimp reads (tests/e2e/export_test.sh
// reads whole frames): winding, byte order, the STL's unit normals and a
// header that does not start with "solid", or readers take it for text STL.
// A full disk fails the write.
TEST(WriteMesh, WritesEveryFormatAsTheGoldenFileAndReportsAFullDisk) {
    FILE* full = std::fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    for (const auto& [format, name] : {std::pair{MeshFormat::kObj, "two_triangles.obj"},
                                       {MeshFormat::kPly, "two_triangles.ply"},
                                       {MeshFormat::kStl, "two_triangles.stl"}}) {
        CapturedFile file;
        EXPECT_TRUE(writeMesh(kTwoTriangles, format, file.get()));
        EXPECT_EQ(file.text(), golden(std::string("output/") + name, file.text())) << name;
        EXPECT_FALSE(writeMesh(kTwoTriangles, format, full)) << name;
        std::clearerr(full);
    }
    std::fclose(full);
}

// --- World coordinates ---

// A tetrahedron wound outwards, each face with corners of its own carrying
// the face's normal: mapped through random transforms (half of them
// mirrors), the volume scales by |determinant| and stays positive, each
// normal stays at right angles to its mapped face on the outer side. Where
// the positions land (origin included) the world-frames script checks
// against each file's header.
TEST(MapToWorld, KeepsVolumesPositiveAndNormalsOutwardUnderAnyTransform) {
    const Vec3 corners[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const int32_t faces[4][3] = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
    SurfaceMesh tetrahedron;
    for (const auto& face : faces) {
        const Vec3 normal = triangleNormal(corners[face[0]], corners[face[1]], corners[face[2]]);
        const auto first = static_cast<int32_t>(tetrahedron.positions.size());
        for (const int32_t corner : face) {
            tetrahedron.positions.push_back(corners[corner]);
            tetrahedron.normals.push_back(normal);
        }
        tetrahedron.triangles.push_back({first, first + 1, first + 2});
    }
    std::mt19937_64 random(22);
    std::uniform_real_distribution<double> entry(-3.0, 3.0);
    for (int round = 0; round < 200; ++round) {
        IndexToWorld toWorld;
        for (auto& axis : toWorld.axes) {
            for (double& value : axis) {
                value = entry(random);
            }
        }
        toWorld.origin = {entry(random) * 5, entry(random) * 5, entry(random) * 5};
        if (std::fabs(toWorld.determinant()) < 0.1) {
            continue;
        }
        SurfaceMesh mesh = tetrahedron;
        mapToWorld(mesh, toWorld);
        const double volume = std::fabs(toWorld.determinant()) / 6.0;
        EXPECT_NEAR(measureMesh(mesh).volume, volume, 1e-4 * std::max(1.0, volume)) << round;
        for (const auto& t : mesh.triangles) {
            const Vec3 face =
                triangleNormal(mesh.positions[t[0]], mesh.positions[t[1]], mesh.positions[t[2]]);
            const Vec3 normal = mesh.normals[t[0]];
            const Vec3 across = cross(face, normal);
            const double scale = std::sqrt(dot(face, face) * dot(normal, normal));
            EXPECT_GT(dot(face, normal), 0.0f) << round;
            EXPECT_LT(std::sqrt(dot(across, across)), 1e-4 * scale) << round;
        }
    }
}

// --- Writing files safely ---

std::string contentsOf(const fs::path& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

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
    EXPECT_EQ(contentsOf(target), "hello\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"shot.png"});
}

// A replaced file keeps who may read it; a link is replaced, not followed.
TEST_F(SafeFileTest, AReplacedFileKeepsItsPermissionsAndALinkItsTarget) {
    const fs::path privateFile = directory_ / "private.obj";
    ASSERT_TRUE(writeHello(privateFile)) << error_;
    fs::permissions(privateFile, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(writeHello(privateFile)) << error_;
    EXPECT_EQ(fs::status(privateFile).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);

    std::ofstream(directory_ / "elsewhere.obj") << "old";
    fs::create_symlink("elsewhere.obj", directory_ / "link.obj");
    ASSERT_TRUE(writeHello(directory_ / "link.obj")) << error_;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(directory_ / "link.obj")));
    EXPECT_EQ(contentsOf(directory_ / "elsewhere.obj"), "old");
}

// The temporary file's name must fit where the target's does.
TEST_F(SafeFileTest, WritesEveryNameLengthUpToTheLimit) {
    for (size_t length : {1, 200, 240, 254, 255}) {
        const std::string name = std::string(length - 1, 'n') + "x";
        ASSERT_TRUE(writeHello(directory_ / name)) << length << ": " << error_;
        EXPECT_EQ(entries(), std::vector<std::string>{name});
        fs::remove(directory_ / name);
    }
}

// What cannot be written is named on one line and left alone: no such
// folder, no regular file, no memory.
TEST_F(SafeFileTest, RefusesWhatItCannotWriteNamingTheFileOnOneLine) {
    EXPECT_FALSE(writeHello(directory_ / "no\nsuch/a\tb.obj"));
    EXPECT_EQ(error_, "cannot write " + directory_.string() +
                          "/no\\nsuch/a\\tb.obj: No such file or directory");
    fs::create_directory(directory_ / "taken.stl");
    ASSERT_EQ(mkfifo((directory_ / "pipe.obj").c_str(), 0600), 0);
    for (const char* name : {"taken.stl", "pipe.obj"}) {
        EXPECT_FALSE(writeHello(directory_ / name));
        EXPECT_EQ(error_, "cannot write " + (directory_ / name).string() + ": not a regular file");
    }
    EXPECT_TRUE(fs::is_fifo(directory_ / "pipe.obj"));
    const auto exhausted = [](FILE*) -> bool { throw std::bad_alloc(); };
    EXPECT_FALSE(writeFileSafely(directory_ / "mesh.ply", exhausted, error_));
    EXPECT_NE(error_.find("Cannot allocate memory"), std::string::npos) << error_;
    EXPECT_EQ(entries().size(), 2u);
}

}  // namespace
