#include "output/mesh_export.h"

#include <bit>
#include <cmath>
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

// Appends `value`'s bytes least significant first, whatever the host's order.
template <class Unsigned>
void putLittleEndian(FILE* out, Unsigned value) {
    for (size_t i = 0; i < sizeof(Unsigned); ++i) {
        std::fputc(static_cast<unsigned char>(value >> (kByteBits * i)), out);
    }
}

void putFloat(FILE* out, float value) {
    putLittleEndian(out, std::bit_cast<uint32_t>(value));
}

void putVec3(FILE* out, const Vec3& v) {
    putFloat(out, v.x);
    putFloat(out, v.y);
    putFloat(out, v.z);
}

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
    for (const Vec3& p : mesh.positions) {
        putVec3(out, p);
    }
    constexpr uint8_t kCornersPerFace = 3;
    for (const auto& face : mesh.triangles) {
        std::fputc(kCornersPerFace, out);
        for (int32_t index : face) {
            putLittleEndian(out, static_cast<uint32_t>(index));
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
    std::fwrite(header, 1, kHeaderSize, out);
    putLittleEndian(out, static_cast<uint32_t>(mesh.triangles.size()));
    for (const auto& triangle : mesh.triangles) {
        putVec3(out, unitNormal(mesh, triangle));
        for (int32_t index : triangle) {
            putVec3(out, mesh.positions[index]);
        }
        putLittleEndian(out, uint16_t{0});  // attribute bytes: none
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
