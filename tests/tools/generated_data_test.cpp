// generated_data_test.cpp: checks the files that the data generators write into the build folder
// (meshes, textures, sounds, icons) by reading them back with small readers of their own: .X text
// meshes, 24-bit BMP, PCM WAV and .ico. Runs with the build folder as the working directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/file_bytes.h"

namespace {

struct P3 {
    double x, y, z;
};

struct XMesh {
    std::vector<P3> positions, normals;
    std::vector<int> faces; // three vertex indices per triangle
    std::vector<double> u, v;
    std::vector<int> faceMaterial;
    std::vector<std::string> textures;
    std::string error;

    int triangles() const { return static_cast<int>(faces.size() / 3); }
};

// Reads the first Mesh of a text .X file with its normals, texture coordinates and material
// list. Separators (; ,) are whitespace to this reader; braces and quoted names are tokens.
XMesh readX(const std::string& path) {
    XMesh mesh;
    std::ifstream file(path);
    std::string header;
    std::getline(file, header);
    if (header.rfind("xof 0303txt 0032", 0) != 0) {
        mesh.error = "bad header: " + header;
        return mesh;
    }
    std::stringstream text;
    text << file.rdbuf();
    std::string s = text.str();
    for (char& c : s) {
        if (c == ';' || c == ',') {
            c = ' ';
        }
    }
    std::vector<std::string> tokens;
    std::string token;
    for (char c : s) {
        if (c == '{' || c == '}' || std::isspace(static_cast<unsigned char>(c))) {
            if (!token.empty()) {
                tokens.push_back(token);
            }
            token.clear();
            if (c != ' ' && !std::isspace(static_cast<unsigned char>(c))) {
                tokens.push_back(std::string(1, c));
            }
        } else {
            token += c;
        }
    }
    size_t at = 0;
    auto seek = [&](const std::string& name) {
        while (at < tokens.size() && tokens[at] != name) {
            ++at;
        }
        while (at < tokens.size() && tokens[at] != "{") {
            ++at;
        }
        ++at;
        return at <= tokens.size();
    };
    auto number = [&]() { return at < tokens.size() ? std::stod(tokens[at++]) : 0.0; };
    auto integer = [&]() { return static_cast<int>(number()); };
    auto readTriangles = [&](std::vector<int>& into) {
        int count = integer();
        for (int f = 0; f < count; ++f) {
            if (integer() != 3) {
                mesh.error = "face is not a triangle";
            }
            for (int k = 0; k < 3; ++k) {
                into.push_back(integer());
            }
        }
    };
    if (!seek("Mesh")) {
        mesh.error = "no Mesh";
        return mesh;
    }
    int vertexCount = integer();
    for (int i = 0; i < vertexCount; ++i) {
        mesh.positions.push_back({number(), number(), number()});
    }
    readTriangles(mesh.faces);
    seek("MeshNormals");
    int normalCount = integer();
    for (int i = 0; i < normalCount; ++i) {
        mesh.normals.push_back({number(), number(), number()});
    }
    std::vector<int> normalFaces;
    readTriangles(normalFaces);
    if (normalFaces != mesh.faces) {
        mesh.error = "normal faces differ from the faces";
    }
    seek("MeshTextureCoords");
    int uvCount = integer();
    for (int i = 0; i < uvCount; ++i) {
        mesh.u.push_back(number());
        mesh.v.push_back(number());
    }
    seek("MeshMaterialList");
    int materialCount = integer();
    int listed = integer();
    for (int i = 0; i < listed; ++i) {
        mesh.faceMaterial.push_back(integer());
    }
    for (int m = 0; m < materialCount; ++m) {
        seek("TextureFilename");
        std::string quoted = at < tokens.size() ? tokens[at] : "";
        if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') {
            mesh.error = "material without a texture file";
        }
        mesh.textures.push_back(quoted.substr(1, quoted.size() - 2));
    }
    return mesh;
}

struct Bounds {
    P3 low{1e30, 1e30, 1e30}, high{-1e30, -1e30, -1e30};
    void add(const P3& p) {
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
};

Bounds boundsOf(const XMesh& mesh, int material = -1) {
    Bounds b;
    for (int t = 0; t < mesh.triangles(); ++t) {
        if (material < 0 || mesh.faceMaterial[t] == material) {
            for (int k = 0; k < 3; ++k) {
                b.add(mesh.positions[mesh.faces[t * 3 + k]]);
            }
        }
    }
    return b;
}

int materialNamed(const XMesh& mesh, const std::string& texture) {
    for (size_t m = 0; m < mesh.textures.size(); ++m) {
        if (mesh.textures[m] == texture) {
            return static_cast<int>(m);
        }
    }
    return -1;
}

const char* const meshNames[] = {"SegStraight.X", "SegTurnLeft.X", "CarTruck.X",
                                 "GoodsCar.X",    "Cistern.X",     "PseudoPassengerCar.X"};

} // namespace

