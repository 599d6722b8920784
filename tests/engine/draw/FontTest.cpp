#include <cstdint>
#include <stdexcept>

#include "engine/device/GlowSubsc.h"
#include "engine/draw/GlowFonts.h"
#include "tests/engine/draw/FontKit.h"
#include "tests/engine/draw/DrawFixture.h"

namespace qel::testing {
namespace {

constexpr std::uint32_t Top = 0x11223344u;     // engine colours, not opaque white, so a
constexpr std::uint32_t Bottom = 0x55667788u;  // whole string stays in one batch

class FontTest : public DeviceDrawTest {
 protected:
  void SetUp() override {
    DeviceDrawTest::SetUp();
    Fonts = Create<TGlowFonts>(Root.get());
    Fonts->SetPublisher(Device);
    Fonts->SetCanvas(Canvas);
    Start();
  }

  TGlowFont* Abcd() {
    TGlowDb* Db = testsupport::MemoryArchive(Root.get(), {{"abcd", 3, AbcdFont()}});
    TGlowFont* Font = Fonts->Add();
    EXPECT_TRUE(Font->LoadRecord("abcd", *Db, qlHigh, avFull));
    return Font;
  }
  TGlowFont* Embedded(int Index) {
    TGlowDb* Db = EmbeddedArchive(Root.get());
    EXPECT_NE(Db, nullptr);
    EXPECT_TRUE(Db && Fonts->LoadFromGlowDb(*Db));
    return Fonts->Items(Index);
  }
  // Draws Text inside a scene and leaves the batch staged for inspection.
  void Draw(TGlowFont* Font, std::string_view Text, double X, double Y) {
    Device->BeginScene();
    Font->TextOutEx(Text, X, Y, Top, Bottom, 1284);
  }
  void TearDown() override {
    Device->EndScene();
    DeviceDrawTest::TearDown();
  }
  // Quad corners as given to the canvas (the batcher moved them by half a pixel).
  float X(int Quad, int C) const { return Corner(Quad, C).X + 0.5f; }
  float Y(int Quad, int C) const { return Corner(Quad, C).Y + 0.5f; }

