// x_file_objects.cpp: template declarations and data objects of a .X file. Values are read as
// the object's template lays them out; separators between them are not required (writers
// differ in where they put them). Before an array is read, its length, the product of its
// dimensions, is checked against the bytes left in the file, each value taking at least one,
// so no count can make the reader allocate or loop beyond the file's size.
#include "x_file_objects.h"

#include <algorithm>
#include <cstring>

namespace {

// Objects nested in objects, and templates' members of template types.
constexpr int maxObjectDepth = 256;
constexpr int maxMemberDepth = 32;
// The most bytes a token already read ahead can take, which the bytes left do not count.
constexpr uint64_t lookaheadBytes = 16;

// The templates of D3DX's mesh files, known whether or not a file declares them.
constexpr const char* standardTemplates = R"(
template Header { WORD major; WORD minor; DWORD flags; }
template Vector { FLOAT x; FLOAT y; FLOAT z; }
template Coords2d { FLOAT u; FLOAT v; }
template Matrix4x4 { array FLOAT matrix[16]; }
template ColorRGBA { FLOAT red; FLOAT green; FLOAT blue; FLOAT alpha; }
template ColorRGB { FLOAT red; FLOAT green; FLOAT blue; }
template IndexedColor { DWORD index; ColorRGBA indexColor; }
template Boolean { WORD truefalse; }
template Boolean2d { Boolean u; Boolean v; }
template MaterialWrap { Boolean u; Boolean v; }
template TextureFilename { STRING filename; }
template Material { ColorRGBA faceColor; FLOAT power; ColorRGB specularColor;
                    ColorRGB emissiveColor; [...] }
template MeshFace { DWORD nFaceVertexIndices; array DWORD faceVertexIndices[nFaceVertexIndices]; }
template MeshFaceWraps { DWORD nFaceWrapValues; array Boolean2d faceWrapValues[nFaceWrapValues]; }
template MeshTextureCoords { DWORD nTextureCoords; array Coords2d textureCoords[nTextureCoords]; }
template MeshMaterialList { DWORD nMaterials; DWORD nFaceIndexes;
                            array DWORD faceIndexes[nFaceIndexes]; [Material] }
template MeshNormals { DWORD nNormals; array Vector normals[nNormals]; DWORD nFaceNormals;
                       array MeshFace faceNormals[nFaceNormals]; }
template MeshVertexColors { DWORD nVertexColors; array IndexedColor vertexColors[nVertexColors]; }
template Mesh { DWORD nVertices; array Vector vertices[nVertices]; DWORD nFaces;
                array MeshFace faces[nFaces]; [...] }
template FrameTransformMatrix { Matrix4x4 frameMatrix; }
template Frame { [...] }
template FloatKeys { DWORD nValues; array FLOAT values[nValues]; }
template TimedFloatKeys { DWORD time; FloatKeys tfkeys; }
template AnimationKey { DWORD keyType; DWORD nKeys; array TimedFloatKeys keys[nKeys]; }
template AnimationOptions { DWORD openclosed; DWORD positionquality; }
template Animation { [...] }
template AnimationSet { [Animation] }
template AnimTicksPerSecond { DWORD AnimTicksPerSecond; }
template Guid { DWORD data1; WORD data2; WORD data3; array UCHAR data4[8]; }
template StringProperty { STRING key; STRING value; }
template PropertyBag { [...] }
template ExternalVisual { Guid guidExternalVisual; [...] }
template RightHanded { DWORD bRightHanded; }
template XSkinMeshHeader { WORD nMaxSkinWeightsPerVertex; WORD nMaxSkinWeightsPerFace;
                           WORD nBones; }
template VertexDuplicationIndices { DWORD nIndices; DWORD nOriginalVertices;
                                    array DWORD indices[nIndices]; }
template SkinWeights { STRING transformNodeName; DWORD nWeights;
                       array DWORD vertexIndices[nWeights]; array FLOAT weights[nWeights];
                       Matrix4x4 matrixOffset; }
template FVFData { DWORD dwFVF; DWORD nDWords; array DWORD data[nDWords]; }
template VertexElement { DWORD Type; DWORD Method; DWORD Usage; DWORD UsageIndex; }
template DeclData { DWORD nElements; array VertexElement Elements[nElements]; DWORD nDWords;
                    array DWORD data[nDWords]; }
template EffectFloats { DWORD nFloats; array FLOAT Floats[nFloats]; }
template EffectString { STRING Value; }
template EffectDWord { DWORD Value; }
template EffectParamFloats { STRING ParamName; DWORD nFloats; array FLOAT Floats[nFloats]; }
template EffectParamString { STRING ParamName; STRING Value; }
template EffectParamDWord { STRING ParamName; DWORD Value; }
template EffectInstance { STRING EffectFilename; [...] }
template CompressedAnimationSet { DWORD CompressedBlockSize; FLOAT TicksPerSec;
                                  DWORD PlaybackType; DWORD BufferLength;
                                  array DWORD CompressedData[BufferLength]; }
)";

