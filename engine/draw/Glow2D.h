#pragma once
#include <cstdint>
#include <vector>

#include "engine/device/GlowDevices.h"
#include "engine/draw/GlowTypes.h"
#include "platform/d3d9/d3d9api.h"

namespace qel {

class TDXBaseTexture;

// One vertex as the vertex buffer holds it: pre-transformed position, Direct3D colour
// (0xAARRGGBB) and one texture coordinate pair.
struct TVertex2D {
  float X;
  float Y;
  float Z;
  float RHW;
  std::uint32_t Diffuse;
  float U;
  float V;
};
static_assert(sizeof(TVertex2D) == 28, "the vertex buffer stride is 28 bytes");

constexpr DWORD Vertex2DFVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// What the current batch is made of.
enum TBatchKind : std::uint8_t { bkPoints = 0, bkLines = 1, bkTriangles = 2, bkNone = 3 };

// The 2D primitive batcher. Quads are staged in system memory and handed to Direct3D in as
// few draw calls as possible: consecutive primitives of one kind, one effect key and one
// texture share a batch. The batch goes out when something changes, when the arrays are
// full and at the end of every scene.
class TGlow2D : public TGlowDeviceSubscriber {
 public:
  explicit TGlow2D(TComponent* Owner);
  ~TGlow2D() override;

  bool AlphaTesting() const { return FAlphaTesting; }
  void SetAlphaTesting(bool Value);
  int VertexCache() const { return FVertexCache; }
  void SetVertexCache(int Value);
  bool Antialias() const { return FAntialias; }
  void SetAntialias(bool Value);
  bool Dithering() const { return FDithering; }
  void SetDithering(bool Value);

  bool Initialized() const { return FInitialized; }
  bool Lost() const { return FLost; }
  // The batch staged so far and not yet drawn.
  int BatchVertexCount() const { return FVertexCount; }
  int BatchIndexCount() const { return FIndexCount; }
  const TVertex2D* BatchVertices() const { return FVertices.data(); }
  const std::uint16_t* BatchIndices() const { return FIndices.data(); }

  bool HandleMessage(std::uint32_t Msg) override;

  // Makes room in the batch for one primitive, flushing and changing states as needed.
  // False (and nothing changed) when the batcher has no arrays or the primitive can never
  // fit them.
  bool PrepareBatch(TBatchKind Kind, int VertexCount, int IndexCount, TDXBaseTexture* Texture,
                    int TextureNumber, std::int32_t Effect);
  void AddQuad(const TPoint4& Points, const TColor4& Colors, std::int32_t Effect);
  // TexCoords holds U and V of each corner in corner order.
  void AddTexturedQuad(const TPoint4& Points, const TPoint4& TexCoords, std::int32_t Effect,
                       int TextureNumber, TDXBaseTexture* Texture, const TColor4& Colors);
  void Flush();

  // Drawing operations of the canvas.
  void FillQuad(const TPoint4& Points, const TColor4& Colors, std::int32_t Effect);
  void TexMap(TDXBaseTexture* Texture, const TPoint4& Points, const TColor4& Colors,
              const TTexCoord& TexCoord, std::int32_t Effect);

 private:
  bool Initialize();
  void Finalize();
  bool CreateBuffers();
  void ReleaseBuffers();
  void ResetBatch();
  void ForgetStates();
  void SetUpScene();
  void ApplyEffect(std::int32_t Key);
  void ApplyFilter();
  void AddQuadVertices(const TPoint4& Points, const TColor4& Colors, float Shift);

  bool FInitialized = false;
  bool FLost = false;
  int FVertexCache = 4096;
  ComPtr<IDirect3DVertexBuffer9> FVertexBuffer;
  ComPtr<IDirect3DIndexBuffer9> FIndexBuffer;
  int FVertexCount = 0;
  int FIndexCount = 0;
  int FPrimitiveCount = 0;
  std::vector<TVertex2D> FVertices;
  std::vector<std::uint16_t> FIndices;
  TBatchKind FBatchKind = bkNone;
  TDXBaseTexture* FCurrentTexture = nullptr;
  int FCurrentTextureNumber = -2;
  std::int32_t FCurrentEffect = -1;
  bool FStatesPending = true;
  bool FAntialias = true;
  bool FDithering = false;
  bool FAlphaTesting = true;
};

}  // namespace qel
