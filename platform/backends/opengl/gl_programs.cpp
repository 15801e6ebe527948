// gl_programs.cpp: the shader programs that stand in for Direct3D's fixed-function pipeline.
// One vertex and one fragment source serve every draw; a key (renderer.h) becomes #define
// lines in front of them, so each distinct key compiles to one program, once, kept in the
// renderer's cache. The same sources compile as GLSL 3.30 (desktop core profile) and GLSL ES
// 3.00: only the version line and the precision line differ.
#include "gl_internal.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace renderer {
namespace {

#ifdef VARNEL_GL_ES
constexpr const char* versionLines =
    "#version 300 es\nprecision highp float;\nprecision highp int;\n";
#else
constexpr const char* versionLines = "#version 330 core\n";
#endif

// Attribute locations, as gl_draw.cpp sets up the vertex arrays.
constexpr const char* vertexSource = R"(
layout(location = 0) in vec4 a_position;
layout(location = 1) in vec3 a_normal;
layout(location = 2) in vec4 a_diffuse;  // B, G, R, A bytes
layout(location = 3) in vec4 a_specular; // likewise
layout(location = 4) in vec4 a_texCoord;

#ifdef PRETRANSFORMED
// x and y scale and offset from screen pixels to clip space.
uniform vec4 u_viewport;
#else
// World-view-projection rows 0-3 (in OpenGL's clip space), world-view rows 4-7, normal
// transform rows 8-10.
uniform vec4 u_transforms[11];
#endif
#ifdef LIGHTING
// Global ambient, material diffuse, ambient, specular, emissive, power; then 7 per light:
// diffuse, specular, ambient, position, direction, attenuation, spot.
uniform vec4 u_lighting[6 + 7 * LIGHT_COUNT];
#endif

COLOUR_QUALIFIER out vec4 v_diffuse;
COLOUR_QUALIFIER out vec4 v_specular;
out vec2 v_texCoord;

#ifdef LIGHTING
const int lightTypes[8] = int[8](LIGHT_TYPES);

vec4 materialColour(int source, vec4 material, vec4 diffuse, vec4 specular) {
    return source == 1 ? diffuse : source == 2 ? specular : material;
}
#endif

void main() {
    vec4 diffuse = a_diffuse.zyxw;
    vec4 specular = a_specular.zyxw;
#ifdef PRETRANSFORMED
    gl_Position = vec4(a_position.xy * u_viewport.xy + u_viewport.zw, 2.0 * a_position.z - 1.0, 1.0);
    v_diffuse = diffuse;
    v_specular = specular;
#else
    mat4 toClip = mat4(u_transforms[0], u_transforms[1], u_transforms[2], u_transforms[3]);
    gl_Position = toClip * vec4(a_position.xyz, 1.0);
#ifdef LIGHTING
    mat4 worldView = mat4(u_transforms[4], u_transforms[5], u_transforms[6], u_transforms[7]);
    vec4 viewPosition = worldView * vec4(a_position.xyz, 1.0);
    mat3 normalTransform = mat3(u_transforms[8].xyz, u_transforms[9].xyz, u_transforms[10].xyz);
    vec3 normal = normalTransform * a_normal;
#ifdef NORMALIZE_NORMALS
    if (dot(normal, normal) > 0.0)
        normal = normalize(normal);
#endif
    vec3 toViewer = LOCAL_VIEWER ? -normalize(viewPosition.xyz) : vec3(0.0, 0.0, -1.0);
    vec3 ambientLight = vec3(0.0);
    vec3 diffuseLight = vec3(0.0);
    vec3 specularLight = vec3(0.0);
    for (int i = 0; i < LIGHT_COUNT; ++i) {
        int at = 6 + 7 * i;
        vec3 towards;
        float strength = 1.0;
        if (lightTypes[i] == 3) {
            towards = -u_lighting[at + 4].xyz;
        } else {
            vec3 offset = u_lighting[at + 3].xyz - viewPosition.xyz;
            float range = length(offset);
            towards = offset / range;
            vec4 attenuation = u_lighting[at + 5];
            strength = range > attenuation.w ? 0.0
                : 1.0 / (attenuation.x + attenuation.y * range
                         + attenuation.z * range * range);
            if (lightTypes[i] == 2) {
                vec4 spot = u_lighting[at + 6];
                float rho = dot(-towards, u_lighting[at + 4].xyz);
                strength *= rho > spot.x ? 1.0
                          : rho <= spot.y ? 0.0
                          : pow((rho - spot.y) / (spot.x - spot.y), spot.z);
            }
        }
        float facing = dot(normal, towards);
        ambientLight += u_lighting[at + 2].rgb * strength;
        if (facing > 0.0) {
            diffuseLight += u_lighting[at].rgb * (facing * strength);
#ifdef SPECULAR
            float halfway = dot(normal, normalize(towards + toViewer));
            if (halfway > 0.0)
                specularLight += u_lighting[at + 1].rgb * (pow(halfway, u_lighting[5].x) * strength);
#endif
        }
    }
    vec4 materialDiffuse = materialColour(DIFFUSE_SOURCE, u_lighting[1], diffuse, specular);
    vec4 materialAmbient = materialColour(AMBIENT_SOURCE, u_lighting[2], diffuse, specular);
    vec4 materialSpecular = materialColour(SPECULAR_SOURCE, u_lighting[3], diffuse, specular);
    vec4 materialEmissive = materialColour(EMISSIVE_SOURCE, u_lighting[4], diffuse, specular);
    vec3 lit = materialEmissive.rgb + materialAmbient.rgb * (u_lighting[0].rgb + ambientLight)
             + materialDiffuse.rgb * diffuseLight;
    v_diffuse = vec4(clamp(lit, 0.0, 1.0), materialDiffuse.a);
    v_specular = vec4(clamp(materialSpecular.rgb * specularLight, 0.0, 1.0), 0.0);
#else
    v_diffuse = diffuse;
    v_specular = specular;
#endif
#endif
    v_texCoord = a_texCoord.xy;
}
)";