// Every mesh is a consistent, textured .X mesh whose triangles face the way their normals do
// (clockwise seen from the normal's side, which Direct3D's default culling keeps).
TEST(GeneratedMeshes, AreWellFormedAndWoundLikeTheirNormals) {
    for (const char* name : meshNames) {
        SCOPED_TRACE(name);
        XMesh mesh = readX(std::string("meshes/") + name);
        ASSERT_EQ(mesh.error, "");
        ASSERT_GT(mesh.triangles(), 0);
        ASSERT_EQ(mesh.normals.size(), mesh.positions.size());
        ASSERT_EQ(mesh.u.size(), mesh.positions.size());
        ASSERT_EQ(static_cast<int>(mesh.faceMaterial.size()), mesh.triangles());
        ASSERT_GE(mesh.textures.size(), 1u);
        ASSERT_LE(mesh.textures.size(), 3u);
        for (int m : mesh.faceMaterial) {
            ASSERT_GE(m, 0);
            ASSERT_LT(m, static_cast<int>(mesh.textures.size()));
        }
        int wrongWay = 0;
        for (int t = 0; t < mesh.triangles(); ++t) {
            const int* f = &mesh.faces[t * 3];
            for (int k = 0; k < 3; ++k) {
                ASSERT_GE(f[k], 0);
                ASSERT_LT(f[k], static_cast<int>(mesh.positions.size()));
            }
            P3 a = mesh.positions[f[0]], b = mesh.positions[f[1]], c = mesh.positions[f[2]];
            P3 e1{b.x - a.x, b.y - a.y, b.z - a.z}, e2{c.x - a.x, c.y - a.y, c.z - a.z};
            P3 facing{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z,
                      e1.x * e2.y - e1.y * e2.x};
            P3 n{0, 0, 0};
            for (int k = 0; k < 3; ++k) {
                n = {n.x + mesh.normals[f[k]].x, n.y + mesh.normals[f[k]].y,
                     n.z + mesh.normals[f[k]].z};
            }
            if (facing.x * n.x + facing.y * n.y + facing.z * n.z <= 0) {
                ++wrongWay;
            }
        }
        EXPECT_EQ(wrongWay, 0);
        // The grass repeats across the ground (the device wraps texture coordinates); its
        // coordinates stay small enough to keep their fractions exact in single precision.
        // Everything else maps within its picture.
        std::vector<bool> repeats(mesh.positions.size(), false);
        int grass = materialNamed(mesh, "grass.bmp");
        for (int t = 0; t < mesh.triangles(); ++t) {
            for (int k = 0; k < 3 && mesh.faceMaterial[t] == grass; ++k) {
                repeats[mesh.faces[t * 3 + k]] = true;
            }
        }
        for (size_t i = 0; i < mesh.positions.size(); ++i) {
            const P3& n = mesh.normals[i];
            EXPECT_NEAR(n.x * n.x + n.y * n.y + n.z * n.z, 1.0, 1e-3);
            double low = repeats[i] ? -256.0 : 0.0, high = repeats[i] ? 256.0 : 1.0;
            EXPECT_GE(mesh.u[i], low);
            EXPECT_LE(mesh.u[i], high);
            EXPECT_GE(mesh.v[i], low);
            EXPECT_LE(mesh.v[i], high);
            EXPECT_GE(mesh.positions[i].y, 0.0) << "objects stand at height 0";
        }
    }
}

