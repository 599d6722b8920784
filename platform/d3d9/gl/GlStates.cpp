// The GL device's state calls: Direct3D's states kept as they are set, checked as the
// software device checks them.
#include "platform/d3d9/gl/GlDevice.h"

namespace qel::gl {

using soft::LogArg;
using soft::Logged;
using soft::TLogArgs;

HRESULT TGlDevice::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
  return Logged("SetRenderState", [&] { return TLogArgs{LogArg(State), Value}; }, [&]() -> HRESULT {
    if (static_cast<DWORD>(State) >= soft::RenderStateCount) return D3DERR_INVALIDCALL;
    if (FRenderStates[State] != Value) StatesChanged();
    FRenderStates[State] = Value;
    return D3D_OK;
  });
}

HRESULT TGlDevice::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) {
  return Logged("GetRenderState", [&] { return TLogArgs{LogArg(State), LogArg(pValue)}; }, [&]() -> HRESULT {
    if (!pValue || static_cast<DWORD>(State) >= soft::RenderStateCount) return D3DERR_INVALIDCALL;
    *pValue = FRenderStates[State];
    return D3D_OK;
  });
}

HRESULT TGlDevice::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) {
  return Logged("GetTexture", [&] { return TLogArgs{Stage, LogArg(ppTexture)}; }, [&]() -> HRESULT {
    if (!ppTexture || Stage >= soft::SamplerCount) return D3DERR_INVALIDCALL;
    *ppTexture = ComPtr<IDirect3DBaseTexture9>(FTextures[Stage]).Detach();
    return D3D_OK;
  });
}

HRESULT TGlDevice::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) {
  return Logged("SetTexture", [&] { return TLogArgs{Stage, LogArg(pTexture)}; }, [&]() -> HRESULT {
    if (Stage >= soft::SamplerCount) return D3DERR_INVALIDCALL;
    if (pTexture && !dynamic_cast<TGlTexture*>(pTexture)) return D3DERR_INVALIDCALL;
    if (FTextures[Stage].Get() != pTexture) StatesChanged();
    FTextures[Stage] = ComPtr<IDirect3DBaseTexture9>::Share(pTexture);
    return D3D_OK;
  });
}

HRESULT TGlDevice::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) {
  return Logged("GetTextureStageState", [&] { return TLogArgs{Stage, LogArg(Type), LogArg(pValue)}; }, [&]() -> HRESULT {
    if (!pValue || Stage >= soft::StageCount || static_cast<DWORD>(Type) >= soft::StageStateCount) return D3DERR_INVALIDCALL;
    *pValue = FStageStates[Stage][Type];
    return D3D_OK;
  });
}

HRESULT TGlDevice::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) {
  return Logged("SetTextureStageState", [&] { return TLogArgs{Stage, LogArg(Type), Value}; }, [&]() -> HRESULT {
    if (Stage >= soft::StageCount || static_cast<DWORD>(Type) >= soft::StageStateCount) return D3DERR_INVALIDCALL;
    if (FStageStates[Stage][Type] != Value) StatesChanged();
    FStageStates[Stage][Type] = Value;
    return D3D_OK;
  });
}

HRESULT TGlDevice::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) {
  return Logged("GetSamplerState", [&] { return TLogArgs{Sampler, LogArg(Type), LogArg(pValue)}; }, [&]() -> HRESULT {
    if (!pValue || Sampler >= soft::SamplerCount || static_cast<DWORD>(Type) >= soft::SamplerStateCount)
      return D3DERR_INVALIDCALL;
    *pValue = FSamplerStates[Sampler][Type];
    return D3D_OK;
  });
}

HRESULT TGlDevice::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) {
  return Logged("SetSamplerState", [&] { return TLogArgs{Sampler, LogArg(Type), Value}; }, [&]() -> HRESULT {
    if (Sampler >= soft::SamplerCount || static_cast<DWORD>(Type) >= soft::SamplerStateCount) return D3DERR_INVALIDCALL;
    if (FSamplerStates[Sampler][Type] != Value) StatesChanged();
    FSamplerStates[Sampler][Type] = Value;
    return D3D_OK;
  });
}

HRESULT TGlDevice::SetFVF(DWORD FVF) {
  return Logged("SetFVF", [&] { return TLogArgs{FVF}; }, [&]() -> HRESULT {
    FFVF = FVF;
    return D3D_OK;
  });
}

HRESULT TGlDevice::GetFVF(DWORD* pFVF) {
  return Logged("GetFVF", [&] { return TLogArgs{LogArg(pFVF)}; }, [&]() -> HRESULT {
    if (!pFVF) return D3DERR_INVALIDCALL;
    *pFVF = FFVF;
    return D3D_OK;
  });
}

HRESULT TGlDevice::SetVertexShader(IDirect3DVertexShader9* pShader) {
  return Logged("SetVertexShader", [&] { return TLogArgs{LogArg(pShader)}; },
                [&]() -> HRESULT { return pShader ? D3DERR_INVALIDCALL : D3D_OK; });
}

HRESULT TGlDevice::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                                   UINT Stride) {
  return Logged("SetStreamSource", [&] { return TLogArgs{StreamNumber, LogArg(pStreamData), OffsetInBytes, Stride}; }, [&]() -> HRESULT {
    if (StreamNumber != 0) return D3DERR_INVALIDCALL;
    if (pStreamData && !dynamic_cast<soft::TSoftVertexBuffer*>(pStreamData)) return D3DERR_INVALIDCALL;
    FStream = ComPtr<IDirect3DVertexBuffer9>::Share(pStreamData);
    FStreamOffset = OffsetInBytes;
    FStreamStride = Stride;
    return D3D_OK;
  });
}

HRESULT TGlDevice::GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData, UINT* pOffsetInBytes,
                                   UINT* pStride) {
  return Logged("GetStreamSource", [&] { return TLogArgs{StreamNumber, LogArg(ppStreamData)}; }, [&]() -> HRESULT {
    if (StreamNumber != 0 || !ppStreamData || !pOffsetInBytes || !pStride) return D3DERR_INVALIDCALL;
    *ppStreamData = ComPtr<IDirect3DVertexBuffer9>(FStream).Detach();
    *pOffsetInBytes = FStreamOffset;
    *pStride = FStreamStride;
    return D3D_OK;
  });
}

HRESULT TGlDevice::SetIndices(IDirect3DIndexBuffer9* pIndexData) {
  return Logged("SetIndices", [&] { return TLogArgs{LogArg(pIndexData)}; }, [&]() -> HRESULT {
    if (pIndexData && !dynamic_cast<soft::TSoftIndexBuffer*>(pIndexData)) return D3DERR_INVALIDCALL;
    FIndices = ComPtr<IDirect3DIndexBuffer9>::Share(pIndexData);
    return D3D_OK;
  });
}

HRESULT TGlDevice::GetIndices(IDirect3DIndexBuffer9** ppIndexData) {
  return Logged("GetIndices", [&] { return TLogArgs{LogArg(ppIndexData)}; }, [&]() -> HRESULT {
    if (!ppIndexData) return D3DERR_INVALIDCALL;
    *ppIndexData = ComPtr<IDirect3DIndexBuffer9>(FIndices).Detach();
    return D3D_OK;
  });
}

}  // namespace qel::gl