constexpr const char* fragmentSource = R"(
COLOUR_QUALIFIER in vec4 v_diffuse;
COLOUR_QUALIFIER in vec4 v_specular;
in vec2 v_texCoord;

uniform sampler2D u_texture;
// The texture factor, and the alpha test's reference in x.
uniform vec4 u_stage[2];

layout(location = 0) out vec4 o_colour;

// Argument sources: 0 diffuse (the current colour of stage 0), 1 specular, 2 texture,
// 3 factor; 16 complements, 32 replicates alpha.
vec4 argument(int arg, vec4 texel) {
    int source = arg & 15;
    vec4 value = source == 1 ? v_specular : source == 2 ? texel : source == 3 ? u_stage[0] : v_diffuse;
    if ((arg & 16) != 0)
        value = vec4(1.0) - value;
    if ((arg & 32) != 0)
        value = value.aaaa;
    return value;
}

// Operations as renderer.h numbers them; DISABLE keeps the current value. Every argument lies
// in 0..1, so selecting and modulating stay there and only the other results are clamped
// (the colour buffer clamps what it stores as well).
vec4 operation(int op, vec4 a, vec4 b, vec4 texel) {
    if (op == 1) return a;
    if (op == 2) return b;
    if (op == 3) return a * b;
    vec4 result = v_diffuse;
    if (op == 4) result = 2.0 * a * b;
    else if (op == 5) result = 4.0 * a * b;
    else if (op == 6) result = a + b;
    else if (op == 7) result = a + b - 0.5;
    else if (op == 8) result = 2.0 * (a + b - 0.5);
    else if (op == 9) result = a - b;
    else if (op == 10) result = mix(b, a, v_diffuse.a);
    else if (op == 11) result = mix(b, a, texel.a);
    else if (op == 12) result = mix(b, a, u_stage[0].a);
    return clamp(result, 0.0, 1.0);
}

bool passes(int test, float alpha, float reference) {
    return test == 0 ? false
         : test == 1 ? alpha < reference
         : test == 2 ? alpha == reference
         : test == 3 ? alpha <= reference
         : test == 4 ? alpha > reference
         : test == 5 ? alpha != reference
         : test == 6 ? alpha >= reference
         : true;
}