// Each material names a texture file beside the mesh: an uncompressed 24-bit BMP with
// power-of-two sides whose size agrees with its header.
TEST(GeneratedMeshes, NameReadableTextures) {
    int distinct = 0;
    std::vector<std::string> seen;
    for (const char* name : meshNames) {
        XMesh mesh = readX(std::string("meshes/") + name);
        for (const std::string& texture : mesh.textures) {
            SCOPED_TRACE(texture);
            ASSERT_LE(texture.size(), 92u);
            if (std::find(seen.begin(), seen.end(), texture) != seen.end()) {
                continue;
            }
            seen.push_back(texture);
            ++distinct;
            auto bmp = readBytes("meshes/" + texture);
            ASSERT_GE(bmp.size(), 54u);
            EXPECT_EQ(bmp[0], 'B');
            EXPECT_EQ(bmp[1], 'M');
            uint32_t width = le(bmp, 18, 4), height = le(bmp, 22, 4);
            EXPECT_EQ(le(bmp, 28, 2), 24u);
            EXPECT_EQ(le(bmp, 30, 4), 0u);
            EXPECT_EQ(width & (width - 1), 0u);
            EXPECT_EQ(height & (height - 1), 0u);
            EXPECT_EQ(bmp.size(), le(bmp, 10, 4) + ((width * 3 + 3) & ~3u) * height);
            EXPECT_EQ(bmp.size(), le(bmp, 2, 4));
        }
    }
    EXPECT_LE(distinct, 20) << "the texture cache holds 20";
}

namespace {

// The rail heads' inner faces and top: of the track texture's faces near the centre line
// (sleepers and rails, not the backdrop far out), the highest points, and the smallest |z|
// among them.
struct RailTop {
    double height = 0, inner = 1e30;
};

RailTop railTop(const XMesh& mesh) {
    int track = materialNamed(mesh, "track.bmp");
    RailTop top;
    auto forEachNear = [&](auto visit) {
        for (int t = 0; t < mesh.triangles(); ++t) {
            for (int k = 0; k < 3 && mesh.faceMaterial[t] == track; ++k) {
                const P3& p = mesh.positions[mesh.faces[t * 3 + k]];
                if (std::fabs(p.z) < 200) {
                    visit(p);
                }
            }
        }
    };
    forEachNear([&](const P3& p) { top.height = std::max(top.height, p.y); });
    forEachNear([&](const P3& p) {
        if (p.y > top.height - 1e-6) {
            top.inner = std::min(top.inner, std::fabs(p.z));
        }
    });
    return top;
}

} // namespace

// Straight: 4096 long from the origin along +x, two rails at standard gauge, rail tops at the
// height the wheels stand on.
TEST(GeneratedMeshes, StraightSegmentSpansItsLengthAtStandardGauge) {
    XMesh mesh = readX("meshes/SegStraight.X");
    ASSERT_EQ(mesh.error, "");
    Bounds all = boundsOf(mesh);
    EXPECT_DOUBLE_EQ(all.low.x, 0.0);
    EXPECT_DOUBLE_EQ(all.high.x, 4096.0);
    ASSERT_GE(materialNamed(mesh, "track.bmp"), 0);
    RailTop rails = railTop(mesh);
    EXPECT_NEAR(2 * rails.inner, 1435.0 * 128 / 1000, 0.5);
    EXPECT_NEAR(rails.height, 68.0, 1.0);
}

// Left turn: from the origin heading +x to (4096, 0, 4096) heading +z, every point within the
// quarter circle about (0, 0, 4096), the ballast along the arc and the rails at constant radii.
TEST(GeneratedMeshes, LeftTurnFollowsItsQuarterCircle) {
    XMesh mesh = readX("meshes/SegTurnLeft.X");
    ASSERT_EQ(mesh.error, "");
    const double radius = 4096;
    int ballast = materialNamed(mesh, "ballast.bmp");
    ASSERT_GE(ballast, 0);
    double firstAngle = 10, lastAngle = -10;
    for (int t = 0; t < mesh.triangles(); ++t) {
        for (int k = 0; k < 3; ++k) {
            const P3& p = mesh.positions[mesh.faces[t * 3 + k]];
            double dx = p.x, dz = p.z - radius;
            if (std::hypot(dx, dz) < 1) {
                continue; // the centre, where the grass inside the turn closes
            }
            double angle = std::atan2(dx, -dz); // 0 at the start, growing towards the end
            firstAngle = std::min(firstAngle, angle);
            lastAngle = std::max(lastAngle, angle);
            if (mesh.faceMaterial[t] == ballast) {
                EXPECT_NEAR(std::hypot(dx, dz), radius, 300.0);
            }
        }
    }
    EXPECT_NEAR(firstAngle, 0.0, 1e-3);
    EXPECT_NEAR(lastAngle, std::acos(-1.0) / 2, 1e-3);
    int rail = materialNamed(mesh, "track.bmp");
    const double railHeight = 68;
    int outerTop = 0, innerTop = 0;
    for (int t = 0; t < mesh.triangles(); ++t) {
        for (int k = 0; k < 3 && mesh.faceMaterial[t] == rail; ++k) {
            const P3& p = mesh.positions[mesh.faces[t * 3 + k]];
            double r = std::hypot(p.x, p.z - radius);
            if (std::fabs(r - radius) < 200 && p.y > railHeight - 1e-6) {
                // Rail heads: 96.45 either side of the centre line, 4.6 wide each way.
                EXPECT_LT(p.y, railHeight + 1e-6);
                if (r > radius) {
                    EXPECT_NEAR(r, radius + 96.45, 4.7);
                    ++outerTop;
                } else {
                    EXPECT_NEAR(r, radius - 96.45, 4.7);
                    ++innerTop;
                }
            }
        }
    }
    EXPECT_GT(outerTop, 0);
    EXPECT_GT(innerTop, 0);
}

