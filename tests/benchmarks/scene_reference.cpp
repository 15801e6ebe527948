// scene_reference.cpp: the program's scene drawn with SDL2 and OpenGL alone, without the Direct3D
// layer, as the limit for tools/bench-frame-rate.sh. The same generated meshes and textures (with
// the same 2 x 2 box mip chains), the same track, train motion and orbit camera from the system's
// own logic (sim/, input/), the same light, material, culling, depth test and trilinear filter, and
// the same draw order: each mesh in static vertex and index buffers, one draw per material. The
// text overlay is not drawn. Lighting and texturing come from OpenGL's fixed-function pipeline or,
// with --shaders, from a pair of shaders that compute only what this scene needs (one directional
// light, ambient, texture times lit colour). Usage: scene_reference [--shaders] <seconds>
// scene_reference --without texturing|fragments|drawing <seconds> scene_reference [--shaders]
// --picture <out.ppm> <train position> <yaw> <pitch> <distance> scene_reference --overdraw <train
// position> <yaw> <pitch> <distance> The first form runs the start view as the program does,
// printing "frame rate: <fps> fps" every 2 seconds on stderr; with --without, it leaves out one
// part of the frame's work, to show what that part costs: the texture sampling, everything after
// the vertices are transformed, lit and clipped (a one-pixel scissor, which drops each triangle
// before its set-up and binning and limits the clear to that pixel), or all drawing (the same
// scissor and no draw calls: the present and the loop). The second draws one still picture and
// writes it as a PPM file; the third draws one picture counting fragments in the stencil buffer and
// prints, per pixel, how many reached the depth test (rasterized) and how many passed it (shaded).
// Runs in the folder that holds meshes/.
#include "app/scene_objects.h"
#include "platform/d3dx9/x_file_reader.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL.h>
#include <SDL_image.h>

#include <malloc.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/gl_window.h"

namespace {

// The client area of the program's 1024 x 768 window with the standard frame.
constexpr int width = 1008, height = 729;

// A 4 x 4 matrix in the row-vector convention; loaded as it is, it is OpenGL's column form.
struct Matrix {
    float m[4][4] = {};
};

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k)
                r.m[i][j] += a.m[i][k] * b.m[k][j];
    return r;
}

Matrix world(const PlacedObject& object) {
    const float angle = -static_cast<float>(object.heading);
    Matrix w;
    w.m[0][0] = std::cos(angle);
    w.m[0][2] = -std::sin(angle);
    w.m[1][1] = 1;
    w.m[2][0] = std::sin(angle);
    w.m[2][2] = std::cos(angle);
    w.m[3][0] = static_cast<float>(object.x);
    w.m[3][2] = static_cast<float>(object.z);
    w.m[3][3] = 1;
    return w;
}

// Left-handed look-at view, the eye and target as single-precision points.
Matrix view(const float eye[3], const float target[3]) {
    auto normalize = [](float v[3]) {
        const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        for (int i = 0; i < 3; ++i)
            v[i] /= length;
    };
    float z[3] = {target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]};
    normalize(z);
    float x[3] = {z[2], 0, -z[0]}; // (0, 1, 0) x z
    normalize(x);
    const float y[3] = {z[1] * x[2] - z[2] * x[1], z[2] * x[0] - z[0] * x[2],
                        z[0] * x[1] - z[1] * x[0]};
    Matrix v;
    for (int i = 0; i < 3; ++i) {
        v.m[i][0] = x[i];
        v.m[i][1] = y[i];
        v.m[i][2] = z[i];
    }
    v.m[3][0] = -(x[0] * eye[0] + x[1] * eye[1] + x[2] * eye[2]);
    v.m[3][1] = -(y[0] * eye[0] + y[1] * eye[1] + y[2] * eye[2]);
    v.m[3][2] = -(z[0] * eye[0] + z[1] * eye[1] + z[2] * eye[2]);
    v.m[3][3] = 1;
    return v;
}

