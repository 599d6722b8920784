#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/images/TextureFormats.h"
#include "platform/d3d9/ComPtr.h"
#include "platform/d3d9/soft/SoftControls.h"

namespace qel {
namespace {

constexpr D3DFORMAT R3G3B2 = D3DFMT_R3G3B2, R5G6B5 = D3DFMT_R5G6B5, X8 = D3DFMT_X8R8G8B8, X1 = D3DFMT_X1R5G5B5,
                    X4 = D3DFMT_X4R4G4B4, A8R8 = D3DFMT_A8R8G8B8, A1 = D3DFMT_A1R5G5B5, A4 = D3DFMT_A4R4G4B4,
                    A8R3 = D3DFMT_A8R3G3B2, A8 = D3DFMT_A8;

class TextureFormatChoice : public ::testing::Test {
 protected:
  void SetUp() override {
    soft::ResetControls();
    Direct3D = ComPtr<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
    ASSERT_TRUE(Direct3D);
  }
  void TearDown() override {
    Direct3D.Reset();
    soft::ResetControls();
  }
  void Supports(std::vector<D3DFORMAT> Formats, HRESULT WithAutoGen = D3D_OK) {
    soft::Adapter().Textures.clear();
    for (D3DFORMAT F : Formats) soft::Adapter().Textures.push_back({F, D3D_OK, WithAutoGen});
  }
  D3DFORMAT Choose(TGlowQuality Quality, TAlphaLevel Alpha, DWORD Usage = 0) {
    return ChooseTextureFormat(*Direct3D.Get(), D3DFMT_X8R8G8B8, Quality, Alpha, Usage);
  }