// Bogie: centred, wheels round the axles at x = +-120 with the treads on the rail tops.
TEST(GeneratedMeshes, BogieWheelsSitOnTheRails) {
    XMesh mesh = readX("meshes/CarTruck.X");
    ASSERT_EQ(mesh.error, "");
    int wheel = materialNamed(mesh, "wheel.bmp");
    ASSERT_GE(wheel, 0);
    Bounds wheels = boundsOf(mesh, wheel);
    double flangeRadius = (wheels.high.y - wheels.low.y) / 2;
    EXPECT_NEAR(wheels.low.x + wheels.high.x, 0.0, 1e-6);
    EXPECT_NEAR(wheels.high.x - flangeRadius, 120.0, 2.0) << "axles at +-120";
    EXPECT_NEAR(flangeRadius, 0.45 * 128 + 3.6, 0.5);
    EXPECT_NEAR(wheels.low.y, 68.0 - 3.6, 0.5) << "flange reaches below the rail top";
    EXPECT_NEAR(wheels.high.y - flangeRadius, 68 + 0.45 * 128, 0.5) << "axle height";
    // Treads cover the rail centres at z = +-96.45.
    EXPECT_LT(wheels.low.z, -96.45);
    EXPECT_GT(wheels.high.z, 96.45);
    Bounds all = boundsOf(mesh);
    EXPECT_NEAR(all.low.x, -all.high.x, 1e-6);
    EXPECT_NEAR(all.low.z, -all.high.z, 1e-6);
}

// Car bodies reach exactly from the rear coupling to the front coupling, rest on the bogies
// and stay within the loading gauge.
TEST(GeneratedMeshes, CarBodiesSpanTheirCouplings) {
    struct Car {
        const char* name;
        double spacing, setback;
    };
    const Car cars[] = {
        {"GoodsCar.X", 1280, 321}, {"Cistern.X", 1024, 257}, {"PseudoPassengerCar.X", 2432, 384}};
    XMesh bogie = readX("meshes/CarTruck.X");
    double bogieTop = boundsOf(bogie).high.y;
    for (const Car& car : cars) {
        SCOPED_TRACE(car.name);
        XMesh mesh = readX(std::string("meshes/") + car.name);
        ASSERT_EQ(mesh.error, "");
        Bounds b = boundsOf(mesh);
        EXPECT_DOUBLE_EQ(b.high.x, car.setback);
        EXPECT_DOUBLE_EQ(b.low.x, -car.spacing - car.setback);
        EXPECT_LE(b.high.z, 3.15 * 128 / 2);
        EXPECT_NEAR(b.low.z, -b.high.z, 1e-6);
        EXPECT_LE(b.high.y, 4.65 * 128);
        // Nothing of the body cuts into a bogie: over each bogie the body starts at its top.
        for (double centre : {0.0, -car.spacing}) {
            for (const P3& p : mesh.positions) {
                if (std::fabs(p.x - centre) < 180 && std::fabs(p.z) < 120) {
                    EXPECT_GE(p.y, bogieTop - 1e-6);
                }
            }
        }
    }
}

