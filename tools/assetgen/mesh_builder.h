// mesh_builder.h: collects the vertices and triangles of one mesh, sorted by material, and writes
// them as a text .X file (Mesh with normals, texture coordinates and a material list).
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(Vec3 a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline double dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3 normalized(Vec3 v);

struct Vertex {
    Vec3 position;
    Vec3 normal;
    double u = 0, v = 0;
};

// A corner of a face: where it is and where it samples its texture.
struct Corner {
    Vec3 position;
    double u = 0, v = 0;
};

// The faces of a box (MeshBuilder::addBox), by the side they face, to leave out those that
// other parts always hide.
enum BoxFace {
    boxLowX = 1,
    boxHighX = 2,
    boxLowZ = 4,
    boxHighZ = 8,
    boxTop = 16,
    allBoxFaces = 31,
};

struct MeshBuilder {
    static constexpr int maxMaterials = 3;

    std::vector<std::string> textures; // one texture file per material
    std::vector<Vertex> vertices;
    std::vector<int> triangles[maxMaterials]; // vertex indices, three per triangle
    // Each distinct vertex once: neighbouring faces that agree in position, normal and texture
    // coordinates share their corners, so the renderer transforms and lights each corner once.
    std::map<std::array<double, 8>, int> vertexIndex;

    int addMaterial(const std::string& textureFile);
    // The index of an equal vertex added before, or of this one appended.
    int addVertex(const Vertex& vertex);
    // Adds a triangle wound so that it faces along `outward` (clockwise seen from that side,
    // which Direct3D's default culling keeps).
    void addTriangle(int material, int a, int b, int c, Vec3 outward);
    // A flat triangle or quad (corners in order around its edge) facing along `outward`.
    void addFlatTriangle(int material, const Corner& a, const Corner& b, const Corner& c,
                         Vec3 outward);
    void addFlatQuad(int material, const Corner& a, const Corner& b, const Corner& c,
                     const Corner& d, Vec3 outward);
    // An axis-aligned box without its bottom face, with the faces of `faces` (BoxFace bits);
    // each face maps the whole texture rectangle (u0, v0)-(u1, v1), v growing downwards.
    void addBox(int material, Vec3 low, Vec3 high, double u0 = 0, double v0 = 0, double u1 = 1,
                double v1 = 1, int faces = allBoxFaces);
    int triangleCount() const;
    bool writeX(const std::string& path) const;
};
