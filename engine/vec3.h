#pragma once

// Three floats, passed by value. The helpers below are the one place where
// the program forms differences, cross and dot products, so a normal worked
// out in the table generator, the surface pass or the mesh export rounds the
// same way everywhere.
struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

inline Vec3 difference(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

inline Vec3 cross(Vec3 u, Vec3 v) {
    return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}

inline float dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// (p1 - p0) x (p2 - p0): the normal of the triangle's winding, unnormalised;
// its length is twice the triangle's area.
inline Vec3 triangleNormal(Vec3 p0, Vec3 p1, Vec3 p2) {
    return cross(difference(p1, p0), difference(p2, p0));
}
