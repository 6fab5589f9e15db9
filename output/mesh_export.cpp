#include "output/mesh_export.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <string_view>
#include <utility>

namespace {

// The unit normal of the triangle by its winding; zero for a degenerate one.
Vec3 unitNormal(const SurfaceMesh& mesh, const std::array<int32_t, 3>& triangle) {
    const auto corner = [&](int32_t c) { return mesh.positions[triangle[c]]; };
    const Vec3 n = triangleNormal(corner(0), corner(1), corner(2));
    const float length = std::sqrt(dot(n, n));
    if (length == 0.0f) {
        return {};
    }
    return {n.x / length, n.y / length, n.z / length};
}

constexpr int kByteBits = 8;

// Binary output gathered in a block and handed to the stream a block at a
// time: a library call per byte would cost more than the rest of the export.
class BlockWriter {
  public:
    explicit BlockWriter(FILE* out) : out_(out) {}
    ~BlockWriter() { flush(); }
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    void put(unsigned char byte) { putLittleEndian(byte); }

    // Appends `value`'s bytes least significant first, whatever the host's
    // order; one room check per value, and on a little-endian host one copy.
    template <class Unsigned>
    void putLittleEndian(Unsigned value) {
        if (used_ + sizeof(Unsigned) > kBlockSize) {
            flush();
        }
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(block_.data() + used_, &value, sizeof(Unsigned));
            used_ += sizeof(Unsigned);
        } else {
            for (size_t i = 0; i < sizeof(Unsigned); ++i) {
                block_[used_++] = static_cast<unsigned char>(value >> (kByteBits * i));
            }
        }
    }

    void putFloat(float value) { putLittleEndian(std::bit_cast<uint32_t>(value)); }

    void putVec3(const Vec3& v) {
        putFloat(v.x);
        putFloat(v.y);
        putFloat(v.z);
    }

    void putBytes(const char* bytes, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            put(static_cast<unsigned char>(bytes[i]));
        }
    }

  private:
    static constexpr size_t kBlockSize = size_t{1} << 16;

    void flush() {
        std::fwrite(block_.data(), 1, used_, out_);
        used_ = 0;
    }

    FILE* out_;
    std::array<unsigned char, kBlockSize> block_;
    size_t used_ = 0;
};

void writeObj(const SurfaceMesh& mesh, FILE* out) {
    std::fprintf(out, "# marching-cubes surface: %zu vertices, %zu faces\n", mesh.positions.size(),
                 mesh.triangles.size());
    // 9 significant digits read back as the same float.
    for (const Vec3& p : mesh.positions) {
        std::fprintf(out, "v %.9g %.9g %.9g\n", p.x, p.y, p.z);
    }
    for (const auto& face : mesh.triangles) {
        std::fprintf(out, "f %d %d %d\n", face[0] + 1, face[1] + 1, face[2] + 1);
    }
}

void writePly(const SurfaceMesh& mesh, FILE* out) {
    std::fprintf(out,
                 "ply\nformat binary_little_endian 1.0\ncomment marching-cubes surface\n"
                 "element vertex %zu\nproperty float x\nproperty float y\nproperty float z\n"
                 "element face %zu\nproperty list uchar int vertex_indices\nend_header\n",
                 mesh.positions.size(), mesh.triangles.size());
    BlockWriter writer(out);
    for (const Vec3& p : mesh.positions) {
        writer.putVec3(p);
    }
    constexpr uint8_t kCornersPerFace = 3;
    for (const auto& face : mesh.triangles) {
        writer.put(kCornersPerFace);
        for (int32_t index : face) {
            writer.putLittleEndian(static_cast<uint32_t>(index));
        }
    }
}

void writeStl(const SurfaceMesh& mesh, FILE* out) {
    // The header must not start with "solid", or readers take the file for
    // text STL.
    constexpr size_t kHeaderSize = 80;
    constexpr std::string_view kTitle = "marching-cubes surface, binary STL";
    char header[kHeaderSize] = {};
    kTitle.copy(header, kHeaderSize);
    BlockWriter writer(out);
    writer.putBytes(header, kHeaderSize);
    writer.putLittleEndian(static_cast<uint32_t>(mesh.triangles.size()));
    for (const auto& triangle : mesh.triangles) {
        writer.putVec3(unitNormal(mesh, triangle));
        for (int32_t index : triangle) {
            writer.putVec3(mesh.positions[index]);
        }
        writer.putLittleEndian(uint16_t{0});  // attribute bytes: none
    }
}

}  // namespace

void mapToWorld(SurfaceMesh& mesh, const IndexToWorld& toWorld) {
    const auto mapped = [](const IndexToWorld::Vector& v) {
        return Vec3{static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])};
    };
    for (Vec3& p : mesh.positions) {
        p = mapped(toWorld.apply({p.x, p.y, p.z}));
    }
    for (Vec3& n : mesh.normals) {
        n = mapped(toWorld.applyToNormal({n.x, n.y, n.z}));
    }
    if (toWorld.determinant() < 0.0) {
        for (auto& triangle : mesh.triangles) {
            std::swap(triangle[1], triangle[2]);
        }
    }
}

bool writeMesh(const SurfaceMesh& mesh, MeshFormat format, FILE* out) {
    switch (format) {
        case MeshFormat::kObj:
            writeObj(mesh, out);
            break;
        case MeshFormat::kPly:
            writePly(mesh, out);
            break;
        case MeshFormat::kStl:
            writeStl(mesh, out);
            break;
    }
    return std::fflush(out) == 0 && !std::ferror(out);
}
