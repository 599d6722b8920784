#pragma once
// The rules by which the devices of this Direct3D 9 subset accept or refuse a request, kept
// in one place so that the software device and the GL device answer alike.
#include <cstdint>
#include <vector>

#include "platform/d3d9/d3d9api.h"

namespace qel::soft {

// Keeps one resource from taking more memory than a test machine can give.
constexpr std::uint64_t MaxResourceBytes = 512ull << 20;
// Positions beyond this many pixels from the origin are clamped: the edge arithmetic stays
// inside 64 bits, and nothing so far out shows.
constexpr double MaxPosition = 1 << 21;
// The longest side of a back buffer or surface: a 16384 x 16384 frame is 1 GiB.
constexpr UINT MaxSurfaceSide = 16384;
// The largest point drawn, in pixels a side (what the capabilities answer).
constexpr float MaxPointSize = 64.0f;

// The states a device keeps, and how many of each.
constexpr int RenderStateCount = 256;
constexpr int StageCount = 8;
constexpr int StageStateCount = 33;
constexpr int SamplerCount = 16;
constexpr int SamplerStateCount = 14;
// Direct3D 9's defaults, as a device starts and as Reset leaves it.
void DefaultStates(bool DepthBuffer, DWORD (&Render)[RenderStateCount], DWORD (&Stage)[StageCount][StageStateCount],
                   DWORD (&Sampler)[SamplerCount][SamplerStateCount]);

bool ValidPool(D3DPOOL Pool);

// Checks presentation parameters as CreateDevice and Reset do and fills in what Direct3D
// fills in (sizes and format of a windowed back buffer, back-buffer count).
HRESULT CompletePresentParams(D3DPRESENT_PARAMETERS& Params, HWND FocusWindow);

// The levels of a full mip chain of Width x Height.
UINT FullChainLevels(UINT Width, UINT Height);
// CreateTexture's checks against the adapter; D3D_OK when a texture may be made.
HRESULT CheckTextureRequest(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                            HANDLE* pSharedHandle);
// CreateVertexBuffer's and CreateIndexBuffer's checks (the index format apart).
HRESULT CheckBufferRequest(UINT Length, D3DPOOL Pool, HANDLE* pSharedHandle);
// CreateOffscreenPlainSurface's checks: surfaces receive frames, kept in 32 bits.
HRESULT CheckSurfaceRequest(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool, HANDLE* pSharedHandle);

// Where the parts of a vertex lie. Only pre-transformed positions are drawn: false for any
// other vertex format.
struct TFvfLayout {
  UINT Size = 0;
  int Diffuse = -1;
  int TexCoords[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
  int TexCount = 0;
};
bool FvfLayout(DWORD FVF, TFvfLayout& L);

// The vertices First .. First + Count - 1 of a stream lie within its buffer, in a vertex
// format that is drawn and with a stride that holds one.
bool StreamHolds(IDirect3DVertexBuffer9* Stream, DWORD FVF, UINT Offset, UINT Stride, INT First, UINT Count);

// Vertices (or indices) that PrimitiveCount primitives of Type take; 0 for a type not drawn.
UINT VertexCountOf(D3DPRIMITIVETYPE Type, UINT Primitives);
// The checks of a draw call's primitive count: D3D_OK to draw Count vertices, S_FALSE when
// there is nothing to draw and that is no error.
HRESULT CheckPrimitiveCount(D3DPRIMITIVETYPE Type, UINT PrimitiveCount, UINT& Count);

// Reads Count indices of Size bytes from Data, adds BaseVertexIndex and makes them relative
// to the lowest vertex they reach (Low). False when a vertex falls outside 0 .. 2^31-1.
bool GatherIndices(const std::uint8_t* Data, UINT Size, UINT Count, INT BaseVertexIndex,
                   std::vector<std::uint32_t>& Out, std::int64_t& Low, std::int64_t& High);

}  // namespace qel::soft
