#include <cstdlib>

#include "tests/engine/draw/SoftDrawFixture.h"

namespace qel::testing {
namespace {

class BlendTest : public DrawTest {
 protected:
  // What one effect leaves at the centre of a quad drawn over an opaque background.
  std::uint32_t Blended(std::uint32_t Background, std::uint32_t Color, std::int32_t Effect) {
    Device->Clear(0xFF000000u);
    Device->BeginScene();
    Canvas->FillRect({0, 0, 16, 16}, Color4(Background), 1);
    Canvas->FillRect({4, 4, 12, 12}, Color4(Color), Effect);
    Device->EndScene();
    return Frame().Pixel(8, 8);
  }
};

struct TBlendCase {
  std::int32_t Effect;
  std::uint64_t Source, Dest, Op;
};

TEST_F(BlendTest, EachEffectSetsItsFactorsAndOperation) {
  const TBlendCase Cases[] = {
      {1284, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD},
      {512, D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, D3DBLENDOP_ADD},
      {260, D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_ADD},
      // The second operation is reverse subtraction, the third plain subtraction.
      {0x010A09, D3DBLEND_INVDESTCOLOR, D3DBLEND_SRCALPHASAT, D3DBLENDOP_REVSUBTRACT},
      {0x040706, D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA, D3DBLENDOP_MAX},
      {0x020302, D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR, D3DBLENDOP_SUBTRACT},
  };
  Start();
  for (const TBlendCase& C : Cases) {
    soft::CallLog().Clear();
    Device->BeginScene();
    Canvas->FillRect({0, 0, 4, 4}, Color4(0x80808080u), C.Effect);
    Device->EndScene();
    EXPECT_TRUE(Logged("SetRenderState", D3DRS_ALPHABLENDENABLE, TRUE)) << C.Effect;
    EXPECT_TRUE(Logged("SetRenderState", D3DRS_SRCBLEND, C.Source)) << C.Effect;
    EXPECT_TRUE(Logged("SetRenderState", D3DRS_DESTBLEND, C.Dest)) << C.Effect;
    EXPECT_TRUE(Logged("SetRenderState", D3DRS_BLENDOP, C.Op)) << C.Effect;
    EXPECT_TRUE(Logged("SetRenderState", D3DRS_ALPHATESTENABLE, TRUE)) << C.Effect;
  }
}

TEST_F(BlendTest, EffectOneSwitchesBlendingOff) {
  Start();
  Device->BeginScene();
  Canvas->FillRect({0, 0, 4, 4}, Color4(0x80808080u), 1);
  Device->EndScene();
  EXPECT_TRUE(Logged("SetRenderState", D3DRS_ALPHABLENDENABLE, FALSE));
  EXPECT_FALSE(Logged("SetRenderState", D3DRS_ALPHABLENDENABLE, TRUE));
  EXPECT_EQ(CountOf("DrawIndexedPrimitive"), 1);
}

TEST_F(BlendTest, WithoutAlphaTestingTheTestStaysOffWhateverTheEffect) {
  Canvas->SetAlphaTesting(false);
  Start();
  Device->BeginScene();
  for (std::int32_t Effect : {1284, 1, 512, 260}) Canvas->FillRect({0, 0, 4, 4}, Color4(0x80808080u), Effect);
  Device->EndScene();
  EXPECT_FALSE(Logged("SetRenderState", D3DRS_ALPHATESTENABLE, TRUE));
}

TEST_F(BlendTest, IndexesBeyondTheTablesSetNoStateAndDrawSafely) {
  Start();
  Device->BeginScene();
  Canvas->FillRect({0, 0, 4, 4}, Color4(0x80808080u), 0x050B04);  // destination 11, operation 5
  Device->EndScene();
  EXPECT_TRUE(Logged("SetRenderState", D3DRS_SRCBLEND, D3DBLEND_SRCALPHA));
  EXPECT_TRUE(Calls("SetRenderState").size() > 0);
  for (const soft::TCall& C : Calls("SetRenderState")) {
    EXPECT_NE(C.Arg(0), static_cast<std::uint64_t>(D3DRS_DESTBLEND));
    EXPECT_NE(C.Arg(0), static_cast<std::uint64_t>(D3DRS_BLENDOP));
  }
  EXPECT_EQ(CountOf("DrawIndexedPrimitive"), 1);
}

void ExpectNear(std::uint32_t Got, std::uint32_t Want) {
  for (int Shift = 0; Shift < 24; Shift += 8) {
    const int G = (Got >> Shift) & 0xFF, W = (Want >> Shift) & 0xFF;
    EXPECT_LE(std::abs(G - W), 1) << std::hex << "got " << Got << " want " << Want;
  }
}

TEST_F(BlendTest, PixelsOfTheThreeEffectsOnKnownBackgrounds) {
  Canvas->SetAlphaTesting(false);
  Start();
  // Background blue 0x80, green 0x40, red 0x20 (engine colours are 0xAABBGGRR).
  constexpr std::uint32_t Back = 0xFF804020u;
  // Half-transparent red: 255 * 128/255 + background * 127/255.
  ExpectNear(Blended(Back, 0x800000FFu, 1284), 0x00902040u);
  // Multiplying: the background scaled channel by channel (red 1, green 1/2, blue 0).
  ExpectNear(Blended(Back, 0xFF0080FFu, 512), 0x00202000u);
  // Additive light weighted by alpha: background + colour * 128/255.
  ExpectNear(Blended(Back, 0x80FFFFFFu, 260), 0x00A0C0FFu);
  // Where the quad is not, the background stays.
  EXPECT_EQ(Frame().Pixel(1, 1) & 0xFFFFFF, 0x00204080u);
}

}  // namespace
}  // namespace qel::testing