namespace {

// A vertex of a placed segment in world space, with its normal and texture coordinates.
struct PlacedVertex {
    P3 position, normal;
    double u, v;
};

// The loop's eight segments as the program lays them out: two straights, two left turns,
// twice, from the origin heading +x. Each segment gives the triangles of one material in world
// space, three vertices each. With `turnTexture`, texture coordinates turn with the segment, as
// coordinates taken from the model's x and z do.
std::vector<std::vector<PlacedVertex>> placedTriangles(const std::string& texture,
                                                       bool turnTexture) {
    const XMesh straight = readX("meshes/SegStraight.X"), turn = readX("meshes/SegTurnLeft.X");
    const bool isTurn[] = {false, false, true, true, false, false, true, true};
    const int cosQ[] = {1, 0, -1, 0}, sinQ[] = {0, 1, 0, -1};
    double x = 0, z = 0;
    int quarter = 0;
    std::vector<std::vector<PlacedVertex>> segments;
    for (bool t : isTurn) {
        const XMesh& mesh = t ? turn : straight;
        const int c = cosQ[quarter], s = sinQ[quarter];
        // The model's +x runs along the heading, its +z to the left of it.
        auto place = [&](double mx, double mz) {
            return P3{x + mx * c - mz * s, 0, z + mx * s + mz * c};
        };
        std::vector<PlacedVertex> placed;
        int material = materialNamed(mesh, texture);
        for (int f = 0; f < mesh.triangles(); ++f) {
            for (int k = 0; k < 3 && mesh.faceMaterial[f] == material; ++k) {
                int i = mesh.faces[f * 3 + k];
                P3 p = place(mesh.positions[i].x, mesh.positions[i].z);
                p.y = mesh.positions[i].y;
                P3 n = place(mesh.normals[i].x, mesh.normals[i].z);
                n = {n.x - x, mesh.normals[i].y, n.z - z};
                P3 uv = place(mesh.u[i], mesh.v[i]);
                placed.push_back(turnTexture ? PlacedVertex{p, n, uv.x - x, uv.z - z}
                                             : PlacedVertex{p, n, mesh.u[i], mesh.v[i]});
            }
        }
        segments.push_back(placed);
        P3 end = t ? place(4096, 4096) : place(4096, 0);
        x = end.x;
        z = end.z;
        quarter = (quarter + (t ? 1 : 0)) % 4;
    }
    return segments;
}

bool samePoint(const P3& a, const P3& b) {
    return std::fabs(a.x - b.x) < 0.05 && std::fabs(a.y - b.y) < 0.05 &&
           std::fabs(a.z - b.z) < 0.05;
}

// How far a ground point lies outside the loop's centre line (the straights along z = 0 and
// z = 8192 for x from 0 to 8192, the turns about (8192, 4096) and (0, 4096) of radius 4096).
double outsideTheLoop(const P3& p) {
    if (p.x >= 0 && p.x <= 8192) {
        return std::max(-p.z, p.z - 8192);
    }
    return std::hypot(p.x < 0 ? p.x : p.x - 8192, p.z - 4096) - 4096;
}

double wrapped(double a, double b) {
    double d = std::fmod(std::fabs(a - b), 1.0);
    return std::min(d, 1.0 - d);
}

// Edges of the triangles of all placed segments together that belong to one triangle only:
// the open border of what the segments build together.
std::vector<std::pair<P3, P3>> openEdges(const std::vector<std::vector<PlacedVertex>>& segments) {
    std::vector<std::pair<P3, P3>> edges;
    for (const auto& placed : segments) {
        for (size_t t = 0; t < placed.size(); t += 3) {
            for (int k = 0; k < 3; ++k) {
                edges.push_back({placed[t + k].position, placed[t + (k + 1) % 3].position});
            }
        }
    }
    std::vector<std::pair<P3, P3>> open;
    for (size_t i = 0; i < edges.size(); ++i) {
        int shared = 0;
        for (size_t j = 0; j < edges.size(); ++j) {
            shared += (samePoint(edges[i].first, edges[j].second) &&
                       samePoint(edges[i].second, edges[j].first));
        }
        if (shared == 0) {
            open.push_back(edges[i]);
        }
    }
    return open;
}

// Each vertex that several placed segments share is lit alike (the same normal) and samples
// the same place of its picture (coordinates equal but for whole repeats) from every segment;
// the number of shared vertices.
int checkSharedVertices(const std::vector<std::vector<PlacedVertex>>& segments) {
    int shared = 0;
    for (size_t a = 0; a < segments.size(); ++a) {
        for (size_t b = a + 1; b < segments.size(); ++b) {
            for (const PlacedVertex& p : segments[a]) {
                for (const PlacedVertex& q : segments[b]) {
                    if (samePoint(p.position, q.position)) {
                        ++shared;
                        EXPECT_NEAR(p.normal.x, q.normal.x, 1e-3) << "segments " << a << ", " << b;
                        EXPECT_NEAR(p.normal.y, q.normal.y, 1e-3) << "segments " << a << ", " << b;
                        EXPECT_NEAR(p.normal.z, q.normal.z, 1e-3) << "segments " << a << ", " << b;
                        EXPECT_LT(wrapped(p.u, q.u), 1e-3) << "segments " << a << ", " << b;
                        EXPECT_LT(wrapped(p.v, q.v), 1e-3) << "segments " << a << ", " << b;
                    }
                }
            }
        }
    }
    return shared;
}

// Whether the triangles seen from above cover the ground at p and at `margin` from it in
// each direction along x and z.
bool coveredFromAbove(const P3& p, const std::vector<std::vector<PlacedVertex>>& cover,
                      double margin) {
    auto covered = [&](double x, double z) {
        for (const auto& placed : cover) {
            for (size_t t = 0; t < placed.size(); t += 3) {
                auto side = [&](const P3& a, const P3& b) {
                    return (b.x - a.x) * (z - a.z) - (b.z - a.z) * (x - a.x);
                };
                const P3 &a = placed[t].position, &b = placed[t + 1].position,
                         &c = placed[t + 2].position;
                double ab = side(a, b), bc = side(b, c), ca = side(c, a);
                if ((ab >= 0 && bc >= 0 && ca >= 0) || (ab <= 0 && bc <= 0 && ca <= 0)) {
                    return true;
                }
            }
        }
        return false;
    };
    return covered(p.x, p.z) && covered(p.x + margin, p.z) && covered(p.x - margin, p.z) &&
           covered(p.x, p.z + margin) && covered(p.x, p.z - margin);
}

} // namespace

