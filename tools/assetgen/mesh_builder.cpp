// mesh_builder.cpp: triangle collection with winding control and the text .X writer.
#include "mesh_builder.h"

#include <cmath>
#include <cstdio>
#include <utility>

Vec3 normalized(Vec3 v) {
    double length = std::sqrt(dot(v, v));
    return length > 0 ? v * (1.0 / length) : v;
}

int MeshBuilder::addMaterial(const std::string& textureFile) {
    if (static_cast<int>(textures.size()) >= maxMaterials) {
        return -1;
    }
    textures.push_back(textureFile);
    return static_cast<int>(textures.size()) - 1;
}

int MeshBuilder::addVertex(const Vertex& vertex) {
    const Vec3 &p = vertex.position, &n = vertex.normal;
    const std::array<double, 8> key = {p.x, p.y, p.z, n.x, n.y, n.z, vertex.u, vertex.v};
    auto [found, added] = vertexIndex.try_emplace(key, static_cast<int>(vertices.size()));
    if (added) {
        vertices.push_back(vertex);
    }
    return found->second;
}

void MeshBuilder::addTriangle(int material, int a, int b, int c, Vec3 outward) {
    if (material < 0 || material >= maxMaterials) {
        return;
    }
    Vec3 pa = vertices[a].position;
    Vec3 facing = cross(vertices[b].position - pa, vertices[c].position - pa);
    if (dot(facing, facing) < 1e-12) {
        return; // no area, nothing to draw (a strip closing in on a point)
    }
    // In a left-handed frame a clockwise triangle seen from outside has (b - a) x (c - a)
    // pointing outwards.
    if (dot(facing, outward) < 0) {
        std::swap(b, c);
    }
    triangles[material].insert(triangles[material].end(), {a, b, c});
}

void MeshBuilder::addFlatTriangle(int material, const Corner& a, const Corner& b, const Corner& c,
                                  Vec3 outward) {
    Vec3 n = normalized(outward);
    int ia = addVertex({a.position, n, a.u, a.v});
    int ib = addVertex({b.position, n, b.u, b.v});
    int ic = addVertex({c.position, n, c.u, c.v});
    addTriangle(material, ia, ib, ic, outward);
}

void MeshBuilder::addFlatQuad(int material, const Corner& a, const Corner& b, const Corner& c,
                              const Corner& d, Vec3 outward) {
    Vec3 n = normalized(outward);
    int ia = addVertex({a.position, n, a.u, a.v});
    int ib = addVertex({b.position, n, b.u, b.v});
    int ic = addVertex({c.position, n, c.u, c.v});
    int id = addVertex({d.position, n, d.u, d.v});
    addTriangle(material, ia, ib, ic, outward);
    addTriangle(material, ia, ic, id, outward);
}

void MeshBuilder::addBox(int material, Vec3 low, Vec3 high, double u0, double v0, double u1,
                         double v1, int faces) {
    double x0 = low.x, y0 = low.y, z0 = low.z, x1 = high.x, y1 = high.y, z1 = high.z;
    // Sides: v runs from the top edge (v0) to the bottom edge (v1).
    if (faces & boxLowZ) {
        addFlatQuad(material, {{x0, y1, z0}, u0, v0}, {{x1, y1, z0}, u1, v0},
                    {{x1, y0, z0}, u1, v1}, {{x0, y0, z0}, u0, v1}, {0, 0, -1});
    }
    if (faces & boxHighZ) {
        addFlatQuad(material, {{x1, y1, z1}, u0, v0}, {{x0, y1, z1}, u1, v0},
                    {{x0, y0, z1}, u1, v1}, {{x1, y0, z1}, u0, v1}, {0, 0, 1});
    }
    if (faces & boxLowX) {
        addFlatQuad(material, {{x0, y1, z1}, u0, v0}, {{x0, y1, z0}, u1, v0},
                    {{x0, y0, z0}, u1, v1}, {{x0, y0, z1}, u0, v1}, {-1, 0, 0});
    }
    if (faces & boxHighX) {
        addFlatQuad(material, {{x1, y1, z0}, u0, v0}, {{x1, y1, z1}, u1, v0},
                    {{x1, y0, z1}, u1, v1}, {{x1, y0, z0}, u0, v1}, {1, 0, 0});
    }
    if (faces & boxTop) {
        addFlatQuad(material, {{x0, y1, z1}, u0, v0}, {{x1, y1, z1}, u1, v0},
                    {{x1, y1, z0}, u1, v1}, {{x0, y1, z0}, u0, v1}, {0, 1, 0});
    }
}

