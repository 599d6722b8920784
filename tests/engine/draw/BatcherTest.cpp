#include <climits>

#include "engine/device/GlowSubsc.h"
#include "engine/images/DXTextures.h"
#include "tests/engine/draw/SoftDrawFixture.h"

namespace qel::testing {
namespace {

const TPoint4 Square = Bounds4(4, 4, 8, 8);
constexpr std::uint32_t White = 0xFFFFFFFFu;
constexpr std::uint32_t HalfRed = 0x800000FFu;

using BatcherTest = DrawTest;

TEST_F(BatcherTest, VertexCacheRoundsUpToFourAndClampsWhileNotInitialised) {
  const std::pair<int, int> Cases[] = {{1001, 1004}, {1000, 1000}, {100, 512},     {100000, 65536},
                                       {-5, 512},    {INT_MAX, 65536}, {INT_MIN, 512}, {65533, 65536}};
  for (auto [Given, Kept] : Cases) {
    Canvas->SetVertexCache(Given);
    EXPECT_EQ(Canvas->VertexCache(), Kept) << Given;
  }
}

TEST_F(BatcherTest, ResourceSettingsAreFrozenWhileInitialised) {
  Canvas->SetVertexCache(1000);
  Start();
  Canvas->SetVertexCache(2000);
  Canvas->SetAlphaTesting(false);
  EXPECT_EQ(Canvas->VertexCache(), 1000);
  EXPECT_TRUE(Canvas->AlphaTesting());
  Device->Finalize();
  Canvas->SetVertexCache(2000);
  EXPECT_EQ(Canvas->VertexCache(), 2000);
}

TEST_F(BatcherTest, BuffersAreSizedFromTheVertexCache) {
  ASSERT_TRUE(Device->Initialize());
  EXPECT_TRUE(Logged("CreateVertexBuffer", 4096 * 28, 0x208, 0x144));
  EXPECT_TRUE(Logged("CreateIndexBuffer", 4096 * 2, 0x208, D3DFMT_INDEX16));
}

TEST_F(BatcherTest, A682QuadBatchIsOneDrawCallAndThe683rdStartsAnother) {
  Start();
  Device->BeginScene();
  for (int I = 0; I < 682; ++I) Canvas->FillQuad(Square, Color4(HalfRed), 1284);
  EXPECT_TRUE(DrawnPrimitives().empty());
  Canvas->FillQuad(Square, Color4(HalfRed), 1284);
  EXPECT_EQ(DrawnPrimitives(), std::vector<std::uint64_t>{1364});
  Device->EndScene();
  EXPECT_EQ(DrawnPrimitives(), (std::vector<std::uint64_t>{1364, 2}));
  const soft::TCall First = Calls("DrawIndexedPrimitive")[0];
  EXPECT_EQ(First.Arg(0), static_cast<std::uint64_t>(D3DPT_TRIANGLELIST));
  EXPECT_EQ(First.Arg(3), 682u * 4);  // vertices used
  EXPECT_EQ(CountOf("VertexBuffer::Lock"), 2);
  for (const soft::TCall& Lock : Calls("VertexBuffer::Lock")) EXPECT_EQ(Lock.Arg(3), static_cast<std::uint64_t>(D3DLOCK_DISCARD));
}

TEST_F(BatcherTest, ASmallCacheFillsWithItsSixthOfQuads) {
  Canvas->SetVertexCache(512);
  Start();
  Device->BeginScene();
  for (int I = 0; I < 86; ++I) Canvas->FillQuad(Square, Color4(HalfRed), 1284);
  Device->EndScene();
  EXPECT_EQ(DrawnPrimitives(), (std::vector<std::uint64_t>{170, 2}));
}

TEST_F(BatcherTest, ColourClassEffectAndTextureEachStartANewBatch) {
  TDXMultiTexture Pages;
  Pages.SetTextureCount(2);
  Pages.SetFormat(D3DFMT_A8R8G8B8);
  Start();
  Pages.SetState(tsReady);
  const TPoint4 UV = Bounds4(0, 0, 1, 1);
  Device->BeginScene();
  Canvas->FillQuad(Square, Color4(White), 1284);
  Canvas->FillQuad(Square, Color4(White), 1284);    // same batch
  Canvas->FillQuad(Square, Color4(HalfRed), 1284);  // colour class
  Canvas->FillQuad(Square, Color4(HalfRed), 260);   // effect
  Canvas->AddTexturedQuad(Square, UV, 260, 0, &Pages, Color4(HalfRed));  // texture
  Canvas->AddTexturedQuad(Square, UV, 260, 1, &Pages, Color4(HalfRed));  // texture number
  Canvas->AddTexturedQuad(Square, UV, 260, 1, &Pages, Color4(HalfRed));  // same batch
  Device->EndScene();
  EXPECT_EQ(DrawnPrimitives(), (std::vector<std::uint64_t>{4, 2, 2, 2, 4}));
  // Opaque white leaves the texture alone; any other colour multiplies it.
  std::vector<std::uint64_t> ColorOps;
  for (const soft::TCall& C : Calls("SetTextureStageState"))
    if (C.Arg(0) == 0 && C.Arg(1) == D3DTSS_COLOROP) ColorOps.push_back(C.Arg(2));
  EXPECT_EQ(ColorOps, (std::vector<std::uint64_t>{D3DTOP_SELECTARG1, D3DTOP_MODULATE, D3DTOP_MODULATE}));
  // Texture number 1 is the second page of the object.
  EXPECT_EQ(Calls("SetTexture").back().Arg(1), reinterpret_cast<std::uintptr_t>(Pages.Texture(1)));
}

TEST_F(BatcherTest, UnchangedStatesAreNotSetAgainWithinAScene) {
  Start();
  Device->BeginScene();
  Canvas->FillQuad(Square, Color4(HalfRed), 1284);
  const int Before = CountOf("SetRenderState") + CountOf("SetTexture") + CountOf("SetTextureStageState");
  for (int I = 0; I < 10; ++I) Canvas->FillQuad(Square, Color4(HalfRed), 1284);
  EXPECT_EQ(CountOf("SetRenderState") + CountOf("SetTexture") + CountOf("SetTextureStageState"), Before);
  Device->EndScene();
}

TEST_F(BatcherTest, EveryNewSceneAppliesTheSceneStatesAgain) {
  Start();
  for (int Scene = 0; Scene < 2; ++Scene) {
    soft::CallLog().Clear();
    Device->BeginScene();
    Canvas->FillQuad(Square, Color4(HalfRed), 1284);
    Device->EndScene();
    EXPECT_TRUE(Logged("SetRenderState", D3DRS_CULLMODE, D3DCULL_NONE)) << Scene;
    EXPECT_TRUE(Logged("SetRenderState", D3DRS_LIGHTING, FALSE)) << Scene;
    EXPECT_TRUE(Logged("SetSamplerState", 0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR)) << Scene;
    EXPECT_TRUE(Logged("SetTextureStageState", 7, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE)) << Scene;
    EXPECT_TRUE(Logged("SetRenderState", D3DRS_SRCBLEND, D3DBLEND_SRCALPHA)) << Scene;
    EXPECT_EQ(DrawnPrimitives(), std::vector<std::uint64_t>{2}) << Scene;
  }
}

TEST_F(BatcherTest, VerticesCarrySwappedColoursAndTexturedOnesTheHalfPixelShift) {
  Start();
  Device->BeginScene();
  Canvas->FillQuad(Point4(1, 2, 11, 3, 12, 13, 0, 14), Color4Corners(HalfRed, 1, 2, 0x00030000), 1284);
  Canvas->AddTexturedQuad(Bounds4(10, 20, 5, 5), Point4(0, 0.25, 1, 0.25, 1, 0.75, 0, 0.75), 1284, -1, nullptr,
                          Color4(HalfRed));
  ASSERT_EQ(Canvas->BatchVertexCount(), 8);
  EXPECT_EQ(Corner(0, 0).X, 1.0f);
  EXPECT_EQ(Corner(0, 3).Y, 14.0f);
  EXPECT_EQ(Corner(0, 0).Diffuse, 0x80FF0000u);
  EXPECT_EQ(Corner(0, 1).Diffuse, 0x00010000u);
  EXPECT_EQ(Corner(0, 3).Diffuse, 3u);
  EXPECT_EQ(Corner(1, 0).X, 9.5f);
  EXPECT_EQ(Corner(1, 2).Y, 24.5f);
  EXPECT_EQ(Corner(1, 1).U, 1.0f);
  EXPECT_EQ(Corner(1, 1).V, 0.25f);
  for (int I = 0; I < 8; ++I) {
    EXPECT_EQ(Staged(I).Z, 0.0f);
    EXPECT_EQ(Staged(I).RHW, 1.0f);
  }
  const std::vector<std::uint16_t> Indices(Canvas->BatchIndices(), Canvas->BatchIndices() + 12);
  EXPECT_EQ(Indices, (std::vector<std::uint16_t>{0, 1, 3, 1, 2, 3, 4, 5, 7, 5, 6, 7}));
  Device->EndScene();
}

TEST_F(BatcherTest, PropertyChangesFlushAndApplyAtOnce) {
  Start();
  Device->BeginScene();
  Canvas->FillQuad(Square, Color4(HalfRed), 1284);
  Canvas->SetAntialias(false);
  EXPECT_EQ(DrawnPrimitives(), std::vector<std::uint64_t>{2});
  EXPECT_TRUE(Logged("SetSamplerState", 0, D3DSAMP_MAGFILTER, D3DTEXF_POINT));
  Canvas->FillQuad(Square, Color4(HalfRed), 1284);
  Canvas->SetDithering(true);
  EXPECT_EQ(DrawnPrimitives().size(), 2u);
  EXPECT_TRUE(Logged("SetRenderState", D3DRS_DITHERENABLE, TRUE));
  Device->EndScene();
}

TEST_F(BatcherTest, NothingIsDrawnWhileLostAndTheBuffersComeBackWithTheDevice) {
  Start();
  soft::LoseDevices(1);  // the first Flip finds it still lost
  EXPECT_FALSE(Device->Flip());
  ASSERT_TRUE(Canvas->Lost());
  Device->BeginScene();
  Canvas->FillQuad(Square, Color4(HalfRed), 1284);
  Device->EndScene();
  EXPECT_EQ(CountOf("DrawIndexedPrimitive"), 0);
  EXPECT_EQ(CountOf("VertexBuffer::Lock"), 0);
  EXPECT_EQ(Canvas->BatchVertexCount(), 0);

  EXPECT_TRUE(Device->Flip());  // reset succeeds
  EXPECT_FALSE(Canvas->Lost());
  EXPECT_EQ(CountOf("CreateVertexBuffer"), 1);
  Device->BeginScene();
  Canvas->FillQuad(Square, Color4(HalfRed), 1284);
  Device->EndScene();
  EXPECT_EQ(DrawnPrimitives(), std::vector<std::uint64_t>{2});
  // The reset put the device's states back to their defaults: they are set again.
  EXPECT_TRUE(Logged("SetRenderState", D3DRS_CULLMODE, D3DCULL_NONE));
}

TEST_F(BatcherTest, ADeviceFinalisedWhileLostStartsAgainUnlost) {
  Start();
  soft::FailNext("Reset", 1);
  EXPECT_FALSE(Device->ResetDevice());  // msgDeviceLost without msgDeviceRestored
  ASSERT_TRUE(Canvas->Lost());
  Device->Finalize();
  ASSERT_TRUE(Device->Initialize());
  EXPECT_FALSE(Canvas->Lost());
  Device->BeginScene();
  Canvas->FillQuad(Square, Color4(HalfRed), 1284);
  Device->EndScene();
  EXPECT_EQ(DrawnPrimitives(), std::vector<std::uint64_t>{2});
}

TEST_F(BatcherTest, FailedBufferCreationVetoesTheDeviceAndLaterQuadsAreIgnored) {
  soft::FailNext("CreateIndexBuffer", 1, E_OUTOFMEMORY);
  EXPECT_FALSE(Device->Initialize());
  EXPECT_FALSE(Canvas->Initialized());
  soft::CallLog().Clear();
  Canvas->FillQuad(Square, Color4(HalfRed), 1284);
  Canvas->AddTexturedQuad(Square, Square, 1284, 0, nullptr, Color4(HalfRed));
  Canvas->Flush();
  EXPECT_TRUE(soft::CallLog().Calls().empty());
  EXPECT_EQ(soft::LiveObjects(), 0);
}

TEST_F(BatcherTest, ASecondInitialisationIsRefusedAndFinalisationStillReleasesAll) {
  Start();
  EXPECT_FALSE(Canvas->HandleMessage(msgDeviceInitialize));
  EXPECT_FALSE(Canvas->Initialized());
  EXPECT_EQ(CountOf("CreateVertexBuffer"), 0);
  Device->Finalize();
  EXPECT_EQ(soft::LiveObjects(), 0);
}

TEST_F(BatcherTest, FailedRestorationFinalisesTheBatcher) {
  Start();
  soft::LoseDevices(1);  // the first Flip finds it still lost
  Device->Flip();
  soft::FailNext("CreateVertexBuffer", 1, E_OUTOFMEMORY);
  EXPECT_TRUE(Device->Flip());
  EXPECT_FALSE(Canvas->Initialized());
  EXPECT_FALSE(Canvas->Lost());
  Device->BeginScene();
  Canvas->FillQuad(Square, Color4(HalfRed), 1284);
  Device->EndScene();
  EXPECT_EQ(CountOf("DrawIndexedPrimitive"), 0);
}

TEST_F(BatcherTest, AFailingLockDiscardsOnlyThatBatch) {
  Start();
  Device->BeginScene();
  soft::FailNext("VertexBuffer::Lock", 1);
  Canvas->FillQuad(Square, Color4(HalfRed), 1284);
  Canvas->FillQuad(Square, Color4(White), 1284);
  Device->EndScene();
  EXPECT_EQ(DrawnPrimitives(), std::vector<std::uint64_t>{2});
  EXPECT_EQ(Calls("DrawIndexedPrimitive").size(), 1u);
}

TEST_F(BatcherTest, FlushMessageFlushesLikeTheEndOfAScene) {
  Start();
  Device->BeginScene();
  Canvas->FillQuad(Square, Color4(HalfRed), 1284);
  EXPECT_TRUE(Canvas->HandleMessage(msgFlush));
  EXPECT_EQ(DrawnPrimitives(), std::vector<std::uint64_t>{2});
  EXPECT_TRUE(Canvas->HandleMessage(msgBeginScene));
  EXPECT_TRUE(Canvas->HandleMessage(12345));
  Device->EndScene();
}

}  // namespace
}  // namespace qel::testing