// The ground of the eight placed segments is one surface without gaps, ending only at the
// horizon all round and at the opening under the track bed, which the ballast covers with
// room to spare (so no crack can open between them), lit alike everywhere, and the grass runs on
// across every join at one scale: texture coordinates agree where segments meet, every triangle
// maps the world to the picture alike, and the picture looks the same turned by a quarter, as the
// segments are.
TEST(GeneratedScenery, GroundOfThePlacedSegmentsJoinsWithoutSeams) {
    auto segments = placedTriangles("grass.bmp", true);
    ASSERT_EQ(segments.size(), 8u);
    for (const auto& placed : segments) {
        ASSERT_FALSE(placed.empty());
        for (const PlacedVertex& p : placed) {
            EXPECT_EQ(p.position.y, 0.0);
            EXPECT_EQ(p.normal.y, 1.0) << "lit alike everywhere";
        }
    }
    const auto ballast = placedTriangles("ballast.bmp", false);
    int underTheBed = 0;
    for (const auto& edge : openEdges(segments)) {
        if (outsideTheLoop(edge.first) > 40000 && outsideTheLoop(edge.second) > 40000) {
            continue;
        }
        ++underTheBed;
        const P3& a = edge.first;
        const P3& b = edge.second;
        for (const P3& p : {a, P3{(a.x + b.x) / 2, 0, (a.z + b.z) / 2}, b}) {
            EXPECT_TRUE(coveredFromAbove(p, ballast, 20)) << "open edge at " << p.x << " " << p.z;
        }
    }
    EXPECT_GT(underTheBed, 0) << "the ground is open under the track bed";
    EXPECT_GT(checkSharedVertices(segments), 0);
    // Texture coordinates per world unit along x and z, the same in every triangle.
    double first[4] = {};
    bool haveFirst = false;
    for (const auto& placed : segments) {
        for (size_t t = 0; t < placed.size(); t += 3) {
            const PlacedVertex &a = placed[t], &b = placed[t + 1], &c = placed[t + 2];
            double ex1 = b.position.x - a.position.x, ez1 = b.position.z - a.position.z;
            double ex2 = c.position.x - a.position.x, ez2 = c.position.z - a.position.z;
            double det = ex1 * ez2 - ex2 * ez1;
            double du1 = b.u - a.u, du2 = c.u - a.u, dv1 = b.v - a.v, dv2 = c.v - a.v;
            double scale[4] = {(du1 * ez2 - du2 * ez1) / det, (ex1 * du2 - ex2 * du1) / det,
                               (dv1 * ez2 - dv2 * ez1) / det, (ex1 * dv2 - ex2 * dv1) / det};
            if (!haveFirst) {
                std::copy(scale, scale + 4, first);
                haveFirst = true;
                EXPECT_GT(std::fabs(first[0]) + std::fabs(first[1]), 0.0);
            }
            for (int k = 0; k < 4; ++k) {
                EXPECT_NEAR(scale[k], first[k], 1e-6);
            }
        }
    }
    auto bmp = readBytes("meshes/grass.bmp");
    ASSERT_GE(bmp.size(), 54u);
    const uint32_t n = le(bmp, 18, 4), offset = le(bmp, 10, 4), row = (n * 3 + 3) & ~3u;
    ASSERT_EQ(le(bmp, 22, 4), n);
    auto texel = [&](uint32_t x, uint32_t y) { return le(bmp, offset + y * row + x * 3, 3); };
    int differ = 0;
    for (uint32_t y = 0; y < n; ++y) {
        for (uint32_t x = 0; x < n; ++x) {
            differ += texel(x, y) != texel(n - 1 - y, x);
        }
    }
    EXPECT_EQ(differ, 0) << "grass turned by a quarter";
}

