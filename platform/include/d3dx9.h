// d3dx9.h: the Direct3D 9 utility subset Varnel uses, for the platform layer.
// Matrix and vector helpers (row-vector convention), .X mesh loading and drawing, textures
// from image files, and the text font. Built on the public Direct3D 9 interface of d3d9.h.
// Implemented in platform/d3dx9/: d3dx9_math.cpp, d3dx9_buffer.cpp, d3dx9_mesh.cpp with the
// .X reader (x_file_reader.cpp, x_file_objects.cpp, x_file_tokens.cpp), d3dx9_texture.cpp with
// image_file_info.cpp, and d3dx9_font.cpp; images are decoded and glyphs rendered by the
// backends behind platform/backends/image_decoder.h and font_rasterizer.h.
#pragma once

#include <windows.h>
#include <d3d9.h>

// The functions and objects have C linkage, as in the system's own headers.
extern "C" {

#define D3DX_PI ((FLOAT)3.141592654f)

// Result codes of the utility library.
#define D3DXERR_INVALIDMESH ((HRESULT)0x88760B55)
#define D3DXERR_INVALIDDATA ((HRESULT)0x88760B59)
#define D3DXERR_LOADEDMESHASNODATA ((HRESULT)0x88760B5A)

// ---- Vectors and matrices ----

struct D3DXVECTOR3 : public D3DVECTOR {
    D3DXVECTOR3() = default;
    D3DXVECTOR3(const D3DVECTOR& v) : D3DVECTOR(v) {}
    D3DXVECTOR3(FLOAT fx, FLOAT fy, FLOAT fz) : D3DVECTOR{fx, fy, fz} {}

    D3DXVECTOR3 operator+(const D3DXVECTOR3& v) const { return {x + v.x, y + v.y, z + v.z}; }
    D3DXVECTOR3 operator-(const D3DXVECTOR3& v) const { return {x - v.x, y - v.y, z - v.z}; }
    D3DXVECTOR3 operator*(FLOAT f) const { return {x * f, y * f, z * f}; }
    bool operator==(const D3DXVECTOR3& v) const { return x == v.x && y == v.y && z == v.z; }
};
typedef D3DXVECTOR3* LPD3DXVECTOR3;

struct D3DXMATRIX : public D3DMATRIX {
    D3DXMATRIX() = default;
    D3DXMATRIX(const D3DMATRIX& m) : D3DMATRIX(m) {}
    D3DXMATRIX(FLOAT f11, FLOAT f12, FLOAT f13, FLOAT f14, FLOAT f21, FLOAT f22, FLOAT f23,
               FLOAT f24, FLOAT f31, FLOAT f32, FLOAT f33, FLOAT f34, FLOAT f41, FLOAT f42,
               FLOAT f43, FLOAT f44);

    FLOAT& operator()(UINT row, UINT column) { return m[row][column]; }
    FLOAT operator()(UINT row, UINT column) const { return m[row][column]; }
    D3DXMATRIX operator*(const D3DXMATRIX& other) const;
    D3DXMATRIX& operator*=(const D3DXMATRIX& other);
};
typedef D3DXMATRIX* LPD3DXMATRIX;

D3DXMATRIX* WINAPI D3DXMatrixIdentity(D3DXMATRIX* out);
D3DXMATRIX* WINAPI D3DXMatrixRotationY(D3DXMATRIX* out, FLOAT angle);
D3DXMATRIX* WINAPI D3DXMatrixTranslation(D3DXMATRIX* out, FLOAT x, FLOAT y, FLOAT z);
D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2);
D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye,
                                      const D3DXVECTOR3* at, const D3DXVECTOR3* up);
D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, FLOAT fovY, FLOAT aspect,
                                              FLOAT zNear, FLOAT zFar);

FLOAT WINAPI D3DXVec3Dot(const D3DXVECTOR3* v1, const D3DXVECTOR3* v2);
FLOAT WINAPI D3DXVec3Length(const D3DXVECTOR3* v);
D3DXVECTOR3* WINAPI D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2);
D3DXVECTOR3* WINAPI D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v);
// The point v (w = 1) times m, divided by the resulting w.
D3DXVECTOR3* WINAPI D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v,
                                           const D3DXMATRIX* m);
// The direction v (w = 0) times m.
D3DXVECTOR3* WINAPI D3DXVec3TransformNormal(D3DXVECTOR3* out, const D3DXVECTOR3* v,
                                            const D3DXMATRIX* m);

// ---- Interface identifiers ----

extern const IID IID_ID3DXBuffer;
extern const IID IID_ID3DXBaseMesh;
extern const IID IID_ID3DXMesh;
extern const IID IID_ID3DXFont;

// ---- Buffers ----

struct ID3DXBuffer : public IUnknown {
    virtual LPVOID GetBufferPointer() = 0;
    virtual DWORD GetBufferSize() = 0;
};
typedef ID3DXBuffer* LPD3DXBUFFER;