unsigned char upper(char c) {
    return static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c);
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (upper(a[i]) != upper(b[i]))
            return false;
    }
    return true;
}

XPrimitive primitiveOf(std::string_view type) {
    for (const char* name : {"WORD", "DWORD", "SWORD", "SDWORD", "CHAR", "UCHAR", "BYTE"})
        if (equalIgnoringCase(type, name))
            return XPrimitive::integer;
    for (const char* name : {"FLOAT", "DOUBLE"})
        if (equalIgnoringCase(type, name))
            return XPrimitive::real;
    for (const char* name : {"STRING", "LPSTR", "CSTRING", "UNICODE"})
        if (equalIgnoringCase(type, name))
            return XPrimitive::string;
    return XPrimitive::none;
}

// The next token that is not a separator.
XToken significant(XTokenizer& tokens) {
    XToken token = tokens.next();
    while (token.kind == XTokenKind::separator)
        token = tokens.next();
    return token;
}

} // namespace

bool XFile::NameLess::operator()(std::string_view a, std::string_view b) const {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        if (upper(a[i]) != upper(b[i]))
            return upper(a[i]) < upper(b[i]);
    }
    return a.size() < b.size();
}

const XFile::Template* XFile::find(std::string_view name) const {
    const auto found = templates.find(name);
    return found == templates.end() ? nullptr : &found->second;
}

// template Name { <GUID> members [restrictions] }; a member is [array] Type name [dims];
bool XFile::parseTemplate(XTokenizer& tokens) {
    const XToken name = tokens.next();
    if (name.kind != XTokenKind::name || tokens.next().kind != XTokenKind::openBrace)
        return false;
    Template declared;
    if (tokens.peek().kind == XTokenKind::guid)
        tokens.next();
    for (;;) {
        XToken token = significant(tokens);
        if (token.kind == XTokenKind::closeBrace)
            break;
        if (token.kind == XTokenKind::openBracket) { // restrictions: which objects it may hold
            do
                token = tokens.next();
            while (token.kind != XTokenKind::closeBracket && token.kind != XTokenKind::end &&
                   token.kind != XTokenKind::malformed);
            if (token.kind != XTokenKind::closeBracket)
                return false;
            continue;
        }
        if (token.kind != XTokenKind::name)
            return false;
        const bool array = equalIgnoringCase(token.text, "array");
        if (array)
            token = tokens.next();
        const XToken memberName = tokens.next();
        if (token.kind != XTokenKind::name || memberName.kind != XTokenKind::name)
            return false;
        Member member{std::string(token.text),
                      std::string(memberName.text),
                      {},
                      primitiveOf(token.text),
                      find(token.text)};
        if (member.primitive == XPrimitive::none && member.nested == nullptr)
            return false;
        while (array && tokens.peek().kind == XTokenKind::openBracket) {
            tokens.next();
            const XToken dimension = tokens.next();
            if (tokens.next().kind != XTokenKind::closeBracket)
                return false;
            if (dimension.kind == XTokenKind::integer && dimension.integer >= 0)
                member.dimensions.push_back(std::to_string(dimension.integer));
            else if (dimension.kind == XTokenKind::name)
                member.dimensions.push_back(std::string(dimension.text));
            else
                return false;
        }
        if (array && member.dimensions.empty())
            return false;
        declared.holdsValues = declared.holdsValues || member.primitive != XPrimitive::none ||
                               member.nested->holdsValues;
        declared.members.push_back(std::move(member));
    }
    templates[std::string(name.text)] = std::move(declared);
    return true;
}

bool XFile::readValue(XTokenizer& tokens, const Member& member, XDataObject& object, int depth) {
    const XPrimitive primitive = member.primitive;
    if (primitive == XPrimitive::none)
        return depth < maxMemberDepth && readMembers(tokens, *member.nested, object, depth + 1);
    const XToken token = significant(tokens);
    XValue value{XValue::Kind::integer, 0, 0.0f, {}};
    switch (primitive) {
    case XPrimitive::integer:
        if (token.kind != XTokenKind::integer || token.integer < INT32_MIN ||
            token.integer > UINT32_MAX)
            return false;
        value.integer = static_cast<uint32_t>(token.integer);
        value.real = static_cast<float>(token.integer);
        break;
    case XPrimitive::real:
        if (token.kind != XTokenKind::integer && token.kind != XTokenKind::real)
            return false;
        value.kind = XValue::Kind::real;
        value.real = static_cast<float>(token.real);
        break;
    default:
        if (token.kind != XTokenKind::string)
            return false;
        value.kind = XValue::Kind::string;
        value.text = token.text;
        break;
    }
    object.values.push_back(value);
    return true;
}