// The camera's projection, with clip depth 0..w turned into OpenGL's -w..w and the picture
// moved to OpenGL's pixel centres, as the program's frames have it.
Matrix projection(float fieldOfView) {
    const float nearPlane = 1.0f, farPlane = 100000.0f, aspect = 1.3333334f;
    const float yScale = 1.0f / std::tan(fieldOfView / 2),
                depth = farPlane / (farPlane - nearPlane);
    Matrix p;
    p.m[0][0] = yScale / aspect;
    p.m[1][1] = yScale;
    p.m[2][2] = depth;
    p.m[2][3] = 1;
    p.m[3][2] = -nearPlane * depth;
    const float shift = 0.5f - 1.0f / 128.0f;
    Matrix fix;
    fix.m[0][0] = 1;
    fix.m[1][1] = 1;
    fix.m[2][2] = 2;
    fix.m[3][3] = 1;
    fix.m[3][0] = 2 * shift / width;
    fix.m[3][1] = -2 * shift / height;
    fix.m[3][2] = -1;
    return multiply(p, fix);
}

GLuint loadTexture(const std::string& name) {
    SDL_Surface* decoded = IMG_Load(("meshes/" + name).c_str());
    SDL_Surface* argb =
        decoded ? SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0) : nullptr;
    SDL_FreeSurface(decoded);
    if (argb == nullptr)
        return 0;
    int w = argb->w, h = argb->h;
    std::vector<uint32_t> level(size_t(w) * h);
    SDL_LockSurface(argb);
    for (int y = 0; y < h; ++y)
        std::memcpy(&level[size_t(y) * w], static_cast<uint8_t*>(argb->pixels) + y * argb->pitch,
                    size_t(w) * 4);
    SDL_UnlockSurface(argb);
    SDL_FreeSurface(argb);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    // The generated textures are powers of two: each level a 2 x 2 box average of the last.
    for (int index = 0;; ++index) {
        glTexImage2D(GL_TEXTURE_2D, index, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                     level.data());
        if (w == 1 && h == 1)
            break;
        const int nw = w > 1 ? w / 2 : 1, nh = h > 1 ? h / 2 : 1;
        const int sx = w > 1 ? 1 : 0, sy = h > 1 ? 1 : 0;
        std::vector<uint32_t> next(size_t(nw) * nh);
        for (int y = 0; y < nh; ++y)
            for (int x = 0; x < nw; ++x) {
                const int x0 = x * 2 * sx, y0 = y * 2 * sy;
                const uint32_t block[4] = {level[y0 * w + x0], level[y0 * w + x0 + sx],
                                           level[(y0 + sy) * w + x0],
                                           level[(y0 + sy) * w + x0 + sx]};
                uint32_t out = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    uint32_t sum = 0;
                    for (uint32_t p : block)
                        sum += (p >> shift) & 0xff;
                    out |= ((sum + 2) / 4) << shift;
                }
                next[size_t(y) * nw + x] = out;
            }
        level.swap(next);
        w = nw;
        h = nh;
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return texture;
}

// One mesh in static buffers, its faces in one index range per material.
struct Mesh {
    const MeshModel* model = nullptr;
    GLuint vertices = 0, indices = 0;
    int rangeCount = 0;
    GLsizei first[3] = {}, count[3] = {};
    GLuint textures[3] = {};
};

struct TextureEntry {
    std::string name;
    GLuint texture;
};

bool loadMesh(Mesh& mesh, const MeshModel* model, const char* file,
              std::vector<TextureEntry>& cache) {
    XMeshData data;
    if (!readXFile(std::string("meshes/") + file, data) || data.materials.size() > 3 ||
        data.vertices.size() > 65536)
        return false;
    mesh.model = model;
    std::vector<uint16_t> indices(data.indices.begin(), data.indices.end());
    glGenBuffers(1, &mesh.vertices);
    glBindBuffer(GL_ARRAY_BUFFER, mesh.vertices);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(data.vertices.size() * sizeof(XVertex)),
                 data.vertices.data(), GL_STATIC_DRAW);
    glGenBuffers(1, &mesh.indices);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh.indices);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indices.size() * 2), indices.data(),
                 GL_STATIC_DRAW);
    mesh.rangeCount = int(data.materials.size());
    for (size_t face = 0; face < data.attributes.size(); ++face) {
        const uint32_t material = data.attributes[face];
        if (mesh.count[material] == 0)
            mesh.first[material] = GLsizei(face * 3);
        mesh.count[material] += 3;
    }
    for (int i = 0; i < mesh.rangeCount; ++i) {
        const std::string& name = data.materials[size_t(i)].textureFileName;
        GLuint texture = 0;
        for (const TextureEntry& entry : cache)
            if (entry.name == name)
                texture = entry.texture;
        if (texture == 0) {
            texture = loadTexture(name);
            cache.push_back({name, texture});
        }
        mesh.textures[i] = texture;
    }
    return true;
}