// The sky wall of the placed segments closes round the whole loop: its only open edges run
// along its foot and its top, and it is lit and samples its picture alike on both sides of
// every join.
TEST(GeneratedScenery, SkyWallClosesRoundTheLoop) {
    auto segments = placedTriangles("track.bmp", false);
    for (auto& placed : segments) {
        std::vector<PlacedVertex> wall;
        for (size_t t = 0; t < placed.size(); t += 3) {
            if (outsideTheLoop(placed[t].position) > 40000) {
                wall.insert(wall.end(), placed.begin() + t, placed.begin() + t + 3);
            }
        }
        ASSERT_FALSE(wall.empty());
        placed = wall;
    }
    EXPECT_GT(checkSharedVertices(segments), 0);
    auto open = openEdges(segments);
    EXPECT_FALSE(open.empty());
    for (const auto& edge : open) {
        EXPECT_EQ(edge.first.y, edge.second.y)
            << "an open edge up the wall at " << edge.first.x << " " << edge.first.z;
    }
}

// The whole freight scene (8 track segments, 10 cars on 20 bogies) stays light to draw.
TEST(GeneratedMeshes, FreightSceneTriangleBudget) {
    auto count = [](const char* name) { return readX(std::string("meshes/") + name).triangles(); };
    int total = 4 * count("SegStraight.X") + 4 * count("SegTurnLeft.X") + 20 * count("CarTruck.X") +
                5 * count("GoodsCar.X") + 5 * count("Cistern.X");
    EXPECT_LT(total, 100000);
}

namespace {

struct Wav {
    int channels = 0, rate = 0, bits = 0;
    std::vector<int16_t> samples; // interleaved
    std::string error;
};

Wav readWav(const std::string& path) {
    Wav wav;
    auto b = readBytes(path);
    if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
        std::string(b.begin() + 8, b.begin() + 12) != "WAVE") {
        wav.error = "not RIFF/WAVE";
        return wav;
    }
    if (le(b, 4, 4) + 8 != b.size()) {
        wav.error = "RIFF size disagrees with the file";
    }
    for (size_t at = 12; at + 8 <= b.size();) {
        std::string id(b.begin() + at, b.begin() + at + 4);
        uint32_t size = le(b, at + 4, 4);
        if (at + 8 + size > b.size()) {
            wav.error = "chunk " + id + " runs past the end";
            return wav;
        }
        if (id == "fmt ") {
            if (le(b, at + 8, 2) != 1) {
                wav.error = "not PCM";
            }
            wav.channels = static_cast<int>(le(b, at + 10, 2));
            wav.rate = static_cast<int>(le(b, at + 12, 4));
            wav.bits = static_cast<int>(le(b, at + 22, 2));
            if (le(b, at + 16, 4) != static_cast<uint32_t>(wav.rate * wav.channels * 2) ||
                le(b, at + 20, 2) != static_cast<uint32_t>(wav.channels * 2)) {
                wav.error = "inconsistent byte rate or block alignment";
            }
        } else if (id == "data") {
            for (uint32_t i = 0; i + 1 < size; i += 2) {
                wav.samples.push_back(static_cast<int16_t>(le(b, at + 8 + i, 2)));
            }
        }
        at += 8 + size + (size & 1);
    }
    return wav;
}

} // namespace