void main() {
    vec4 colour = v_diffuse;
#ifdef TEXTURED
    vec4 texel = texture(u_texture, v_texCoord);
    colour.rgb = operation(COLOUR_OP, argument(COLOUR_ARG1, texel), argument(COLOUR_ARG2, texel), texel).rgb;
    colour.a = operation(ALPHA_OP, argument(ALPHA_ARG1, texel), argument(ALPHA_ARG2, texel), texel).a;
#endif
#ifdef SPECULAR_ADD
    colour.rgb = min(colour.rgb + v_specular.rgb, 1.0);
#endif
#ifdef ALPHA_TEST
    if (!passes(ALPHA_TEST, clamp(colour.a, 0.0, 1.0), u_stage[1].x))
        discard;
#endif
    o_colour = colour;
}
)";

int compiledPrograms = 0;
double compileMilliseconds = 0.0;

// The #define lines of a key.
std::string definitions(const ProgramKey& key) {
    std::string text;
    auto define = [&text](const char* name, int value) {
        text += "#define ";
        text += name;
        text += ' ';
        text += std::to_string(value);
        text += '\n';
    };
    text += key.flatShading ? "#define COLOUR_QUALIFIER flat\n" : "#define COLOUR_QUALIFIER\n";
    if (key.pretransformed)
        text += "#define PRETRANSFORMED\n";
    if (key.lighting) {
        text += "#define LIGHTING\n";
        define("LIGHT_COUNT", key.lightCount);
        text += "#define LIGHT_TYPES ";
        for (int i = 0; i < maxLights; ++i) {
            text += std::to_string(int(key.lights[i]));
            text += i + 1 < maxLights ? "," : "\n";
        }
        text += key.localViewer ? "#define LOCAL_VIEWER true\n" : "#define LOCAL_VIEWER false\n";
        if (key.normalizeNormals)
            text += "#define NORMALIZE_NORMALS\n";
        if (key.specularEnable)
            text += "#define SPECULAR\n";
        define("DIFFUSE_SOURCE", int(key.diffuseSource));
        define("AMBIENT_SOURCE", int(key.ambientSource));
        define("SPECULAR_SOURCE", int(key.specularSource));
        define("EMISSIVE_SOURCE", int(key.emissiveSource));
    }
    if (key.textured) {
        text += "#define TEXTURED\n";
        define("COLOUR_OP", int(key.colourOp));
        define("COLOUR_ARG1", key.colourArg1);
        define("COLOUR_ARG2", key.colourArg2);
        define("ALPHA_OP", int(key.alphaOp));
        define("ALPHA_ARG1", key.alphaArg1);
        define("ALPHA_ARG2", key.alphaArg2);
    }
    if (key.specularEnable)
        text += "#define SPECULAR_ADD\n";
    if (key.alphaTest != Compare::always)
        define("ALPHA_TEST", int(key.alphaTest));
    return text;
}

GLuint compile(GLenum type, const std::string& header, const char* body) {
    const GLuint shader = glCreateShader(type);
    const char* parts[3] = {versionLines, header.c_str(), body};
    glShaderSource(shader, 3, parts, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        char log[1024] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "shader compilation failed:\n%s%s", header.c_str(), log);
    }
    return shader;
}

std::unique_ptr<Program> build(const ProgramKey& key) {
    const auto start = std::chrono::steady_clock::now();
    const std::string header = definitions(key);
    const GLuint vertex = compile(GL_VERTEX_SHADER, header, vertexSource);
    const GLuint fragment = compile(GL_FRAGMENT_SHADER, header, fragmentSource);
    auto program = std::make_unique<Program>();
    program->name = glCreateProgram();
    glAttachShader(program->name, vertex);
    glAttachShader(program->name, fragment);
    glLinkProgram(program->name);
    GLint linked = GL_FALSE;
    glGetProgramiv(program->name, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        char log[1024] = {};
        glGetProgramInfoLog(program->name, sizeof log, nullptr, log);
        std::fprintf(stderr, "shader program link failed:\n%s%s", header.c_str(), log);
    }
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    program->transformsAt = glGetUniformLocation(program->name, "u_transforms");
    program->lightingAt = glGetUniformLocation(program->name, "u_lighting");
    program->stageAt = glGetUniformLocation(program->name, "u_stage");
    program->viewportAt = glGetUniformLocation(program->name, "u_viewport");
    glUseProgram(program->name);
    glUniform1i(glGetUniformLocation(program->name, "u_texture"), 0);
    ++compiledPrograms;
    compileMilliseconds +=
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return program;
}

// Sends a group of values when it differs from what the program holds.
// Row-vector matrices: a then b.
void multiply(const float* a, const float* b, float* result) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a[i * 4 + k] * b[k * 4 + j];
            result[i * 4 + j] = sum;
        }
}

