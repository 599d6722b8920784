#include "engine/draw/Glow2D.h"

#include <algorithm>
#include <cstring>

#include "engine/device/GlowSubsc.h"
#include "engine/draw/BlendTables.h"
#include "engine/draw/TexMapCoords.h"
#include "engine/images/ColorFormats.h"
#include "engine/images/DXTextures.h"

namespace qel {

namespace {

constexpr DWORD BufferUsage = D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC;
constexpr int MinVertexCache = 512;
constexpr int MaxVertexCache = 65536;  // 16-bit indices address at most this many vertices
constexpr int TextureStages = 8;

IDirect3DDevice9* Device3D() { return Direct3DDevice.Get(); }

}  // namespace

TGlow2D::TGlow2D(TComponent* Owner) : TGlowDeviceSubscriber(Owner) {}

TGlow2D::~TGlow2D() { Finalize(); }

void TGlow2D::SetAlphaTesting(bool Value) {
  if (!FInitialized) FAlphaTesting = Value;
}

void TGlow2D::SetVertexCache(int Value) {
  if (FInitialized) return;
  // Up to the next multiple of four, widened so that the top of the integer range cannot
  // overflow; what falls below the minimum (negative values too) is raised to it anyway.
  const std::int64_t Rounded = (static_cast<std::int64_t>(Value) + 3) / 4 * 4;
  FVertexCache = static_cast<int>(std::clamp<std::int64_t>(Rounded, MinVertexCache, MaxVertexCache));
}

void TGlow2D::SetAntialias(bool Value) {
  FAntialias = Value;
  if (!FInitialized) return;
  Flush();
  ApplyFilter();
}

void TGlow2D::SetDithering(bool Value) {
  FDithering = Value;
  if (!FInitialized) return;
  Flush();
  if (IDirect3DDevice9* Dev = Device3D()) Dev->SetRenderState(D3DRS_DITHERENABLE, FDithering ? TRUE : FALSE);
}

bool TGlow2D::HandleMessage(std::uint32_t Msg) {
  switch (Msg) {
    case msgDeviceInitialize:
      return Initialize();
    case msgDeviceFinalize:
      Finalize();
      return true;
    case msgDeviceLost:
      if (FInitialized) {
        ReleaseBuffers();
        FLost = true;
      }
      return true;
    case msgDeviceRestored:
      if (FInitialized) {
        if (CreateBuffers()) {
          ResetBatch();
          ForgetStates();
          // A reset puts every device state back to its default.
          FStatesPending = true;
        } else {
          Finalize();
        }
      }
      FLost = false;
      return true;
    case msgEndScene:
    case msgFlush:
      if (FInitialized) {
        Flush();
        FStatesPending = true;
      }
      return true;
    default:
      return true;
  }
}

bool TGlow2D::Initialize() {
  if (FInitialized) {
    // The device finalises after a veto, and that releases what is held.
    FInitialized = false;
    return false;
  }
  const bool Created = CreateBuffers();
  ResetBatch();
  ForgetStates();
  if (Created) {
    TVertex2D Blank{};
    Blank.RHW = 1.0f;
    FVertices.assign(static_cast<std::size_t>(FVertexCache), Blank);
    FIndices.assign(static_cast<std::size_t>(FVertexCache), 0);
  }
  FStatesPending = true;
  FInitialized = Created;
  return Created;
}

void TGlow2D::Finalize() {
  ReleaseBuffers();
  FVertices = {};
  FIndices = {};
  ResetBatch();
  ForgetStates();
  FInitialized = false;
  // A device finalised during a loss never announces the restoration; a batcher that stayed
  // lost would draw nothing on the next device.
  FLost = false;
}

bool TGlow2D::CreateBuffers() {
  IDirect3DDevice9* Dev = Device3D();
  if (!Dev) return false;
  const UINT Count = static_cast<UINT>(FVertexCache);
  if (FAILED(Dev->CreateVertexBuffer(Count * sizeof(TVertex2D), BufferUsage, Vertex2DFVF, D3DPOOL_DEFAULT,
                                     FVertexBuffer.Put(), nullptr)))
    return false;
  return SUCCEEDED(Dev->CreateIndexBuffer(Count * sizeof(std::uint16_t), BufferUsage, D3DFMT_INDEX16,
                                          D3DPOOL_DEFAULT, FIndexBuffer.Put(), nullptr));
}

void TGlow2D::ReleaseBuffers() {
  // The device keeps what is bound to it alive, and a reset is refused while a default-pool
  // buffer lives: unbind them first.
  IDirect3DDevice9* Dev = Device3D();
  if (Dev && (FVertexBuffer || FIndexBuffer)) {
    Dev->SetStreamSource(0, nullptr, 0, 0);
    Dev->SetIndices(nullptr);
  }
  FIndexBuffer.Reset();
  FVertexBuffer.Reset();
}

void TGlow2D::ResetBatch() {
  FVertexCount = 0;
  FIndexCount = 0;
  FPrimitiveCount = 0;
  FBatchKind = bkNone;
}

void TGlow2D::ForgetStates() {
  FCurrentTexture = nullptr;
  FCurrentTextureNumber = -2;
  FCurrentEffect = -1;
}

void TGlow2D::SetUpScene() {
  IDirect3DDevice9* Dev = Device3D();
  if (!Dev || !FInitialized) return;
  ResetBatch();
  ForgetStates();
  Dev->SetRenderState(D3DRS_LIGHTING, FALSE);
  Dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  Dev->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  Dev->SetRenderState(D3DRS_FOGENABLE, FALSE);
  Dev->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  Dev->SetRenderState(D3DRS_ALPHAREF, 1);
  Dev->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  for (DWORD Stage = 0; Stage < TextureStages; ++Stage) {
    Dev->SetTextureStageState(Stage, D3DTSS_TEXCOORDINDEX, 0);
    Dev->SetTextureStageState(Stage, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    Dev->SetTexture(Stage, nullptr);
    Dev->SetTextureStageState(Stage, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    Dev->SetTextureStageState(Stage, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    Dev->SetTextureStageState(Stage, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    Dev->SetTextureStageState(Stage, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  }
  Dev->SetRenderState(D3DRS_DITHERENABLE, FDithering ? TRUE : FALSE);
  ApplyFilter();
  FStatesPending = false;
}

void TGlow2D::ApplyFilter() {
  IDirect3DDevice9* Dev = Device3D();
  if (!Dev) return;
  const DWORD Filter = FAntialias ? D3DTEXF_LINEAR : D3DTEXF_POINT;
  Dev->SetSamplerState(0, D3DSAMP_MAGFILTER, Filter);
  Dev->SetSamplerState(0, D3DSAMP_MINFILTER, Filter);
}

void TGlow2D::ApplyEffect(std::int32_t Key) {
  IDirect3DDevice9* Dev = Device3D();
  if (!Dev) return;
  if (EffectReplaces(Key)) {
    Dev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    if (FAlphaTesting) Dev->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  } else {
    Dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    if (FAlphaTesting) Dev->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    // An index beyond its table names no state: that one state is left as it is.
    D3DBLEND Factor;
    if (BlendFactorAt(EffectSourceIndex(Key), Factor)) Dev->SetRenderState(D3DRS_SRCBLEND, Factor);
    if (BlendFactorAt(EffectDestIndex(Key), Factor)) Dev->SetRenderState(D3DRS_DESTBLEND, Factor);
    D3DBLENDOP Op;
    if (BlendOpAt(EffectOpIndex(Key), Op)) Dev->SetRenderState(D3DRS_BLENDOP, Op);
  }
  const DWORD StageOp = EffectModulates(Key) ? D3DTOP_MODULATE : D3DTOP_SELECTARG1;
  Dev->SetTextureStageState(0, D3DTSS_COLOROP, StageOp);
  Dev->SetTextureStageState(0, D3DTSS_ALPHAOP, StageOp);
}

bool TGlow2D::PrepareBatch(TBatchKind Kind, int VertexCount, int IndexCount, TDXBaseTexture* Texture,
                           int TextureNumber, std::int32_t Effect) {
  if (!FInitialized || VertexCount < 0 || IndexCount < 0 || VertexCount > FVertexCache ||
      IndexCount > FVertexCache)
    return false;
  if (FStatesPending) SetUpScene();
  if (FVertexCount + VertexCount > FVertexCache || FIndexCount + IndexCount > FVertexCache ||
      (FBatchKind != bkNone && FBatchKind != Kind))
    Flush();
  if (Effect == -1 || Effect != FCurrentEffect) {
    Flush();
    ApplyEffect(Effect);
    FCurrentEffect = Effect;
  }
  if (FCurrentTextureNumber == -2 || Texture != FCurrentTexture || TextureNumber != FCurrentTextureNumber) {
    Flush();
    if (Texture && TextureNumber != -1) {
      Texture->SelectTexture(0, TextureNumber);
    } else if (IDirect3DDevice9* Dev = Device3D()) {
      Dev->SetTexture(0, nullptr);
    }
    FCurrentTexture = Texture;
    FCurrentTextureNumber = TextureNumber;
  }
  FBatchKind = Kind;
  return true;
}

void TGlow2D::AddQuadVertices(const TPoint4& Points, const TColor4& Colors, float Shift) {
  const int B = FVertexCount;
  std::uint16_t* I = FIndices.data() + FIndexCount;
  I[0] = static_cast<std::uint16_t>(B);
  I[1] = static_cast<std::uint16_t>(B + 1);
  I[2] = static_cast<std::uint16_t>(B + 3);
  I[3] = static_cast<std::uint16_t>(B + 1);
  I[4] = static_cast<std::uint16_t>(B + 2);
  I[5] = static_cast<std::uint16_t>(B + 3);
  FIndexCount += 6;
  TVertex2D* V = FVertices.data() + B;
  for (int Corner = 0; Corner < 4; ++Corner) {
    V[Corner].X = Points[Corner].X + Shift;
    V[Corner].Y = Points[Corner].Y + Shift;
    V[Corner].Diffuse = SwapRedBlue(Colors[Corner]);
  }
  FVertexCount += 4;
  FPrimitiveCount += 2;
}

namespace {

// Opaque white in every corner leaves the texture alone; anything else multiplies it.
std::int32_t QuadKey(std::int32_t Effect, const TColor4& Colors) {
  const std::uint32_t All = Colors[0] & Colors[1] & Colors[2] & Colors[3];
  return All == 0xFFFFFFFFu ? Effect : (Effect | ModulateFlag);
}

}  // namespace

void TGlow2D::AddQuad(const TPoint4& Points, const TColor4& Colors, std::int32_t Effect) {
  if (!PrepareBatch(bkTriangles, 4, 6, nullptr, -1, QuadKey(Effect, Colors))) return;
  AddQuadVertices(Points, Colors, 0.0f);
}

void TGlow2D::AddTexturedQuad(const TPoint4& Points, const TPoint4& TexCoords, std::int32_t Effect,
                              int TextureNumber, TDXBaseTexture* Texture, const TColor4& Colors) {
  if (!PrepareBatch(bkTriangles, 4, 6, Texture, TextureNumber, QuadKey(Effect, Colors))) return;
  TVertex2D* V = FVertices.data() + FVertexCount;
  for (int Corner = 0; Corner < 4; ++Corner) {
    V[Corner].U = TexCoords[Corner].X;
    V[Corner].V = TexCoords[Corner].Y;
  }
  // Texel centres land on pixel centres.
  AddQuadVertices(Points, Colors, -0.5f);
}

void TGlow2D::Flush() {
  if (FVertexCount > 0 && FPrimitiveCount > 0 && !FLost && FVertexBuffer && FIndexBuffer) {
    IDirect3DDevice9* Dev = Device3D();
    const UINT VertexBytes = static_cast<UINT>(FVertexCount) * sizeof(TVertex2D);
    const UINT IndexBytes = static_cast<UINT>(FIndexCount) * sizeof(std::uint16_t);
    void* Target = nullptr;
    bool Ok = Dev != nullptr && SUCCEEDED(FVertexBuffer->Lock(0, VertexBytes, &Target, D3DLOCK_DISCARD));
    if (Ok) {
      std::memcpy(Target, FVertices.data(), VertexBytes);
      Ok = SUCCEEDED(FVertexBuffer->Unlock());
    }
    Ok = Ok && SUCCEEDED(FIndexBuffer->Lock(0, IndexBytes, &Target, D3DLOCK_DISCARD));
    if (Ok) {
      std::memcpy(Target, FIndices.data(), IndexBytes);
      Ok = SUCCEEDED(FIndexBuffer->Unlock());
    }
    Ok = Ok && SUCCEEDED(Dev->SetStreamSource(0, FVertexBuffer.Get(), 0, sizeof(TVertex2D)));
    Ok = Ok && SUCCEEDED(Dev->SetIndices(FIndexBuffer.Get()));
    Ok = Ok && SUCCEEDED(Dev->SetVertexShader(nullptr));
    Ok = Ok && SUCCEEDED(Dev->SetFVF(Vertex2DFVF));
    if (Ok) {
      const UINT Primitives = static_cast<UINT>(FPrimitiveCount);
      const UINT Vertices = static_cast<UINT>(FVertexCount);
      switch (FBatchKind) {
        case bkPoints:
          Dev->DrawPrimitive(D3DPT_POINTLIST, 0, Primitives);
          break;
        case bkLines:
          Dev->DrawIndexedPrimitive(D3DPT_LINELIST, 0, 0, Vertices, 0, Primitives);
          break;
        case bkTriangles:
          Dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, Vertices, 0, Primitives);
          break;
        case bkNone:
          break;
      }
    }
  }
  ResetBatch();
}

void TGlow2D::FillQuad(const TPoint4& Points, const TColor4& Colors, std::int32_t Effect) {
  AddQuad(Points, Colors, Effect);
}

void TGlow2D::TexMap(TDXBaseTexture* Texture, const TPoint4& Points, const TColor4& Colors,
                     const TTexCoord& TexCoord, std::int32_t Effect) {
  TPoint4 Coords;
  int TextureNumber = 0;
  if (!TexMapCoords(Texture, TexCoord, Coords, TextureNumber)) return;
  AddTexturedQuad(Points, Coords, Effect, TextureNumber, Texture, Colors);
}

}  // namespace qel