  TGlowFonts* Fonts = nullptr;
};

TEST_F(FontTest, PenAdvancesByGlyphAdvanceAndSpacingOrByTheBlankAdvance) {
  TGlowFont* Font = Abcd();
  Draw(Font, "AB?C", 10.7, 20.2);  // '?' is below the first character
  ASSERT_EQ(StagedQuads(), 3);
  EXPECT_EQ(X(0, 0), 10.0f);  // positions truncated to whole pixels
  EXPECT_EQ(Y(0, 0), 20.0f);
  EXPECT_EQ(X(0, 2), 16.0f);  // 6 x 6 visible size
  EXPECT_EQ(Y(0, 2), 26.0f);
  EXPECT_EQ(X(1, 0), 16.0f);  // 10.7 + 5 + 1
  EXPECT_EQ(X(2, 0), 25.0f);  // + 6 + 1, then 6 x 0.3 for '?'
  // Glyph C is pattern 2: the third cell, its visible part one texel in.
  EXPECT_EQ(Corner(2, 0).U, 17.0f / 32);
  EXPECT_EQ(Corner(2, 1).U, 23.0f / 32);
  // Top corners in the top colour, bottom corners in the bottom colour, red and blue swapped.
  EXPECT_EQ(Corner(0, 1).Diffuse, 0x11443322u);
  EXPECT_EQ(Corner(0, 3).Diffuse, 0x55887766u);
}

TEST_F(FontTest, AdvancesAtTheTopOfTheRangeMoveThePenOnWithoutWrapping) {
  const std::int32_t Max = INT32_MAX;
  TGlowDb* Db = testsupport::MemoryArchive(Root.get(), {{"wide", 3, FontPayload('A', Max, {Max, Max}, 2, CellImagePayload(2))}});
  TGlowFont* Font = Fonts->Add();
  ASSERT_TRUE(Font->LoadRecord("wide", *Db, qlHigh, avFull));
  Draw(Font, "AA", 0, 0);
  ASSERT_EQ(StagedQuads(), 2);
  EXPECT_EQ(X(1, 0), 4294967294.0f);  // 2 x (2^31 - 1), far off to the right
}

TEST_F(FontTest, ScaleAndInterleaveWidenTheTextButNotTheWholePixelOffsets) {
  TGlowFont* Font = Abcd();
  Font->SetScale(2);
  Font->SetInterleave(0.5);
  Font->SetStyle({feBold, feShadow});
  Draw(Font, "AB", 10, 20);
  ASSERT_EQ(StagedQuads(), 8);
  EXPECT_EQ(X(0, 0), 16.0f);  // shadow (3, 2) doubled
  EXPECT_EQ(Y(0, 0), 24.0f);
  EXPECT_EQ(X(1, 0), 10.0f);
  EXPECT_EQ(X(1, 2), 22.0f);  // 12 x 12 glyph
  EXPECT_EQ(Y(1, 2), 32.0f);
  EXPECT_EQ(X(2, 0), 9.0f);  // bold copies one pixel aside, unscaled
  EXPECT_EQ(X(3, 0), 11.0f);
  EXPECT_EQ(X(5, 0), 23.0f);  // (5 + 1 + 0.5) x 2
}

TEST_F(FontTest, StylesDrawShadowGlyphBoldCopiesAndHighlightsInThatOrder) {
  TGlowFont* Font = Abcd();
  Font->SetStyle({feBold, feShadow, feEmboss});
  Font->SetShadowColor(0xFF0000FFu);  // its alpha is replaced
  Font->SetEmbossColor(0x00FF0000u);
  Draw(Font, "A", 10, 20);
  ASSERT_EQ(StagedQuads(), 7);
  const float Want[7][2] = {{13, 22}, {9, 19}, {8, 19}, {10, 19}, {10, 20}, {9, 20}, {11, 20}};
  for (int Q = 0; Q < 7; ++Q) {
    EXPECT_EQ(X(Q, 0), Want[Q][0]) << Q;
    EXPECT_EQ(Y(Q, 0), Want[Q][1]) << Q;
  }
  EXPECT_EQ(Corner(0, 2).Diffuse, 0x80FF0000u);  // intensity 0.5: 127.5 rounds to 128
  EXPECT_EQ(Corner(1, 0).Diffuse, 0x11443322u);
  EXPECT_EQ(Corner(6, 2).Diffuse, 0x850000FFu);  // 0.8 x 255 x 0.65 = 132.6 with bold
}

TEST_F(FontTest, EmbossAloneDrawsOneFullStrengthHighlight) {
  TGlowFont* Font = Abcd();
  Font->SetStyle({feEmboss});
  Draw(Font, "A", 10, 20);
  ASSERT_EQ(StagedQuads(), 2);
  EXPECT_EQ(X(0, 0), 9.0f);
  EXPECT_EQ(X(1, 0), 10.0f);
  EXPECT_EQ(Corner(1, 0).Diffuse, 0xCC000000u);  // 0.8 x 255 = 204
}

TEST_F(FontTest, ItalicLeansTheTopRightByAnEighthOfTheWidth) {
  TGlowFont* Font = Embedded(0);
  Font->SetStyle({feItalic});
  Draw(Font, "A", 10, 20);
  ASSERT_EQ(StagedQuads(), 1);
  EXPECT_EQ(X(0, 0), 11.0f);
  EXPECT_EQ(X(0, 1), 26.0f);
  EXPECT_EQ(X(0, 2), 23.0f);
  EXPECT_EQ(X(0, 3), 8.0f);
}

struct TTagCase {
  const char* Text;
  int Quads;
  std::uint32_t TopDiffuse, BottomDiffuse;  // of the last quad
};

TEST_F(FontTest, ColourTagsChangeColoursOnlyWhereTwoCharactersFollow) {
  TGlowFont* Font = Embedded(0);
  const TTagCase Cases[] = {
      {"#$FF0000FFAB", 2, 0xFFFF0000u, 0x55887766u},
      {"#$FF0000FFA", 11, 0x11443322u, 0x55887766u},
      {"&$80FFFFFF#$FF000000xy", 12, 0x11443322u, 0x80FFFFFFu},
      {"0xZZZZZZZZab", 2, 0x55887766u, 0x55887766u},
      {"0xff00ff80ab", 2, 0xFF80FF00u, 0xFF80FF00u},
      {"#$00000001&$00000002xy", 2, 0x00010000u, 0x00020000u},
      {"#$FF0000FF", 10, 0x11443322u, 0x55887766u},
  };
  for (const TTagCase& C : Cases) {
    Draw(Font, C.Text, 0, 0);
    ASSERT_EQ(StagedQuads(), C.Quads) << C.Text;
    EXPECT_EQ(Corner(C.Quads - 1, 0).Diffuse, C.TopDiffuse) << C.Text;
    EXPECT_EQ(Corner(C.Quads - 1, 2).Diffuse, C.BottomDiffuse) << C.Text;
    Device->EndScene();
  }
  Font->SetTextTags(false);
  Draw(Font, "#$FF0000FFAB", 0, 0);
  EXPECT_EQ(StagedQuads(), 12);
}

TEST_F(FontTest, FrameRateTextOfTheFirstFont) {
  TGlowFont* Font = Embedded(0);
  Device->BeginScene();
  Font->TextOut("FPS: 99", 10, 10, 0x80FFFFFFu);
  ASSERT_EQ(StagedQuads(), 6);  // the space draws nothing
  for (int Q = 0; Q < 6; ++Q) {
    EXPECT_EQ(Y(Q, 0), 10.0f);
    EXPECT_EQ(X(Q, 1) - X(Q, 0), 15.0f);
    EXPECT_EQ(Y(Q, 2) - Y(Q, 0), 12.0f);
    EXPECT_EQ(Corner(Q, 0).Diffuse, 0x80FFFFFFu);
  }
  // After ':' the space moves the pen by 15 x 0.3 = 4.5 and the next glyph starts at its
  // truncated position.
  const double Colon = 10 + Font->Glyph('F' - 33).Advance + Font->Glyph('P' - 33).Advance +
                       Font->Glyph('S' - 33).Advance;
  EXPECT_EQ(X(4, 0), static_cast<float>(static_cast<int>(Colon + Font->Glyph(':' - 33).Advance + 4.5)));
  Canvas->Flush();
  DWORD Destination = 0;
  ASSERT_EQ(Direct3DDevice->GetRenderState(D3DRS_DESTBLEND, &Destination), D3D_OK);
  EXPECT_EQ(Destination, static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
}

TEST_F(FontTest, TheEmbeddedArchiveHoldsBothFonts) {
  ASSERT_NE(Embedded(0), nullptr);
  ASSERT_EQ(Fonts->Count(), 2);
  const TGlowFont* Small = Fonts->Items(0);
  const TGlowFont* Bold = Fonts->Items(1);
  EXPECT_EQ(Small->Name(), "Verdana9.font");
  EXPECT_EQ(Bold->Name(), "Verdana-B-12.font");
  EXPECT_EQ(Small->FirstChar(), 33);
  EXPECT_EQ(Small->GlyphCount(), 90);
  EXPECT_EQ(Small->Image()->VisibleSize(), (TPoint{15, 12}));
  EXPECT_EQ(Bold->FirstChar(), 32);
  EXPECT_EQ(Bold->GlyphCount(), 95);
  EXPECT_EQ(Bold->Image()->VisibleSize(), (TPoint{21, 16}));
  EXPECT_EQ(Fonts->Items(-1), nullptr);
  EXPECT_EQ(Fonts->Items(2), nullptr);
}

TEST_F(FontTest, TheLoadEventCanSkipRenameAndSeesTheNextIndex) {
  std::vector<std::pair<std::string, int>> Seen;
  Fonts->SetOnGlowDbLoad([&](TObject* Sender, const std::string& Key, int Index, bool& Accept, std::string& Name,
                             TGlowQuality&, TAlphaLevel&) {
    EXPECT_EQ(Sender, Fonts);
    Seen.emplace_back(Key, Index);
    Accept = Key != "Verdana9.font";
    Name = "bold";
  });
  Embedded(0);
  EXPECT_EQ(Seen, (std::vector<std::pair<std::string, int>>{{"Verdana9.font", 0}, {"Verdana-B-12.font", 0}}));
  ASSERT_EQ(Fonts->Count(), 1);
  EXPECT_EQ(Fonts->Items(0)->Name(), "bold");
  EXPECT_EQ(Fonts->Items(0)->FirstChar(), 32);
}

TEST_F(FontTest, DefaultNamesCountOnAcrossClear) {
  EXPECT_EQ(Fonts->Add()->Name(), "Font00");
  EXPECT_EQ(Fonts->Add()->Name(), "Font01");
  Fonts->Clear();
  EXPECT_EQ(Fonts->Count(), 0);
  EXPECT_EQ(Fonts->Add()->Name(), "Font02");
  EXPECT_TRUE(Fonts->HandleMessage(msgDeviceFinalize));
  EXPECT_EQ(Fonts->Count(), 0);
}

TEST_F(FontTest, ArchivesWithoutFontsLoadNothingSuccessfully) {
  TGlowDb* Db = testsupport::MemoryArchive(Root.get(), {{"pic", 1, CellImagePayload(1)}});
  EXPECT_TRUE(Fonts->LoadFromGlowDb(*Db));
  EXPECT_EQ(Fonts->Count(), 0);
}

TEST_F(FontTest, BadRecordsFailTheLoadWithoutAnImage) {
  const std::vector<std::uint8_t> Image = CellImagePayload(4);
  const std::vector<std::uint8_t> Good = AbcdFont();
  const std::vector<testsupport::TRecord> Records = {
      {"negative", 3, FontPayload('A', 0, {5, 6, 7, 8}, -1, Image)},
      {"huge", 3, FontPayload('A', 0, {5, 6, 7, 8}, 0x7FFFFFFF, Image)},
      {"beyond", 3, FontPayload('A', 0, {5}, 200, {})},
      {"short", 3, std::vector<std::uint8_t>(Good.begin(), Good.begin() + 14)},
      {"noimage", 3, FontPayload('A', 0, {5, 6}, 2, {})},
      {"image", 1, Image},
  };
  TGlowDb* Db = testsupport::MemoryArchive(Root.get(), Records);
  for (const char* Key : {"negative", "huge", "beyond", "short", "noimage", "image", "missing"}) {
    TGlowFont* Font = Fonts->Add();
    EXPECT_FALSE(Font->LoadRecord(Key, *Db, qlHigh, avFull)) << Key;
    EXPECT_FALSE(Font->Loaded()) << Key;
    EXPECT_EQ(Font->Image(), nullptr) << Key;
  }
  // The list stops at the first bad font and keeps it under its default name.
  Fonts->Clear();
  EXPECT_FALSE(Fonts->LoadFromGlowDb(*Db));
  ASSERT_EQ(Fonts->Count(), 1);
  EXPECT_EQ(Fonts->Items(0)->Name(), "Font07");
}

TEST_F(FontTest, AFontLoadsOnce) {
  TGlowFont* Font = Abcd();
  TGlowDb* Db = testsupport::MemoryArchive(Root.get(), {{"abcd", 3, AbcdFont()}});
  EXPECT_FALSE(Font->LoadRecord("abcd", *Db, qlHigh, avFull));
  EXPECT_TRUE(Font->Loaded());
}

TEST_F(FontTest, DrawingWithoutOwnerOrCanvasThrowsAndDrawsNothing) {
  TGlowDb* Db = testsupport::MemoryArchive(Root.get(), {{"abcd", 3, AbcdFont()}});
  TGlowFont Orphan(nullptr);
  Orphan.TextOut("A", 0, 0, Top);  // not loaded: silently nothing
  ASSERT_TRUE(Orphan.LoadRecord("abcd", *Db, qlHigh, avFull));
  Device->BeginScene();
  try {
    Orphan.TextOut("A", 0, 0, Top);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& E) {
    EXPECT_STREQ(E.what(), "TGlowFont: Unassigned Owner property.");
  }
  TGlowFont* Font = Abcd();
  Fonts->SetCanvas(nullptr);
  try {
    Font->TextOut("A", 0, 0, Top);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& E) {
    EXPECT_STREQ(E.what(), "TGlowFont: Unassigned Owner.Canvas property.");
  }
  EXPECT_EQ(StagedQuads(), 0);
}

TEST_F(FontTest, TheListTakesACanvasThatJoinsItsOwnerAndForgetsOneThatLeaves) {
  TComponent Form(nullptr);
  TGlowCanvas* Before = Create<TGlowCanvas>(&Form);
  TGlowFonts* List = Create<TGlowFonts>(&Form);
  EXPECT_EQ(List->Canvas(), nullptr);  // at run time the stored setting binds an earlier canvas
  TGlowCanvas* After = Create<TGlowCanvas>(&Form);
  EXPECT_EQ(List->Canvas(), After);
  Create<TGlowCanvas>(&Form);
  EXPECT_EQ(List->Canvas(), After);  // the first one stays
  delete After;
  EXPECT_EQ(List->Canvas(), nullptr);
  List->SetCanvas(Before);
  EXPECT_EQ(List->Canvas(), Before);

  TComponent Designer(nullptr);  // in the form designer the first canvas is taken at once
  Designer.SetDesigning(true);
  TGlowCanvas* First = Create<TGlowCanvas>(&Designer);
  Create<TGlowCanvas>(&Designer);
  EXPECT_EQ(Create<TGlowFonts>(&Designer)->Canvas(), First);
}

}  // namespace
}  // namespace qel::testing