struct Scene {
    Mesh meshes[6];
    const Mesh* boundMesh = nullptr;
    GLuint boundTexture = 0;

    bool load() {
        const struct {
            const MeshModel* model;
            const char* file;
        } files[6] = {
            {&straightType, "SegStraight.X"}, {&leftTurnType, "SegTurnLeft.X"},
            {&truckType, "CarTruck.X"},       {&goodsCarType, "GoodsCar.X"},
            {&tankCarType, "Cistern.X"},      {&passengerCarType, "PseudoPassengerCar.X"}};
        std::vector<TextureEntry> cache;
        for (int i = 0; i < 6; ++i)
            if (!loadMesh(meshes[i], files[i].model, files[i].file, cache))
                return false;
        return true;
    }

    void draw(const PlacedObject& object, const Matrix& viewMatrix) {
        const Mesh* mesh = nullptr;
        for (const Mesh& candidate : meshes)
            if (candidate.model == object.model)
                mesh = &candidate;
        if (mesh == nullptr)
            return;
        const Matrix modelView = multiply(world(object), viewMatrix);
        glLoadMatrixf(&modelView.m[0][0]);
        if (mesh != boundMesh) {
            glBindBuffer(GL_ARRAY_BUFFER, mesh->vertices);
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh->indices);
            const GLsizei stride = sizeof(XVertex);
            glVertexPointer(3, GL_FLOAT, stride, reinterpret_cast<void*>(0));
            glNormalPointer(GL_FLOAT, stride, reinterpret_cast<void*>(12));
            glTexCoordPointer(2, GL_FLOAT, stride, reinterpret_cast<void*>(24));
            boundMesh = mesh;
        }
        for (int i = 0; i < mesh->rangeCount; ++i) {
            if (mesh->count[i] == 0)
                continue;
            if (mesh->textures[i] != boundTexture) {
                glBindTexture(GL_TEXTURE_2D, mesh->textures[i]);
                boundTexture = mesh->textures[i];
            }
            glDrawElements(GL_TRIANGLES, mesh->count[i], GL_UNSIGNED_SHORT,
                           reinterpret_cast<void*>(uintptr_t(mesh->first[i]) * 2));
        }
    }
};

// The fixed state of the program's device, light and material.
void setUpState() {
    glViewport(0, 0, width, height);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CW);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_LIGHTING);
    const GLfloat ambient[4] = {32 / 255.0f, 32 / 255.0f, 32 / 255.0f, 32 / 255.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    const GLfloat white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 0};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
    const GLfloat diffuse[4] = {1, 1, 1, 0};
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, black);
    glLightfv(GL_LIGHT0, GL_AMBIENT, black);
    glEnable(GL_LIGHT0);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glClearColor(0, 0, 0, 1);
    glClearDepth(1.0);
}

// The shaders' program and the location of their light direction (eye space), or 0.
GLuint shaderProgram = 0;
GLint towardsLightLocation = -1;

const char* const vertexShader = R"(#version 120
uniform vec3 towardsLight;
varying vec4 colour;
void main() {
    gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
    float lit = max(dot(gl_NormalMatrix * gl_Normal, towardsLight), 0.0);
    colour = vec4(min(vec3(32.0 / 255.0 + lit), 1.0), 1.0);
    gl_TexCoord[0] = gl_MultiTexCoord0;
}
)";

const char* const fragmentShader = R"(#version 120
uniform sampler2D picture;
varying vec4 colour;
void main() {
    gl_FragColor = texture2D(picture, gl_TexCoord[0].st) * colour;
}
)";

