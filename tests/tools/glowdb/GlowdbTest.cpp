#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "engine/archive/GlowDb.h"
#include "engine/archive/GlowDbWriter.h"
#include "framework/LittleEndian.h"
#include "framework/Streams.h"
#include "tools/common/Png.h"
#include "tools/glowdb/Glowdb.h"

namespace qel {
namespace {

namespace fs = std::filesystem;

struct TRun {
  int Status;
  std::string Out, Err;
};

TRun Glowdb(std::vector<std::string> Args) {
  std::ostringstream Out, Err;
  const int Status = RunGlowdb(Args, Out, Err);
  return {Status, Out.str(), Err.str()};
}

int Lines(const std::string& Text) { return static_cast<int>(std::count(Text.begin(), Text.end(), '\n')); }

class GlowdbTool : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("glowdb-tool-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir);
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }

  std::string Path(const std::string& Name) const { return (Dir / Name).string(); }

  std::string Write(const std::string& Name, const std::vector<std::uint8_t>& Bytes) const {
    TMemoryStream S;
    S.WriteBuffer(Bytes.data(), static_cast<std::int64_t>(Bytes.size()));
    EXPECT_TRUE(S.SaveToFile(Path(Name)));
    return Path(Name);
  }

  static std::vector<std::uint8_t> Load(const std::string& File) {
    TMemoryStream S;
    EXPECT_TRUE(S.LoadFromFile(File));
    return S.Bytes();
  }

  fs::path Dir;
};

std::string Artwork() {
  const char* Source = std::getenv("QEL_SOURCE_DIR");
  return std::string(Source ? Source : ".") + "/assets/glowdb.dat";
}

TEST_F(GlowdbTool, HelpAndBadCommandLines) {
  const TRun Help = Glowdb({"--help"});
  EXPECT_EQ(Help.Status, 0);
  for (const char* Command : {"glowdb list", "glowdb verify", "glowdb extract", "glowdb pack", "image:", "font:", "raw:"})
    EXPECT_NE(Help.Out.find(Command), std::string::npos) << Command;

  for (const std::vector<std::string>& Bad : std::vector<std::vector<std::string>>{
           {},
           {"frobnicate"},
           {"list"},
           {"list", "a", "b"},
           {"extract", "a"},
           {"verify", "a", "--key"},
           {"verify", "a", "--key", "abc"},
           {"verify", "a", "--key", "zz"},
           {"verify", "a", "--key", std::string(114, 'a')},
           {"verify", "a", "--bogus"},
           {"pack", Path("out")},
           {"pack", Path("out"), "picture:k=f.png"},
           {"pack", Path("out"), "image:=f.png"},
           {"pack", Path("out"), "image:k=f.png,format=rgb565"},
           {"pack", Path("out"), "image:k=f.png,pattern=0x4"},
           {"pack", Path("out"), "font:k=f.ttf"},
           {"pack", Path("out"), "font:k=f.ttf,size=9,first=300"},
           {"pack", Path("out"), "raw:k=f,type=70000"},
           {"pack", Path("out"), "raw:k=f,colour=red"},
       }) {
    const TRun R = Glowdb(Bad);
    std::string Joined;
    for (const auto& A : Bad) Joined += A + " ";
    EXPECT_EQ(R.Status, 2) << Joined;
    EXPECT_EQ(Lines(R.Err), 1) << Joined << "\n" << R.Err;
    EXPECT_EQ(R.Err.rfind("glowdb: ", 0), 0u) << R.Err;
    EXPECT_TRUE(R.Out.empty());
  }
  EXPECT_FALSE(fs::exists(Path("out")));
}

TEST_F(GlowdbTool, ListsAndVerifiesTheArtwork) {
  const TRun List = Glowdb({"list", Artwork()});
  ASSERT_EQ(List.Status, 0) << List.Err;
  std::istringstream Lines(List.Out);
  std::string Key, Type, Enc;
  std::uint32_t Orig, Phys;
  const char* Keys[] = {"Verdana9.font", "Verdana-B-12.font", "bg", "tex"};
  const char* Types[] = {"font", "font", "image", "image"};
  const std::uint32_t Sizes[] = {66305, 131881, 262177, 16417};
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(Lines >> Key >> Type >> Orig >> Phys >> Enc);
    EXPECT_EQ(Key, Keys[i]);
    EXPECT_EQ(Type, Types[i]);
    EXPECT_EQ(Orig, Sizes[i]);
    EXPECT_GT(Phys, 0u);
    EXPECT_EQ(Enc, "no");
  }
  EXPECT_FALSE(Lines >> Key);
  const TRun Verify = Glowdb({"verify", Artwork()});
  EXPECT_EQ(Verify.Status, 0);
  EXPECT_EQ(Verify.Out, "ok Verdana9.font\nok Verdana-B-12.font\nok bg\nok tex\n");
  EXPECT_TRUE(Verify.Err.empty());
}