int MeshBuilder::triangleCount() const {
    int count = 0;
    for (const auto& list : triangles) {
        count += static_cast<int>(list.size() / 3);
    }
    return count;
}

bool MeshBuilder::writeX(const std::string& path) const {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    int vertexCount = static_cast<int>(vertices.size());
    int faceCount = triangleCount();
    std::fprintf(file, "xof 0303txt 0032\n\nFrame Root {\n");
    std::fprintf(file, " FrameTransformMatrix {\n  1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,"
                       "0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0;;\n }\n\n");
    std::fprintf(file, " Mesh Body {\n  %d;\n", vertexCount);
    for (int i = 0; i < vertexCount; ++i) {
        const Vec3& p = vertices[i].position;
        std::fprintf(file, "  %.3f;%.3f;%.3f;%c\n", p.x, p.y, p.z, i + 1 < vertexCount ? ',' : ';');
    }
    // Faces go out material by material, so the material list below is one run per material.
    auto writeFaces = [&](const char* prefix) {
        int written = 0;
        for (const auto& list : triangles) {
            for (size_t t = 0; t < list.size(); t += 3) {
                ++written;
                std::fprintf(file, "  %s%d,%d,%d;%c\n", prefix, list[t], list[t + 1], list[t + 2],
                             written < faceCount ? ',' : ';');
            }
        }
    };
    std::fprintf(file, "  %d;\n", faceCount);
    writeFaces("3;");

    std::fprintf(file, "\n  MeshNormals {\n   %d;\n", vertexCount);
    for (int i = 0; i < vertexCount; ++i) {
        const Vec3& n = vertices[i].normal;
        std::fprintf(file, "   %.5f;%.5f;%.5f;%c\n", n.x, n.y, n.z,
                     i + 1 < vertexCount ? ',' : ';');
    }
    std::fprintf(file, "   %d;\n", faceCount);
    writeFaces(" 3;");
    std::fprintf(file, "  }\n");

    std::fprintf(file, "\n  MeshTextureCoords {\n   %d;\n", vertexCount);
    for (int i = 0; i < vertexCount; ++i) {
        std::fprintf(file, "   %.5f;%.5f;%c\n", vertices[i].u, vertices[i].v,
                     i + 1 < vertexCount ? ',' : ';');
    }
    std::fprintf(file, "  }\n");

    int materialCount = static_cast<int>(textures.size());
    std::fprintf(file, "\n  MeshMaterialList {\n   %d;\n   %d;\n", materialCount, faceCount);
    int written = 0;
    for (int m = 0; m < maxMaterials; ++m) {
        for (size_t t = 0; t < triangles[m].size(); t += 3) {
            ++written;
            std::fprintf(file, "   %d%c\n", m, written < faceCount ? ',' : ';');
        }
    }
    for (int m = 0; m < materialCount; ++m) {
        std::fprintf(file,
                     "   Material {\n    1.000000;1.000000;1.000000;1.000000;;\n    0.000000;\n"
                     "    0.000000;0.000000;0.000000;;\n    0.000000;0.000000;0.000000;;\n"
                     "    TextureFilename {\n     \"%s\";\n    }\n   }\n",
                     textures[m].c_str());
    }
    std::fprintf(file, "  }\n }\n}\n");
    return std::fclose(file) == 0;
}
