// x_file_objects.h: internal to the layer's .X reader. Parses a .X file's body (x_file_tokens.h)
// into its template declarations and data objects. Every data object is read by its template:
// the standard templates of D3DX's mesh files are known beforehand, a file may declare more,
// and an object of an undeclared template is refused. Template names are matched without regard
// to case; an object's type is its template's name as first declared. An object keeps its values
// flat, in the order of its template's members, and its nested objects and resolved references.
// Used by x_file_reader.cpp.
#pragma once

#include "x_file_tokens.h"

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

struct XValue {
    enum class Kind : uint8_t { integer, real, string } kind;
    uint32_t integer; // a whole number's 32 bits (a negative one as two's complement)
    float real;
    std::string_view text;
};

// A template member's kind: a value, or (none) a member of another template's type.
enum class XPrimitive { none, integer, real, string };

struct XDataObject {
    std::string_view type;
    std::string_view name;
    std::vector<XValue> values;
    std::vector<const XDataObject*> children; // nested objects and referenced ones, in order
    std::vector<bool> referenced;             // for each child, whether a reference gave it
};

class XFile {
public:
    // Parses the whole body. False when anything in it is malformed: a token out of place, a
    // value of the wrong kind, a count larger than the rest of the file, an unknown template,
    // a reference to no object, or nesting deeper than the reader allows.
    bool parse(const XFileBody& body);

    std::vector<const XDataObject*> topLevel;

private:
    struct Template;
    struct Member {
        std::string type;
        std::string name;
        std::vector<std::string> dimensions; // whole numbers or the names of earlier members
        XPrimitive primitive;                // or none, for a member of a template's type:
        const Template* nested;              // that template
    };
    struct Template {
        std::vector<Member> members;
        bool holdsValues = false; // a member, or a member's member, is a value
    };
    struct Reference {
        XDataObject* parent;
        size_t slot;
        std::string_view name;
    };

    bool parseTemplate(XTokenizer& tokens);
    XDataObject* parseObject(XTokenizer& tokens, std::string_view type, int depth);
    bool readMembers(XTokenizer& tokens, const Template& declared, XDataObject& object, int depth);
    bool readValue(XTokenizer& tokens, const Member& member, XDataObject& object, int depth);
    const Template* find(std::string_view name) const;

    // Template names compare without regard to case, as D3DX's do: exporters write
    // `TextureFileName` for `TextureFilename`.
    struct NameLess {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    std::map<std::string, Template, NameLess> templates;
    std::deque<XDataObject> objects;
    std::vector<Reference> references;
};
