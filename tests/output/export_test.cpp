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
#include <new>
#include <span>
#include <string>
#include <vector>

#include "output/mesh_export.h"
#include "output/safe_file.h"
#include "test_support.h"

#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

// A position compared coordinate by coordinate, as floats compare.
using Point = std::array<float, 3>;

Point pointOf(const Vec3& v) {
    return {v.x, v.y, v.z};
}

// The corners of every face in winding order: three per face.
std::vector<Point> faceCorners(const SurfaceMesh& mesh) {
    std::vector<Point> corners;
    for (const auto& face : mesh.triangles) {
        for (int32_t index : face) {
            corners.push_back(pointOf(mesh.positions[index]));
        }
    }
    return corners;
}

// --- Writers ---

// Two triangles sharing an edge, with coordinates that need all nine digits.
SurfaceMesh twoTriangles() {
    return {.positions = {{0.1f, 0, 0}, {1, 0, 0}, {0, 1.0f / 3.0f, 0}, {1, 1, -2.5f}},
            .triangles = {{0, 1, 2}, {1, 3, 2}},
            .normals = {}};
}

std::string writtenBy(const SurfaceMesh& mesh, MeshFormat format) {
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

TEST_F(SafeFileTest, RefusesATargetThatIsNoRegularFileAndLeavesItAlone) {
    fs::create_directory(directory_ / "taken.stl");
    ASSERT_EQ(mkfifo((directory_ / "pipe.obj").c_str(), 0600), 0);
    for (const char* name : {"taken.stl", "pipe.obj"}) {
        EXPECT_FALSE(writeHello(directory_ / name));
        EXPECT_EQ(error_, "cannot write " + (directory_ / name).string() + ": not a regular file");
    }
    EXPECT_TRUE(fs::is_fifo(directory_ / "pipe.obj"));
    EXPECT_EQ(entries().size(), 2u);
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

TEST_F(SafeFileTest, NamesTheFileOnOneLineAndFailsAWriteWithoutMemory) {
    EXPECT_FALSE(writeHello(directory_ / "no\nsuch/a\tb.obj"));
    EXPECT_EQ(error_, "cannot write " + directory_.string() +
                          "/no\\nsuch/a\\tb.obj: No such file or directory");
    const auto exhausted = [](FILE*) -> bool { throw std::bad_alloc(); };
    EXPECT_FALSE(writeFileSafely(directory_ / "mesh.ply", exhausted, error_));
    EXPECT_NE(error_.find("Cannot allocate memory"), std::string::npos) << error_;
    EXPECT_TRUE(entries().empty());
}

}  // namespace