// Both sounds are 16-bit mono PCM at a rate the sound layer takes, of the expected length.
TEST(GeneratedSounds, ArePcmOfTheirIntendedLength) {
    struct Expected {
        const char* name;
        double shortest, longest;
    };
    for (Expected e : {Expected{"Stuk.wav", 0.15, 0.3}, Expected{"TrainBackground.wav", 2, 10}}) {
        SCOPED_TRACE(e.name);
        Wav wav = readWav(std::string("meshes/") + e.name);
        ASSERT_EQ(wav.error, "");
        EXPECT_EQ(wav.bits, 16);
        EXPECT_EQ(wav.channels, 1) << "3-D sound buffers take mono sound only";
        EXPECT_TRUE(wav.rate == 22050 || wav.rate == 44100);
        ASSERT_GT(wav.channels, 0);
        double seconds = static_cast<double>(wav.samples.size()) / wav.channels / wav.rate;
        EXPECT_GE(seconds, e.shortest);
        EXPECT_LE(seconds, e.longest);
    }
}

// The clack starts with its loudest part and dies away to silence.
TEST(GeneratedSounds, ClackIsATransientThatDiesAway) {
    Wav wav = readWav("meshes/Stuk.wav");
    ASSERT_EQ(wav.error, "");
    ASSERT_FALSE(wav.samples.empty());
    size_t loudest = 0;
    for (size_t i = 0; i < wav.samples.size(); ++i) {
        if (std::abs(wav.samples[i]) > std::abs(wav.samples[loudest])) {
            loudest = i;
        }
    }
    EXPECT_LT(loudest, static_cast<size_t>(wav.rate * wav.channels / 40));
    EXPECT_GT(std::abs(wav.samples[loudest]), 16000);
    EXPECT_LE(std::abs(wav.samples.back()), 64);
}

// The running noise loops: the step from its last sample back to its first is no larger than
// the steps inside it, and it never clips.
TEST(GeneratedSounds, RunningNoiseLoopsWithoutAClick) {
    Wav wav = readWav("meshes/TrainBackground.wav");
    ASSERT_EQ(wav.error, "");
    ASSERT_GT(wav.samples.size(), 1000u);
    const size_t n = wav.samples.size(), c = wav.channels;
    double meanStep = 0;
    int peak = 0;
    for (size_t i = c; i < n; ++i) {
        meanStep += std::abs(wav.samples[i] - wav.samples[i - c]);
        peak = std::max(peak, std::abs(static_cast<int>(wav.samples[i])));
    }
    meanStep /= static_cast<double>(n - c);
    for (size_t k = 0; k < c; ++k) {
        EXPECT_LE(std::abs(wav.samples[k] - wav.samples[n - c + k]), 4 * meanStep);
    }
    EXPECT_LT(peak, 32767);
    EXPECT_GT(peak, 8000);
}

// Each icon holds the eight images the program's resources list, each a DIB of the stated
// size and depth with its mask.
TEST(GeneratedIcons, HoldTheEightImages) {
    for (const char* name : {"icons/locomotive.ico", "icons/wheel.ico"}) {
        SCOPED_TRACE(name);
        auto b = readBytes(name);
        ASSERT_GE(b.size(), 6u);
        EXPECT_EQ(le(b, 0, 2), 0u);
        EXPECT_EQ(le(b, 2, 2), 1u);
        ASSERT_EQ(le(b, 4, 2), 8u);
        std::vector<std::pair<int, int>> formats;
        for (int i = 0; i < 8; ++i) {
            size_t entry = 6 + 16 * i;
            int size = b.at(entry), bits = static_cast<int>(le(b, entry + 6, 2));
            uint32_t bytes = le(b, entry + 8, 4), offset = le(b, entry + 12, 4);
            ASSERT_LE(offset + bytes, b.size());
            formats.push_back({size, bits});
            EXPECT_EQ(b[entry + 2], bits == 4 ? 16 : 0);
            EXPECT_EQ(le(b, offset, 4), 40u);
            EXPECT_EQ(le(b, offset + 4, 4), static_cast<uint32_t>(size));
            EXPECT_EQ(le(b, offset + 8, 4), static_cast<uint32_t>(2 * size));
            EXPECT_EQ(le(b, offset + 14, 2), static_cast<uint32_t>(bits));
            uint32_t palette = bits <= 8 ? 4u << bits : 0;
            uint32_t colorRow = ((size * bits + 31) / 32) * 4, maskRow = ((size + 31) / 32) * 4;
            EXPECT_EQ(bytes, 40 + palette + (colorRow + maskRow) * size);
        }
        std::sort(formats.begin(), formats.end());
        const std::vector<std::pair<int, int>> wanted = {{16, 4}, {16, 8},  {16, 32}, {32, 4},
                                                         {32, 8}, {32, 32}, {48, 8},  {48, 32}};
        EXPECT_EQ(formats, wanted);
    }
}