bool XFile::readMembers(XTokenizer& tokens, const Template& declared, XDataObject& object,
                        int depth) {
    std::vector<size_t> valueOfMember(declared.members.size(), SIZE_MAX);
    for (size_t m = 0; m < declared.members.size(); ++m) {
        const Member& member = declared.members[m];
        uint64_t count = 1;
        for (const std::string& dimension : member.dimensions) {
            uint64_t size = 0;
            if (dimension[0] >= '0' && dimension[0] <= '9') {
                size = std::stoull(dimension);
            } else {
                size_t earlier = 0;
                while (earlier < m && declared.members[earlier].name != dimension)
                    ++earlier;
                if (earlier == m || valueOfMember[earlier] == SIZE_MAX ||
                    object.values[valueOfMember[earlier]].kind != XValue::Kind::integer)
                    return false;
                size = object.values[valueOfMember[earlier]].integer;
            }
            const uint64_t limit = tokens.remaining() + lookaheadBytes;
            if (size > limit || (count *= size) > limit)
                return false;
        }
        if (member.primitive == XPrimitive::none && !member.nested->holdsValues)
            continue; // nothing to read, however many there are
        if (member.dimensions.empty())
            valueOfMember[m] = object.values.size();
        for (uint64_t i = 0; i < count; ++i) {
            if (!readValue(tokens, member, object, depth))
                return false;
        }
    }
    return true;
}

// Type [name] { [<GUID>] values, then nested objects and references { name } }
XDataObject* XFile::parseObject(XTokenizer& tokens, std::string_view type, int depth) {
    const auto found = templates.find(type);
    if (found == templates.end() || depth > maxObjectDepth)
        return nullptr;
    const Template* declared = &found->second;
    XDataObject& object = objects.emplace_back();
    object.type = found->first;
    if (tokens.peek().kind == XTokenKind::name)
        object.name = tokens.next().text;
    if (tokens.next().kind != XTokenKind::openBrace)
        return nullptr;
    if (tokens.peek().kind == XTokenKind::guid)
        tokens.next();
    if (!readMembers(tokens, *declared, object, 0))
        return nullptr;
    for (;;) {
        const XToken token = significant(tokens);
        if (token.kind == XTokenKind::closeBrace)
            return &object;
        if (token.kind == XTokenKind::openBrace) {
            XToken target = tokens.next();
            if (target.kind == XTokenKind::name) {
                references.push_back({&object, object.children.size(), target.text});
                object.children.push_back(nullptr);
                object.referenced.push_back(true);
                target = tokens.next();
            }
            if (target.kind == XTokenKind::guid) // a reference by its GUID alone names nothing
                target = tokens.next();
            if (target.kind != XTokenKind::closeBrace)
                return nullptr;
            continue;
        }
        if (token.kind != XTokenKind::name)
            return nullptr;
        const XDataObject* child = parseObject(tokens, token.text, depth + 1);
        if (child == nullptr)
            return nullptr;
        object.children.push_back(child);
        object.referenced.push_back(false);
    }
}

bool XFile::parse(const XFileBody& body) {
    if (templates.empty()) {
        XFileBody standard;
        standard.bytes = standardTemplates;
        XTokenizer tokens(standard);
        while (tokens.next().kind == XTokenKind::name && parseTemplate(tokens)) {
        }
    }
    XTokenizer tokens(body);
    for (;;) {
        const XToken token = significant(tokens);
        if (token.kind == XTokenKind::end)
            break;
        if (token.kind != XTokenKind::name)
            return false;
        if (equalIgnoringCase(token.text, "template")) {
            if (!parseTemplate(tokens))
                return false;
            continue;
        }
        const XDataObject* object = parseObject(tokens, token.text, 0);
        if (object == nullptr)
            return false;
        topLevel.push_back(object);
    }
    // References name an object anywhere in the file, before or after them.
    std::map<std::string_view, const XDataObject*> named;
    for (const XDataObject& object : objects)
        if (!object.name.empty())
            named.emplace(object.name, &object);
    for (const Reference& reference : references) {
        const auto found = named.find(reference.name);
        if (found == named.end())
            return false;
        reference.parent->children[reference.slot] = found->second;
    }
    return true;
}