// Every damaged archive gives status 1 and one line on stderr naming the file (and the record
// when one record is at fault), from list, verify and extract alike.
TEST_F(GlowdbTool, DamagedArchivesFailCleanly) {
  TGlowDbWriter W;
  ASSERT_TRUE(W.Add("good", 1, std::vector<std::uint8_t>(500, 'g'), 0));
  ASSERT_TRUE(W.Add("rec", 1, std::vector<std::uint8_t>(300, 'r'), 0));
  const auto Sample = W.Bytes();
  const std::uint32_t Table = le::Load32(Sample.data() + 8);
  // The second entry: key length, "good", offset, key length, "rec", offset.
  auto RecordOffset = [](const std::vector<std::uint8_t>& A) {
    return le::Load32(A.data() + le::Load32(A.data() + 8) + 4 + 4 + 4 + 4 + 3);
  };
  const std::size_t Rec = RecordOffset(Sample);
  auto Patched = [&](std::size_t At, std::uint32_t Value) {
    auto A = Sample;
    le::Store32(A.data() + At, Value);
    return A;
  };
  TGlowDbWriter BombWriter;
  ASSERT_TRUE(BombWriter.Add("good", 1, std::vector<std::uint8_t>(500, 'g'), 0));
  ASSERT_TRUE(BombWriter.Add("rec", 1, std::vector<std::uint8_t>(4u << 20, 0), 0));
  auto Bomb = BombWriter.Bytes();
  le::Store32(Bomb.data() + RecordOffset(Bomb) + 2, 1000);
  auto WrongDigest = Sample;
  WrongDigest[Rec + 18] ^= 1;

  struct TCase {
    const char* Name;
    std::vector<std::uint8_t> Bytes;
    bool RecordLevel;  // the table reads; only record "rec" fails
  };
  const TCase Cases[] = {
      {"empty", {}, false},
      {"eleven", std::vector<std::uint8_t>(Sample.begin(), Sample.begin() + 11), false},
      {"truncated", std::vector<std::uint8_t>(Sample.begin(), Sample.end() - 5), false},
      {"table-past-end", Patched(8, static_cast<std::uint32_t>(Sample.size() + 1)), false},
      {"key-4gb", Patched(Table, 0xFFFFFFFFu), false},
      {"count-max", Patched(4, 0xFFFFFFFFu), false},
      {"physsize-4gb", Patched(Rec + 6, 0xFFFFFFFFu), true},
      {"origsize-4gb", Patched(Rec + 2, 0xFFFFFFFFu), true},
      {"wrong-size", Patched(Rec + 2, 301), true},
      {"wrong-digest", WrongDigest, true},
      {"bomb", Bomb, true},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    const std::string File = Write(C.Name, C.Bytes);
    for (const std::vector<std::string>& Args : std::vector<std::vector<std::string>>{
             {"verify", File}, {"extract", File, "rec", "-o", Path("payload")}, {"list", File}}) {
      SCOPED_TRACE(Args[0]);
      const TRun R = Glowdb(Args);
      if (Args[0] == "list" && C.RecordLevel) {
        EXPECT_EQ(R.Status, 0) << "listing reads only the headers";
        continue;
      }
      EXPECT_EQ(R.Status, 1);
      EXPECT_EQ(Lines(R.Err), 1) << R.Err;
      EXPECT_EQ(R.Err.rfind("glowdb: " + File + ": ", 0), 0u) << R.Err;
      if (C.RecordLevel) {
        EXPECT_NE(R.Err.find("\"rec\""), std::string::npos) << R.Err;
      }
      if (Args[0] == "verify" && C.RecordLevel) {
        EXPECT_EQ(R.Out.substr(0, 8), "ok good\n");
        EXPECT_EQ(R.Out.rfind("FAILED rec: ", 0 + 8), 8u) << R.Out;
      }
    }
    EXPECT_FALSE(fs::exists(Path("payload")));
  }
  const TRun Missing = Glowdb({"list", Path("no-such-file")});
  EXPECT_EQ(Missing.Status, 1);
  EXPECT_EQ(Lines(Missing.Err), 1);
}