HRESULT WINAPI D3DXCreateBuffer(DWORD numBytes, LPD3DXBUFFER* buffer);

// ---- Meshes ----

enum _D3DXMESH {
    D3DXMESH_32BIT = 0x001,
    D3DXMESH_DONOTCLIP = 0x002,
    D3DXMESH_VB_SYSTEMMEM = 0x010,
    D3DXMESH_VB_MANAGED = 0x020,
    D3DXMESH_VB_WRITEONLY = 0x040,
    D3DXMESH_VB_DYNAMIC = 0x080,
    D3DXMESH_IB_SYSTEMMEM = 0x100,
    D3DXMESH_IB_MANAGED = 0x200,
    D3DXMESH_IB_WRITEONLY = 0x400,
    D3DXMESH_IB_DYNAMIC = 0x800,
    D3DXMESH_SYSTEMMEM = 0x110,
    D3DXMESH_MANAGED = 0x220,
    D3DXMESH_WRITEONLY = 0x440,
    D3DXMESH_DYNAMIC = 0x880,
};

struct D3DXATTRIBUTERANGE {
    DWORD AttribId;
    DWORD FaceStart;
    DWORD FaceCount;
    DWORD VertexStart;
    DWORD VertexCount;
};
typedef D3DXATTRIBUTERANGE* LPD3DXATTRIBUTERANGE;

struct D3DXMATERIAL {
    D3DMATERIAL9 MatD3D;
    LPSTR pTextureFilename;
};
typedef D3DXMATERIAL* LPD3DXMATERIAL;

enum D3DXEFFECTDEFAULTTYPE {
    D3DXEDT_STRING = 1,
    D3DXEDT_FLOATS = 2,
    D3DXEDT_DWORD = 3,
};

struct D3DXEFFECTDEFAULT {
    LPSTR pParamName;
    D3DXEFFECTDEFAULTTYPE Type;
    DWORD NumBytes;
    LPVOID pValue;
};
typedef D3DXEFFECTDEFAULT* LPD3DXEFFECTDEFAULT;

struct D3DXEFFECTINSTANCE {
    LPSTR pEffectFilename;
    DWORD NumDefaults;
    LPD3DXEFFECTDEFAULT pDefaults;
};
typedef D3DXEFFECTINSTANCE* LPD3DXEFFECTINSTANCE;

struct ID3DXBaseMesh : public IUnknown {
    virtual HRESULT DrawSubset(DWORD attribId) = 0;
    virtual DWORD GetNumFaces() = 0;
    virtual DWORD GetNumVertices() = 0;
    virtual DWORD GetFVF() = 0;
    virtual DWORD GetNumBytesPerVertex() = 0;
    virtual DWORD GetOptions() = 0;
    virtual HRESULT GetDevice(LPDIRECT3DDEVICE9* device) = 0;
    virtual HRESULT GetVertexBuffer(LPDIRECT3DVERTEXBUFFER9* vertexBuffer) = 0;
    virtual HRESULT GetIndexBuffer(LPDIRECT3DINDEXBUFFER9* indexBuffer) = 0;
    virtual HRESULT LockVertexBuffer(DWORD flags, LPVOID* data) = 0;
    virtual HRESULT UnlockVertexBuffer() = 0;
    virtual HRESULT LockIndexBuffer(DWORD flags, LPVOID* data) = 0;
    virtual HRESULT UnlockIndexBuffer() = 0;
    virtual HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* tableSize) = 0;
};
typedef ID3DXBaseMesh* LPD3DXBASEMESH;

struct ID3DXMesh : public ID3DXBaseMesh {
    virtual HRESULT LockAttributeBuffer(DWORD flags, DWORD** data) = 0;
    virtual HRESULT UnlockAttributeBuffer() = 0;
};
typedef ID3DXMesh* LPD3DXMESH;

HRESULT WINAPI D3DXLoadMeshFromXA(LPCSTR fileName, DWORD options, LPDIRECT3DDEVICE9 device,
                                  LPD3DXBUFFER* adjacency, LPD3DXBUFFER* materials,
                                  LPD3DXBUFFER* effectInstances, DWORD* numMaterials,
                                  LPD3DXMESH* mesh);
#define D3DXLoadMeshFromX D3DXLoadMeshFromXA

// ---- Textures ----

// Sizes, level counts and filters taken from the file or the library's defaults.
#define D3DX_DEFAULT ((UINT)-1)
#define D3DX_DEFAULT_NONPOW2 ((UINT)-2)
#define D3DX_FROM_FILE ((UINT)-3)

#define D3DX_FILTER_NONE 0x00000001
#define D3DX_FILTER_POINT 0x00000002
#define D3DX_FILTER_LINEAR 0x00000003
#define D3DX_FILTER_TRIANGLE 0x00000004
#define D3DX_FILTER_BOX 0x00000005