// The programs' u_transforms holds 11 vectors: two matrices and the normal transform's three
// padded rows.
static_assert(sizeof(Transforms) == 44 * sizeof(float), "u_transforms holds 11 vectors");

// Sends the transforms: world-view-projection followed by the step from Direct3D's clip space
// to OpenGL's (depth 0..w to -w..w, pixel centres moved by the viewport's shift), world-view
// and the normal transform.
void sendTransforms(GLint location, const Transforms& transforms, const float* shift) {
    float toOpenGl[16] = {};
    toOpenGl[0] = 1.0f;
    toOpenGl[5] = 1.0f;
    toOpenGl[10] = 2.0f;
    toOpenGl[15] = 1.0f;
    toOpenGl[12] = shift[0];
    toOpenGl[13] = shift[1];
    toOpenGl[14] = -1.0f;
    float projection[16];
    multiply(transforms.projection, toOpenGl, projection);
    float values[44];
    multiply(transforms.worldView, projection, values);
    std::memcpy(values + 16, transforms.worldView, sizeof transforms.worldView);
    std::memcpy(values + 32, transforms.normal, sizeof transforms.normal);
    glUniform4fv(location, 11, values);
}

template <typename Values>
void send(bool sent, Values& held, const Values& wanted, GLint location, GLsizei vectors) {
    if (location < 0 || (sent && std::memcmp(&held, &wanted, sizeof wanted) == 0))
        return;
    std::memcpy(&held, &wanted, sizeof wanted);
    glUniform4fv(location, vectors, reinterpret_cast<const GLfloat*>(&wanted));
}

} // namespace

size_t ProgramKeyHash::operator()(const ProgramKey& key) const {
    // FNV-1a over the key's bytes: every field is a byte, so there is no padding.
    static_assert(sizeof(ProgramKey) == 19 + maxLights);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&key);
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < sizeof key; ++i)
        hash = (hash ^ bytes[i]) * 1099511628211ull;
    // A 32-bit size_t (WebAssembly) keeps the low half.
    return size_t(hash);
}

void useProgram(Renderer* renderer, const DrawSetup& setup) {
    const ProgramKey& key = setup.key;
    if (renderer->current == nullptr || !(renderer->currentKey == key)) {
        auto found = renderer->programs.find(key);
        if (found == renderer->programs.end())
            found = renderer->programs.emplace(key, build(key)).first;
        Program* program = found->second.get();
        glUseProgram(program->name);
        renderer->current = program;
        renderer->currentKey = key;
    }
    Program* program = renderer->current;
    const bool sent = program->sent;
    if (key.pretransformed) {
        send(sent, program->viewport, renderer->pretransformedViewport, program->viewportAt, 1);
    } else if (program->transformsAt >= 0 &&
               (!sent || std::memcmp(&program->transforms, setup.transforms, sizeof(Transforms)) ||
                std::memcmp(program->viewport, renderer->transformedViewport, 4 * sizeof(float)))) {
        program->transforms = *setup.transforms;
        std::memcpy(program->viewport, renderer->transformedViewport, 4 * sizeof(float));
        sendTransforms(program->transformsAt, program->transforms, program->viewport);
    }
    if (key.lighting) {
        // Only the lights the program reads: the first of the group's vectors are the
        // material's, then seven per light.
        const GLsizei vectors = 6 + 7 * key.lightCount;
        const size_t bytes = size_t(vectors) * 4 * sizeof(float);
        if (program->lightingAt >= 0 &&
            (!sent || std::memcmp(&program->lighting, setup.lighting, bytes) != 0)) {
            std::memcpy(&program->lighting, setup.lighting, bytes);
            glUniform4fv(program->lightingAt, vectors,
                         reinterpret_cast<const GLfloat*>(setup.lighting));
        }
    }
    send(sent, program->stage, setup.constants, program->stageAt, 2);
    program->sent = true;
}

void deletePrograms(Renderer* renderer) {
    for (auto& entry : renderer->programs)
        glDeleteProgram(entry.second->name);
    renderer->programs.clear();
    renderer->current = nullptr;
}

int compiledProgramCount() {
    return compiledPrograms;
}

double programCompileMilliseconds() {
    return compileMilliseconds;
}

} // namespace renderer