TEST_F(GlowdbTool, PacksRawRecordsEncipheredAndExtractsThem) {
  Write("one.bin", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20});
  Write("two.bin", std::vector<std::uint8_t>(1000, 7));
  const std::string Out = Path("packed.gldb");
  const std::string Key = "00112233445566778899aabbccddeeff";
  const TRun Pack = Glowdb({"pack", Out, "--key", Key, "raw:One=" + Path("one.bin") + ",type=9", "raw:two=" + Path("two.bin")});
  ASSERT_EQ(Pack.Status, 0) << Pack.Err;
  const TRun List = Glowdb({"list", Out});
  EXPECT_EQ(List.Out.substr(0, 9), "One 9 20 ");
  EXPECT_NE(List.Out.find(" yes\ntwo 0 1000 "), std::string::npos) << List.Out;

  const TRun NoKey = Glowdb({"verify", Out});
  EXPECT_EQ(NoKey.Status, 1);
  EXPECT_EQ(Lines(NoKey.Out), 2);
  EXPECT_EQ(NoKey.Out.rfind("FAILED One: ", 0), 0u) << NoKey.Out;
  const TRun WithKey = Glowdb({"verify", Out, "--key", Key});
  EXPECT_EQ(WithKey.Status, 0) << WithKey.Err;

  const TRun ToStdout = Glowdb({"extract", Out, "ONE", "--key", Key});
  ASSERT_EQ(ToStdout.Status, 0) << ToStdout.Err;
  EXPECT_EQ(std::vector<std::uint8_t>(ToStdout.Out.begin(), ToStdout.Out.end()), Load(Path("one.bin")));
  ASSERT_EQ(Glowdb({"extract", "--key", Key, Out, "two", "-o", Path("two.out")}).Status, 0);
  EXPECT_EQ(Load(Path("two.out")), Load(Path("two.bin")));

  // Each record has its own random IV.
  TComponent Owner(nullptr);
  TGlowDb* Db = Create<TGlowDb>(&Owner);
  Db->SetFileName(Out);
  Db->SetOpenMode(opReadOnly);
  ASSERT_TRUE(Db->EnsureOpen());
  EXPECT_NE(Db->RecordInfo(0)->CipherIV, Db->RecordInfo(1)->CipherIV);
}

TEST_F(GlowdbTool, AFixedSourceDateGivesTheSameBytes) {
  Write("data.bin", std::vector<std::uint8_t>(64, 3));
  ::setenv("SOURCE_DATE_EPOCH", "86400", 1);
  ASSERT_EQ(Glowdb({"pack", Path("a"), "raw:k=" + Path("data.bin")}).Status, 0);
  ASSERT_EQ(Glowdb({"pack", Path("b"), "raw:k=" + Path("data.bin")}).Status, 0);
  ::setenv("SOURCE_DATE_EPOCH", "yesterday", 1);
  EXPECT_EQ(Glowdb({"pack", Path("c"), "raw:k=" + Path("data.bin")}).Status, 2);
  ::unsetenv("SOURCE_DATE_EPOCH");
  EXPECT_EQ(Load(Path("a")), Load(Path("b")));
  TComponent Owner(nullptr);
  TGlowDb* Db = Create<TGlowDb>(&Owner);
  Db->SetFileName(Path("a"));
  ASSERT_TRUE(Db->EnsureOpen());
  EXPECT_EQ(Db->RecordInfo(0)->Stamp, 25570.0) << "1970-01-02 counted from 1899-12-30";
}

