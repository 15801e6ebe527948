// x_file_reader.h: internal to the layer. Reads a DirectX .X file (text, binary or compressed)
// into the one mesh that D3DXLoadMeshFromXA makes of it: every mesh of the file moved by its
// frames' transforms, the file's vertices in their order (a vertex is copied only where its
// faces give it different normals), polygons split into fans of triangles, faces sorted by
// material, and the materials of all meshes' lists one after another (the faces of a mesh
// without a list take material 0; a file without any list has one default material).
// Coordinates, winding and texture coordinates are the file's own. Used by d3dx9_mesh.cpp and
// the scene reference drawing of the benchmarks.
#pragma once

#include <d3d9.h>

#include <cstdint>
#include <string>
#include <vector>

// Every vertex carries all parts; fvf says which ones the file gave (D3DFVF_XYZ always,
// D3DFVF_NORMAL, D3DFVF_DIFFUSE and D3DFVF_TEX1 as present).
struct XVertex {
    float position[3];
    float normal[3];
    float texCoord[2];
    D3DCOLOR diffuse;
};

struct XMaterial {
    D3DMATERIAL9 colours;
    bool hasTexture;
    std::string textureFileName; // exactly as the file gives it
};

struct XMeshData {
    DWORD fvf = D3DFVF_XYZ;
    std::vector<XVertex> vertices;
    std::vector<uint32_t> indices;    // three per face; faces sorted by material, stable
    std::vector<uint32_t> attributes; // material index of each face
    std::vector<XMaterial> materials;
};

// Reads the file's bytes into data. False, with data empty, when they are not a valid .X file
// or hold no triangles.
bool readXData(const std::string& bytes, XMeshData& data);

// Reads path (already resolved for this system) into data, as readXData; false also when the
// file cannot be read.
bool readXFile(const std::string& path, XMeshData& data);