enum D3DXIMAGE_FILEFORMAT {
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
    D3DXIFF_DDS = 4,
    D3DXIFF_PPM = 5,
    D3DXIFF_DIB = 6,
    D3DXIFF_HDR = 7,
    D3DXIFF_PFM = 8,
};

struct D3DXIMAGE_INFO {
    UINT Width;
    UINT Height;
    UINT Depth;
    UINT MipLevels;
    D3DFORMAT Format;
    D3DRESOURCETYPE ResourceType;
    D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

// A texture from a BMP, PNG, JPEG or TGA file: sides rounded up to powers of two (at most 4096),
// the full mip chain, D3DFMT_UNKNOWN choosing D3DFMT_A8R8G8B8 for a file with alpha (or with a
// colour key) and D3DFMT_X8R8G8B8 for one without. The Ex form takes D3DX_DEFAULT or given sides
// (rounded the same way), a level count, usage, format and pool passed to CreateTexture, and a
// colour key (pixels of that ARGB value become transparent black; 0 for none). Filters other
// than D3DX_DEFAULT (and D3DX_FILTER_BOX for the levels) are refused with D3DERR_INVALIDCALL:
// the layer scales bilinearly and builds the levels by box filter. The file's description is
// the 32-bit format it is decoded to (the real library may name the file's own depth, such as
// D3DFMT_R8G8B8); the palette is not written, as no palettized texture is made.
HRESULT WINAPI D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE9 device, LPCSTR fileName,
                                          LPDIRECT3DTEXTURE9* texture);
HRESULT WINAPI D3DXCreateTextureFromFileExA(LPDIRECT3DDEVICE9 device, LPCSTR fileName, UINT width,
                                            UINT height, UINT mipLevels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                            DWORD mipFilter, D3DCOLOR colourKey,
                                            D3DXIMAGE_INFO* fileInfo, PALETTEENTRY* palette,
                                            LPDIRECT3DTEXTURE9* texture);
#define D3DXCreateTextureFromFile D3DXCreateTextureFromFileA
#define D3DXCreateTextureFromFileEx D3DXCreateTextureFromFileExA

// ---- Fonts ----

#ifndef LF_FACESIZE
#define LF_FACESIZE 32
#endif

// Font weights, character sets, precision, quality and pitch (GDI font constants).
#define FW_DONTCARE 0
#define FW_THIN 100
#define FW_LIGHT 300
#define FW_NORMAL 400
#define FW_MEDIUM 500
#define FW_SEMIBOLD 600
#define FW_BOLD 700
#define FW_HEAVY 900
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define OUT_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define DRAFT_QUALITY 1
#define PROOF_QUALITY 2
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4
#define CLEARTYPE_QUALITY 5
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE (0 << 4)
#define FF_ROMAN (1 << 4)
#define FF_SWISS (2 << 4)
#define FF_MODERN (3 << 4)

// Text drawing formats.
#define DT_TOP 0x00000000
#define DT_LEFT 0x00000000
#define DT_CENTER 0x00000001
#define DT_RIGHT 0x00000002
#define DT_VCENTER 0x00000004
#define DT_BOTTOM 0x00000008
#define DT_WORDBREAK 0x00000010
#define DT_SINGLELINE 0x00000020
#define DT_EXPANDTABS 0x00000040
#define DT_NOCLIP 0x00000100
#define DT_CALCRECT 0x00000400
#define DT_NOPREFIX 0x00000800

struct D3DXFONT_DESCA {
    INT Height;
    UINT Width;
    UINT Weight;
    UINT MipLevels;
    BOOL Italic;
    BYTE CharSet;
    BYTE OutputPrecision;
    BYTE Quality;
    BYTE PitchAndFamily;
    CHAR FaceName[LF_FACESIZE];
};
typedef D3DXFONT_DESCA* LPD3DXFONT_DESCA;

// The sprite a font may draw through; this layer's fonts always draw on their own.
struct ID3DXSprite;
typedef ID3DXSprite* LPD3DXSPRITE;

struct ID3DXFont : public IUnknown {
    virtual HRESULT GetDevice(LPDIRECT3DDEVICE9* device) = 0;
    virtual HRESULT GetDescA(D3DXFONT_DESCA* desc) = 0;
    virtual INT DrawTextA(LPD3DXSPRITE sprite, LPCSTR text, INT count, LPRECT rect, DWORD format,
                          D3DCOLOR colour) = 0;
    virtual HRESULT OnLostDevice() = 0;
    virtual HRESULT OnResetDevice() = 0;
};
typedef ID3DXFont* LPD3DXFONT;

HRESULT WINAPI D3DXCreateFontA(LPDIRECT3DDEVICE9 device, INT height, UINT width, UINT weight,
                               UINT mipLevels, BOOL italic, DWORD charSet, DWORD outputPrecision,
                               DWORD quality, DWORD pitchAndFamily, LPCSTR faceName,
                               LPD3DXFONT* font);
#define D3DXCreateFont D3DXCreateFontA

} // extern "C"