bool useShaders() {
    auto compile = [](GLenum kind, const char* source) {
        const GLuint shader = glCreateShader(kind);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        GLint compiled = GL_FALSE;
        glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
        return compiled == GL_TRUE ? shader : 0;
    };
    const GLuint vertex = compile(GL_VERTEX_SHADER, vertexShader);
    const GLuint fragment = compile(GL_FRAGMENT_SHADER, fragmentShader);
    if (vertex == 0 || fragment == 0)
        return false;
    shaderProgram = glCreateProgram();
    glAttachShader(shaderProgram, vertex);
    glAttachShader(shaderProgram, fragment);
    glLinkProgram(shaderProgram);
    GLint linked = GL_FALSE;
    glGetProgramiv(shaderProgram, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE)
        return false;
    glUseProgram(shaderProgram);
    glUniform1i(glGetUniformLocation(shaderProgram, "picture"), 0);
    towardsLightLocation = glGetUniformLocation(shaderProgram, "towardsLight");
    return true;
}

void drawFrame(Scene& scene) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    camera.updateView(); // without a device: follows the selected car only
    const CameraEye eye = cameraEye(camera);
    const float eyePoint[3] = {float(eye.x), float(eye.y), float(eye.z)};
    const float target[3] = {float(camera.targetX), float(camera.targetY), float(camera.targetZ)};
    const Matrix viewMatrix = view(eyePoint, target);
    const Matrix projectionMatrix = projection(float(camera.fieldOfView));
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(&projectionMatrix.m[0][0]);
    glMatrixMode(GL_MODELVIEW);
    // The light's direction is given in world space, so it goes in under the view alone.
    glLoadMatrixf(&viewMatrix.m[0][0]);
    const GLfloat towardsLight[4] = {-1, 2, 1, 0};
    glLightfv(GL_LIGHT0, GL_POSITION, towardsLight);
    if (shaderProgram != 0) {
        // The same direction turned into eye space and normalised, as OpenGL does for a light.
        float eyeLight[3] = {};
        for (int j = 0; j < 3; ++j)
            for (int i = 0; i < 3; ++i)
                eyeLight[j] += towardsLight[i] * viewMatrix.m[i][j];
        const float length = std::sqrt(eyeLight[0] * eyeLight[0] + eyeLight[1] * eyeLight[1] +
                                       eyeLight[2] * eyeLight[2]);
        glUniform3f(towardsLightLocation, eyeLight[0] / length, eyeLight[1] / length,
                    eyeLight[2] / length);
    }
    for (INT i = 0; i < track.segmentCount; ++i)
        scene.draw(*track.segments[i], viewMatrix);
    for (INT k = 0; k < train.carCount; ++k) {
        scene.draw(*train.cars[k]->frontBogie, viewMatrix);
        scene.draw(*train.cars[k]->rearBogie, viewMatrix);
        scene.draw(*train.cars[k], viewMatrix);
    }
}

// What a timed run leaves out of each frame.
enum class Without { nothing, texturing, fragments, drawing };

bool writePicture(const char* path) {
    std::vector<uint8_t> rows(size_t(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr)
        return false;
    std::fprintf(file, "P6\n%d %d\n255\n", width, height);
    for (int y = height - 1; y >= 0; --y)
        std::fwrite(&rows[size_t(y) * width * 3], 1, size_t(width) * 3, file);
    return std::fclose(file) == 0;
}

// Draws the picture twice, the stencil buffer counting at each pixel first the fragments that
// reach the depth test, then those that pass it, and prints both per pixel.
void printOverdraw(Scene& scene) {
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 0, 0xff);
    std::vector<uint8_t> counts(size_t(width) * height);
    double perPixel[2] = {};
    for (int pass = 0; pass < 2; ++pass) {
        glStencilOp(GL_KEEP, pass == 0 ? GL_INCR : GL_KEEP, GL_INCR);
        glClearStencil(0);
        glClear(GL_STENCIL_BUFFER_BIT);
        drawFrame(scene);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, counts.data());
        uint64_t sum = 0;
        for (uint8_t count : counts)
            sum += count;
        perPixel[pass] = double(sum) / double(counts.size());
    }
    glDisable(GL_STENCIL_TEST);
    std::printf("fragments per pixel: %.3f rasterized, %.3f shaded\n", perPixel[0], perPixel[1]);
}

} // namespace