TEST_F(GlowdbTool, PacksImagesCutIntoPatternsOverSeveralTextures) {
  // 30 x 20 picture of 10 x 10 cells, each cell one colour: six patterns.
  TArgbPicture P;
  P.Width = 30;
  P.Height = 20;
  P.Pixels.resize(600);
  const std::uint32_t Colours[6] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x80FFFFFF, 0x00000000, 0xFF123456};
  for (int Y = 0; Y < 20; ++Y)
    for (int X = 0; X < 30; ++X) P.At(X, Y) = Colours[(Y / 10) * 3 + X / 10];
  std::string Error;
  ASSERT_TRUE(SavePng(Path("cells.png"), P, Error)) << Error;
  const std::string Out = Path("images.gldb");
  const TRun Pack = Glowdb({"pack", Out, "image:cells=" + Path("cells.png") + ",pattern=10x10,visible=8x8,texture=20x10,format=a4r4g4b4",
                            "image:whole=" + Path("cells.png")});
  ASSERT_EQ(Pack.Status, 0) << Pack.Err;
  const TRun Cells = Glowdb({"extract", Out, "cells"});
  ASSERT_EQ(Cells.Status, 0);
  const auto* B = reinterpret_cast<const std::uint8_t*>(Cells.Out.data());
  ASSERT_EQ(Cells.Out.size(), 33u + 3 * 20 * 10 * 2) << "two patterns per 20 x 10 texture: three textures";
  EXPECT_EQ(B[0], 7);
  const std::uint32_t Header[8] = {10, 10, 8, 8, 6, 20, 10, 3};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(le::Load32(B + 1 + 4 * i), Header[i]) << "field " << i;
  // Pattern k sits in texture k / 2, left or right half; colours keep their high 4 bits.
  const std::uint16_t Expected[6] = {0xFF00, 0xF0F0, 0xF00F, 0x8FFF, 0x0000, 0xF135};
  for (int K = 0; K < 6; ++K) {
    const int Texel = (K / 2) * 200 + 5 * 20 + (K % 2) * 10 + 5;
    EXPECT_EQ(le::Load16(B + 33 + 2 * Texel), Expected[K]) << "pattern " << K;
  }
  const TRun Whole = Glowdb({"extract", Out, "whole"});
  ASSERT_EQ(Whole.Out.size(), 33u + 600 * 4) << "defaults: one pattern, the whole picture, a8r8g8b8";
  EXPECT_EQ(le::Load32(reinterpret_cast<const std::uint8_t*>(Whole.Out.data()) + 33 + 4 * 599), 0xFF123456u);

  // A pattern larger than the picture, or a texture smaller than a pattern, is refused.
  for (const std::string& Entry : {"image:k=" + Path("cells.png") + ",pattern=40x10",
                                   "image:k=" + Path("cells.png") + ",pattern=10x10,texture=5x5",
                                   "image:k=" + Path("missing.png"), "image:k=" + Path("images.gldb")}) {
    const TRun R = Glowdb({"pack", Path("bad"), Entry});
    EXPECT_EQ(R.Status, 1) << Entry;
    EXPECT_NE(R.Err.find("record \"k\""), std::string::npos) << R.Err;
    EXPECT_EQ(Lines(R.Err), 1);
  }
  EXPECT_FALSE(fs::exists(Path("bad")));
}

TEST_F(GlowdbTool, PacksFontsWithTheirGlyphTable) {
  const std::string Font = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  if (!fs::exists(Font)) GTEST_SKIP() << "fonts-dejavu-core is not installed";
  const std::string Out = Path("fonts.gldb");
  ASSERT_EQ(Glowdb({"pack", Out, "font:plain=" + Font + ",size=10,first=65,count=4",
                    "font:bold=" + Font + ",size=10,first=65,count=4,bold,format=a8r8g8b8,texture=64x64"})
                .Status,
            0);
  const TRun Plain = Glowdb({"extract", Out, "plain"});
  const TRun Bold = Glowdb({"extract", Out, "bold"});
  ASSERT_EQ(Plain.Status, 0);
  ASSERT_EQ(Bold.Status, 0);
  const auto* P = reinterpret_cast<const std::uint8_t*>(Plain.Out.data());
  const auto* B = reinterpret_cast<const std::uint8_t*>(Bold.Out.data());
  EXPECT_EQ(le::Load32(P), 65u);
  EXPECT_EQ(le::Load32(P + 12), 4u);
  const std::uint32_t VisibleW = le::Load32(P + 48 + 1 + 8), VisibleH = le::Load32(P + 48 + 1 + 12);
  EXPECT_EQ(le::Load32(P + 48 + 1), VisibleW + 1) << "cell = visible + 1";
  EXPECT_EQ(le::Load32(P + 48 + 1 + 4), VisibleH + 1);
  EXPECT_EQ(P[48], 7) << "a4r4g4b4 by default";
  EXPECT_EQ(B[48], 5);
  for (int G = 0; G < 4; ++G) {
    EXPECT_EQ(le::Load32(P + 20 + 8 * G), VisibleH);
    EXPECT_GE(le::Load32(B + 16 + 8 * G), le::Load32(P + 16 + 8 * G)) << "bold glyphs advance at least as far";
  }
  // Emboldening adds ink.
  auto Ink = [](const std::string& Payload, int Bytes) {
    long Sum = 0;
    for (std::size_t i = 48 + 33; i + Bytes <= Payload.size(); i += Bytes) Sum += static_cast<unsigned char>(Payload[i + Bytes - 1]) >> 4;
    return Sum;
  };
  EXPECT_GT(Ink(Bold.Out, 4), Ink(Plain.Out, 2)) << "compared at a4 precision";

  const TRun NotAFont = Glowdb({"pack", Path("bad"), "font:f=" + Out + ",size=9"});
  EXPECT_EQ(NotAFont.Status, 1);
  EXPECT_NE(NotAFont.Err.find("record \"f\""), std::string::npos);
}

}  // namespace
}  // namespace qel