  ComPtr<IDirect3D9> Direct3D;
};

TEST_F(TextureFormatChoice, TakesTheFirstOfEachListOnAFullAdapter) {
  Supports({R3G3B2, R5G6B5, X8, X1, X4, A8R8, A1, A4, A8R3, A8});
  EXPECT_EQ(Choose(qlLow, avNone), R3G3B2);
  EXPECT_EQ(Choose(qlMedium, avNone), R5G6B5);
  EXPECT_EQ(Choose(qlHigh, avNone), X8);
  for (TGlowQuality Q : {qlLow, qlMedium, qlHigh}) {
    EXPECT_EQ(Choose(Q, avMask), A1);
    EXPECT_EQ(Choose(Q, avOnly), A8);
  }
  EXPECT_EQ(Choose(qlLow, avFull), A4);
  EXPECT_EQ(Choose(qlMedium, avFull), A4);
  EXPECT_EQ(Choose(qlHigh, avFull), A8R8);
}

TEST_F(TextureFormatChoice, FallsBackAlongTheListWhenFormatsAreMissing) {
  Supports({R5G6B5, X8, X1, X4, A8R8, A1, A4, A8});  // no R3G3B2, no A8R3G3B2
  EXPECT_EQ(Choose(qlLow, avNone), R5G6B5);
  EXPECT_EQ(Choose(qlMedium, avNone), R5G6B5);
  EXPECT_EQ(Choose(qlHigh, avNone), X8);
  EXPECT_EQ(Choose(qlHigh, avMask), A1);
  EXPECT_EQ(Choose(qlLow, avFull), A4);
  EXPECT_EQ(Choose(qlHigh, avFull), A8R8);
  EXPECT_EQ(Choose(qlMedium, avOnly), A8);

  // Take away more and the later entries of each list show.
  Supports({X1, X4, A8R8, A1});
  EXPECT_EQ(Choose(qlLow, avNone), X1);
  EXPECT_EQ(Choose(qlMedium, avNone), X1);
  EXPECT_EQ(Choose(qlHigh, avNone), X1);
  EXPECT_EQ(Choose(qlLow, avFull), A8R8);
  EXPECT_EQ(Choose(qlMedium, avFull), A8R8);
  EXPECT_EQ(Choose(qlHigh, avFull), A8R8);
  EXPECT_EQ(Choose(qlHigh, avOnly), A8R8);
  Supports({A1, A8R3});
  EXPECT_EQ(Choose(qlLow, avFull), A1) << "low quality prefers 1-bit alpha to 3-3-2 colour";
  EXPECT_EQ(Choose(qlMedium, avFull), A8R3);
  EXPECT_EQ(Choose(qlHigh, avOnly), A8R3);
  EXPECT_EQ(Choose(qlHigh, avNone), D3DFMT_UNKNOWN) << "no opaque format at all";
}

TEST_F(TextureFormatChoice, WishesOutOfRangeYieldNoFormatWithoutAsking) {
  Supports({R5G6B5, X8, A8R8});
  soft::CallLog().Clear();
  EXPECT_EQ(Choose(static_cast<TGlowQuality>(3), avNone), D3DFMT_UNKNOWN);
  EXPECT_EQ(Choose(qlHigh, static_cast<TAlphaLevel>(4)), D3DFMT_UNKNOWN);
  EXPECT_EQ(soft::CallLog().Count("CheckDeviceFormat"), 0);
}

TEST_F(TextureFormatChoice, AsksForTexturesOfTheUsageAgainstTheAdapterFormat) {
  Supports({R5G6B5, X8});
  soft::Adapter().Textures[0].WithAutoGenMipMap = D3DERR_NOTAVAILABLE;
  soft::CallLog().Clear();
  EXPECT_EQ(Choose(qlMedium, avNone, D3DUSAGE_AUTOGENMIPMAP), X8) << "R5G6B5 cannot make its mipmaps here";
  const std::vector<soft::TCall> Calls = soft::CallLog().Named("CheckDeviceFormat");
  ASSERT_EQ(Calls.size(), 2u);
  EXPECT_EQ(Calls[0].Arg(0), 0u);
  EXPECT_EQ(Calls[0].Arg(1), static_cast<std::uint64_t>(D3DDEVTYPE_HAL));
  EXPECT_EQ(Calls[0].Arg(2), static_cast<std::uint64_t>(D3DFMT_X8R8G8B8));
  EXPECT_EQ(Calls[0].Arg(3), static_cast<std::uint64_t>(D3DUSAGE_AUTOGENMIPMAP));
  EXPECT_EQ(Calls[0].Arg(4), static_cast<std::uint64_t>(D3DRTYPE_TEXTURE));
  EXPECT_EQ(Calls[0].Arg(5), static_cast<std::uint64_t>(R5G6B5));
  EXPECT_EQ(Calls[1].Arg(5), static_cast<std::uint64_t>(X8));
  EXPECT_EQ(Choose(qlMedium, avNone, 0), R5G6B5);
}

TEST_F(TextureFormatChoice, TheDefaultAdapterGivesTheFormatsTheProgramUses) {
  EXPECT_EQ(Choose(qlHigh, avFull), A8R8);
  EXPECT_EQ(Choose(qlMedium, avNone, D3DUSAGE_AUTOGENMIPMAP), R5G6B5);
  EXPECT_EQ(Choose(qlLow, avNone), R5G6B5) << "no R3G3B2 textures";
}

TEST(FormatFromD3D, MapsTheTableAndNothingElse) {
  const std::pair<D3DFORMAT, TColorFormat> Table[] = {
      {D3DFMT_R3G3B2, cfR3G3B2},     {D3DFMT_R5G6B5, cfR5G6B5},     {D3DFMT_X8R8G8B8, cfX8R8G8B8},
      {D3DFMT_X1R5G5B5, cfX1R5G5B5}, {D3DFMT_X4R4G4B4, cfX4R4G4B4}, {D3DFMT_A8R8G8B8, cfA8R8G8B8},
      {D3DFMT_A1R5G5B5, cfA1R5G5B5}, {D3DFMT_A4R4G4B4, cfA4R4G4B4}, {D3DFMT_A8R3G3B2, cfA8R3G3B2},
      {D3DFMT_A8, cfA8}};
  for (const auto& [D3D, Code] : Table) EXPECT_EQ(FormatFromD3D(D3D), Code) << D3D;
  for (D3DFORMAT Other : {D3DFMT_UNKNOWN, D3DFMT_R8G8B8, D3DFMT_A8B8G8R8, D3DFMT_L8, D3DFMT_D16, D3DFMT_P8})
    EXPECT_EQ(FormatFromD3D(Other), cfUnknown) << Other;
}

}  // namespace
}  // namespace qel