int main(int argc, char** argv) {
    const bool shaders = argc > 1 && std::strcmp(argv[1], "--shaders") == 0;
    if (shaders) {
        --argc;
        ++argv;
    }
    // --without names one part of the frame's work; shaders always sample their texture.
    Without without = Without::nothing;
    bool understood = true;
    if (argc > 2 && std::strcmp(argv[1], "--without") == 0) {
        const char* part = argv[2];
        without = std::strcmp(part, "texturing") == 0   ? Without::texturing
                  : std::strcmp(part, "fragments") == 0 ? Without::fragments
                  : std::strcmp(part, "drawing") == 0   ? Without::drawing
                                                        : Without::nothing;
        understood = without != Without::nothing && !shaders;
        argc -= 2;
        argv += 2;
    }
    const bool still = argc == 7 && std::strcmp(argv[1], "--picture") == 0;
    const bool overdraw = argc == 6 && std::strcmp(argv[1], "--overdraw") == 0;
    if (!understood || (!still && !overdraw && argc > 2) ||
        ((still || overdraw) && without != Without::nothing)) {
        std::fprintf(stderr, "usage: scene_reference [--shaders] <seconds> | --without "
                             "texturing|fragments|drawing <seconds> | [--shaders] --picture "
                             "<out.ppm> <train position> <yaw> <pitch> <distance> | --overdraw "
                             "<train position> <yaw> <pitch> <distance>\n");
        return 2;
    }
    // The same heap setting as the program's entry point, so that the renderer's per-frame
    // memory costs both the same.
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    SDL_Window* window = openGlWindow("scene_reference", width, height, overdraw ? 8 : 0);
    if (window == nullptr)
        return 1;

    // The program's start-up: track, types, the freight train at 500 and the camera.
    buildTrack();
    buildRollingStockTypes();
    buildConsist();
    Scene scene;
    if (!scene.load()) {
        std::fprintf(stderr, "scene_reference: cannot load meshes/ of the working folder\n");
        return 1;
    }
    setUpState();
    if (shaders && !useShaders()) {
        std::fprintf(stderr, "scene_reference: the shaders cannot be used here\n");
        return 1;
    }
    if (without == Without::texturing)
        glDisable(GL_TEXTURE_2D);
    if (without == Without::fragments || without == Without::drawing) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, 1, 1);
    }
    camera.pitch = 0.39269909262657166;
    camera.followSelectedCar = true;
    camera.distance = 3000.0;
    int status = 0;
    if (still) {
        train.place(std::atof(argv[3]), false);
        camera.yaw = std::atof(argv[4]);
        camera.pitch = std::atof(argv[5]);
        camera.distance = std::atof(argv[6]);
        drawFrame(scene);
        status = writePicture(argv[2]) ? 0 : 1;
    } else if (overdraw) {
        train.place(std::atof(argv[2]), false);
        camera.yaw = std::atof(argv[3]);
        camera.pitch = std::atof(argv[4]);
        camera.distance = std::atof(argv[5]);
        printOverdraw(scene);
    } else {
        train.place(trainStartPosition, false);
        train.resetClock();
        train.speed = trainStartSpeed;
        train.targetSpeed = trainStartTargetSpeed;
        const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
        const Uint64 frequency = SDL_GetPerformanceFrequency();
        const Uint64 start = SDL_GetPerformanceCounter();
        Uint64 intervalStart = start, intervalFrames = 0, now = start;
        while (now - start < Uint64(seconds * double(frequency))) {
            // A quit request (SDL turns SIGTERM into one) ends the run.
            SDL_Event event;
            bool quit = false;
            while (SDL_PollEvent(&event))
                quit = quit || event.type == SDL_QUIT;
            if (quit)
                break;
            train.update();
            if (without == Without::drawing)
                glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            else
                drawFrame(scene);
            SDL_GL_SwapWindow(window);
            ++intervalFrames;
            now = SDL_GetPerformanceCounter();
            if (now - intervalStart >= 2 * frequency) {
                std::fprintf(stderr, "frame rate: %.1f fps\n",
                             double(intervalFrames) * double(frequency) /
                                 double(now - intervalStart));
                intervalStart = now;
                intervalFrames = 0;
            }
        }
    }
    train.clear();
    SDL_GL_DeleteContext(SDL_GL_GetCurrentContext());
    SDL_DestroyWindow(window);
    SDL_Quit();
    return status;
}
