#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "platform/d3d9/soft/SoftControls.h"
#include "tools/common/Png.h"
#include "tools/wave-render/BuiltInDesktop.h"
#include "tools/wave-render/HeadlessHost.h"
#include "tools/wave-render/WaveStateText.h"

namespace qel::waverender {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> Bytes(const fs::path& File) {
  std::ifstream F(File, std::ios::binary);
  return {std::istreambuf_iterator<char>(F), {}};
}

std::uint32_t BigEndian(const std::uint8_t* P) {
  return std::uint32_t(P[0]) << 24 | std::uint32_t(P[1]) << 16 | std::uint32_t(P[2]) << 8 | P[3];
}

struct TChunk {
  std::string Type;
  std::vector<std::uint8_t> Data;
};

// The chunks of a PNG file, every CRC checked.
std::vector<TChunk> Chunks(const std::vector<std::uint8_t>& Png) {
  std::vector<TChunk> Out;
  EXPECT_GE(Png.size(), 8u);
  for (std::size_t P = 8; P + 12 <= Png.size();) {
    const std::uint32_t N = BigEndian(&Png[P]);
    const std::uint32_t Crc = static_cast<std::uint32_t>(crc32(0, &Png[P + 4], N + 4));
    EXPECT_EQ(Crc, BigEndian(&Png[P + 8 + N]));
    Out.push_back({std::string(Png.begin() + P + 4, Png.begin() + P + 8), {Png.begin() + P + 8, Png.begin() + P + 8 + N}});
    P += 12 + N;
  }
  return Out;
}

// The frames of an animated PNG, each decoded as a picture of its own (every frame covers the
// whole picture).
std::vector<TArgbPicture> AnimationFrames(const std::vector<std::uint8_t>& Apng) {
  std::vector<TArgbPicture> Frames;
  std::vector<std::uint8_t> Header, Data;
  auto Put = [](std::vector<std::uint8_t>& Out, const char* Type, const std::vector<std::uint8_t>& Body) {
    for (int Shift = 24; Shift >= 0; Shift -= 8) Out.push_back(static_cast<std::uint8_t>(Body.size() >> Shift));
    const std::size_t Start = Out.size();
    Out.insert(Out.end(), Type, Type + 4);
    Out.insert(Out.end(), Body.begin(), Body.end());
    const auto Crc = static_cast<std::uint32_t>(crc32(0, &Out[Start], static_cast<uInt>(Out.size() - Start)));
    for (int Shift = 24; Shift >= 0; Shift -= 8) Out.push_back(static_cast<std::uint8_t>(Crc >> Shift));
  };
  auto Finish = [&] {
    if (Data.empty()) return;
    std::vector<std::uint8_t> Png(Apng.begin(), Apng.begin() + 8);
    Put(Png, "IHDR", Header);
    Put(Png, "IDAT", Data);
    Put(Png, "IEND", {});
    TArgbPicture Frame;
    std::string Error;
    EXPECT_TRUE(DecodePng(Png.data(), Png.size(), Frame, Error)) << Error;
    Frames.push_back(Frame);
    Data.clear();
  };
  for (const TChunk& K : Chunks(Apng)) {
    if (K.Type == "IHDR") Header = K.Data;
    if (K.Type == "fcTL" || K.Type == "IEND") Finish();
    if (K.Type == "IDAT") Data.insert(Data.end(), K.Data.begin(), K.Data.end());
    if (K.Type == "fdAT") Data.insert(Data.end(), K.Data.begin() + 4, K.Data.end());
  }
  return Frames;
}

class WaveRender : public ::testing::Test {
 protected:
  void SetUp() override {
    soft::ResetControls();
    Dir = fs::temp_directory_path() /
          ("wave-render-test-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(Dir);
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }

  // Runs wave-render in the test's folder; answers its status, with stderr in Err.
  int Run(std::vector<std::string> Args) {
    std::FILE* Out = std::tmpfile();
    std::FILE* ErrFile = std::tmpfile();
    const fs::path Was = fs::current_path();
    fs::current_path(Dir);
    THeadlessHost Host;
    const int Status = WaveRenderMain(Args, Host, Out, ErrFile);
    fs::current_path(Was);
    std::rewind(ErrFile);
    char Buf[512] = {};
    Err.assign(Buf, std::fread(Buf, 1, sizeof Buf - 1, ErrFile));
    std::fclose(Out);
    std::fclose(ErrFile);
    return Status;
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> Names;
    for (const auto& E : fs::recursive_directory_iterator(Dir)) Names.push_back(fs::relative(E.path(), Dir).string());
    std::sort(Names.begin(), Names.end());
    return Names;
  }
  void WriteBytes(const std::string& Name, const std::vector<std::uint8_t>& B) {
    std::ofstream(Dir / Name, std::ios::binary).write(reinterpret_cast<const char*>(B.data()), static_cast<std::streamsize>(B.size()));
  }

  fs::path Dir;
  std::string Err;
};

TEST_F(WaveRender, SameArgumentsGiveTheSameBytes) {
  const std::vector<std::string> Args = {"--seed", "9", "--size", "96x64", "--at", "0,150", "--state", "s.jsonl",
                                         "--animate", "a.png", "--fps", "20", "--seconds", "1"};
  ASSERT_EQ(Run(Args), 0) << Err;
  fs::rename(Dir / "wave-frames", Dir / "first");
  const auto FirstFrame = Bytes(Dir / "first" / "frame-150.png"), FirstState = Bytes(Dir / "s.jsonl"),
             FirstAnimation = Bytes(Dir / "a.png");
  ASSERT_EQ(Run(Args), 0) << Err;
  EXPECT_EQ(Bytes(Dir / "wave-frames" / "frame-150.png"), FirstFrame);
  EXPECT_EQ(Bytes(Dir / "s.jsonl"), FirstState);
  EXPECT_EQ(Bytes(Dir / "a.png"), FirstAnimation);
  EXPECT_EQ(Files(), (std::vector<std::string>{"a.png", "first", "first/frame-0.png", "first/frame-150.png", "s.jsonl",
                                               "wave-frames", "wave-frames/frame-0.png", "wave-frames/frame-150.png"}));
}

TEST_F(WaveRender, TheAnimationIsAValidLoopingApngOfRgbFrames) {
  ASSERT_EQ(Run({"--size", "40x24", "--animate", "a.png", "--fps", "8", "--seconds", "2"}), 0) << Err;
  const std::vector<TChunk> C = Chunks(Bytes(Dir / "a.png"));
  ASSERT_GE(C.size(), 4u);
  EXPECT_EQ(C[0].Type, "IHDR");
  EXPECT_EQ(std::vector<std::uint8_t>(C[0].Data.begin() + 8, C[0].Data.end()), (std::vector<std::uint8_t>{8, 2, 0, 0, 0}));
  EXPECT_EQ(C[1].Type, "acTL");
  EXPECT_EQ(BigEndian(&C[1].Data[0]), 16u);  // frames
  EXPECT_EQ(BigEndian(&C[1].Data[4]), 0u);   // loops for ever
  EXPECT_EQ(C.back().Type, "IEND");
  std::uint32_t Sequence = 0;
  int Frames = 0;
  for (const TChunk& K : C) {
    if (K.Type == "fcTL") {
      ++Frames;
      EXPECT_EQ(BigEndian(&K.Data[0]), Sequence++);
      EXPECT_EQ(K.Data[20] << 8 | K.Data[21], 1);  // shown for 1/8 s
      EXPECT_EQ(K.Data[22] << 8 | K.Data[23], 8);
    }
    if (K.Type == "IDAT" || K.Type == "fdAT") {
      const std::size_t Skip = K.Type == "fdAT" ? 4 : 0;
      if (Skip) {
        EXPECT_EQ(BigEndian(&K.Data[0]), Sequence++);
      }
      std::vector<std::uint8_t> Raw(24 * (1 + 40 * 3) + 1);
      uLongf Size = static_cast<uLongf>(Raw.size());
      ASSERT_EQ(uncompress(Raw.data(), &Size, K.Data.data() + Skip, static_cast<uLong>(K.Data.size() - Skip)), Z_OK);
      EXPECT_EQ(Size, 24u * (1 + 40 * 3));
    }
  }
  EXPECT_EQ(Frames, 16);
  // Viewers without animation show the first frame: the desktop.
  TArgbPicture First;
  ASSERT_TRUE(LoadPng((Dir / "a.png").string(), First, Err)) << Err;
  EXPECT_EQ(First.Width, 40);
}

// Frame k of an animation at N frames a second is the frame shown at k / N seconds: the
// still frame of that time, drawn from the wave as it stood then. Frames come every 10 ms or
// so and show the state before their own processing steps (0.0025 of fade each, 120 a
// second): the first wave's fade at T ms has had the steps of T - 20 ms and none beyond T.
TEST_F(WaveRender, EachAnimationFrameIsTheStillFrameOfItsTime) {
  ASSERT_EQ(Run({"--size", "48x32", "--animate", "a.png", "--fps", "5", "--seconds", "1", "--at", "0,200,400,600,800",
                 "--state", "s.jsonl"}),
            0)
      << Err;
  const std::vector<TArgbPicture> Frames = AnimationFrames(Bytes(Dir / "a.png"));
  ASSERT_EQ(Frames.size(), 5u);
  std::ifstream State(Dir / "s.jsonl");
  std::string Line;
  for (int k = 0; k < 5; ++k) {
    const int At = 200 * k;
    TArgbPicture Still;
    ASSERT_TRUE(LoadPng((Dir / "wave-frames" / ("frame-" + std::to_string(At) + ".png")).string(), Still, Err)) << Err;
    EXPECT_EQ(Frames[static_cast<std::size_t>(k)].Pixels, Still.Pixels) << "frame " << k;
    // The desktop dissolves: no two of these frames are alike.
    if (k > 0) {
      EXPECT_NE(Frames[static_cast<std::size_t>(k)].Pixels, Frames[static_cast<std::size_t>(k - 1)].Pixels) << k;
    }
    ASSERT_TRUE(std::getline(State, Line));
    const auto Value = [&](const std::string& Key) { return std::strtod(Line.c_str() + Line.find("\"" + Key + "\":") + Key.size() + 3, nullptr); };
    EXPECT_EQ(Value("at"), At);
    const double Steps = (Value("fade") + 1) / 0.0025;
    EXPECT_GE(Steps, std::floor(0.12 * (At - 20)) - 1e-6) << "at " << At;
    EXPECT_LE(Steps, 0.12 * At + 1e-6) << "at " << At;
  }
}

// --print-state prints and writes nothing: every option about pictures is refused with a
// message that says what it takes; those it takes run.
TEST_F(WaveRender, PrintStateTakesOnlyWhatShapesTheWave) {
  for (const std::vector<std::string>& Extra : std::vector<std::vector<std::string>>{
           {"--at", "0"}, {"--out", "d"}, {"--fps", "5"}, {"--fps-readout"}, {"--state", "s.jsonl"}, {"--animate", "a.png"},
           {"--animate", "a.png", "--seconds", "1"}}) {
    std::vector<std::string> Args = {"--print-state"};
    Args.insert(Args.end(), Extra.begin(), Extra.end());
    EXPECT_EQ(Run(Args), 2) << Extra[0];
    EXPECT_NE(Err.find("wave-render: --print-state prints the state and writes no pictures: it takes only --seed, "
                       "--size, --desktop and --seconds"),
              std::string::npos)
        << Extra[0] << ": " << Err;
  }
  EXPECT_TRUE(Files().empty());
  TArgbPicture Desk{16, 16, std::vector<std::uint32_t>(256, 0xFF808080u)};
  ASSERT_TRUE(SavePng((Dir / "desk.png").string(), Desk, Err));
  EXPECT_EQ(Run({"--print-state", "--seed", "3", "--size", "32x16", "--desktop", "desk.png", "--seconds", "1"}), 0) << Err;
  EXPECT_EQ(Files(), std::vector<std::string>{"desk.png"});
}

TEST_F(WaveRender, AnotherSizeOfDesktopIsPlacedTopLeftAndTheFrameRateCanBeShown) {
  TArgbPicture Desk{20, 20, std::vector<std::uint32_t>(400, 0xFFFFFFFFu)};
  ASSERT_TRUE(SavePng((Dir / "desk.png").string(), Desk, Err));
  ASSERT_EQ(Run({"--desktop", "desk.png", "--size", "64x32", "--at", "0"}), 0) << Err;
  TArgbPicture Frame;
  ASSERT_TRUE(LoadPng((Dir / "wave-frames" / "frame-0.png").string(), Frame, Err));
  ASSERT_EQ(Frame.Width, 64);
  EXPECT_EQ(Frame.At(19, 19) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(Frame.At(20, 19) & 0xFFFFFF, 0u);
  EXPECT_EQ(Frame.At(63, 31) & 0xFFFFFF, 0u);
  // The readout draws near the top-left corner and nowhere else.
  ASSERT_EQ(Run({"--desktop", "desk.png", "--size", "64x32", "--at", "0", "--out", "fps", "--fps-readout"}), 0) << Err;
  TArgbPicture WithFps;
  ASSERT_TRUE(LoadPng((Dir / "fps" / "frame-0.png").string(), WithFps, Err));
  int Changed = 0;
  for (int Y = 0; Y < 32; ++Y)
    for (int X = 0; X < 64; ++X)
      if (WithFps.At(X, Y) != Frame.At(X, Y)) {
        ++Changed;
        EXPECT_TRUE(X >= 10 && Y >= 10 && Y < 30) << X << "," << Y;
      }
  EXPECT_GT(Changed, 10);
}

TEST_F(WaveRender, BadInputAndFailuresLeaveNoFiles) {
  // A PNG whose header claims 100000 x 100000 pixels, with nothing behind it.
  std::vector<std::uint8_t> Huge = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                    0, 1, 0x86, 0xA0, 0, 1, 0x86, 0xA0, 8, 2, 0, 0, 0};
  const std::uint32_t Crc = static_cast<std::uint32_t>(crc32(0, &Huge[12], 17));
  for (int Shift = 24; Shift >= 0; Shift -= 8) Huge.push_back(static_cast<std::uint8_t>(Crc >> Shift));
  WriteBytes("huge.png", Huge);
  TArgbPicture Small{32, 32, std::vector<std::uint32_t>(1024, 0xFF336699u)};
  ASSERT_TRUE(SavePng((Dir / "small.png").string(), Small, Err));
  std::vector<std::uint8_t> Cut = Bytes(Dir / "small.png");
  Cut.resize(Cut.size() / 2);
  WriteBytes("cut.png", Cut);
  WriteBytes("text.png", {'h', 'e', 'l', 'l', 'o'});
  const auto Before = Files();
  for (const char* Bad : {"huge.png", "cut.png", "text.png", "none.png"}) {
    EXPECT_EQ(Run({"--desktop", Bad, "--state", "s.jsonl", "--animate", "a.png", "--at", "0"}), 2) << Bad;
    EXPECT_NE(Err.find("wave-render: "), std::string::npos) << Bad;
    EXPECT_EQ(Files(), Before) << Bad;
  }
  EXPECT_EQ(Run({"--renderer", "fast", "--at", "0"}), 2);
  EXPECT_NE(Err.find("--renderer needs auto, gl or soft"), std::string::npos) << Err;
  // A host that offers no choice of device (Windows' build) refuses one: status 1.
  EXPECT_EQ(Run({"--renderer", "gl", "--size", "32x32", "--at", "0"}), 1);
  EXPECT_NE(Err.find("--renderer"), std::string::npos) << Err;
  EXPECT_EQ(Files(), Before);
  // The device does not start: the message, status 1, and nothing written.
  soft::FailNext("CreateDevice", 2);  // the start and its one retry
  EXPECT_EQ(Run({"--size", "32x32", "--state", "s.jsonl", "--animate", "a.png", "--seconds", "1", "--at", "0"}), 1);
  EXPECT_NE(Err.find("Failed to initialize Glow device!"), std::string::npos) << Err;
  EXPECT_EQ(Files(), Before);
}

TEST(WaveStateText, EveryNumberReadsBackExactly) {
  TWaveState W;
  W.Fade = 1.0 / 3;
  W.LayerCount = 1;
  W.WaveColor = 0x00C7FF;
  W.Layers[0].Origin = Point2(0, 360);
  W.Layers[0].Phase = 0.1 + 0.2;
  W.Layers[0].SwingSpeed = -0.0049;
  W.Layers[0].Frequency = 1e-300;
  const std::string J = WaveStateJson(33.333333333333336, 1280, 720, W);
  auto Value = [&](const std::string& Key) { return std::strtod(J.c_str() + J.find("\"" + Key + "\":") + Key.size() + 3, nullptr); };
  EXPECT_EQ(Value("fade"), 1.0 / 3);
  EXPECT_EQ(Value("phase"), 0.1 + 0.2);
  EXPECT_EQ(Value("swingSpeed"), -0.0049);
  EXPECT_EQ(Value("frequency"), 1e-300);
  EXPECT_EQ(Value("at"), 33.333333333333336);
  EXPECT_NE(J.find("\"waveColor\":51199,"), std::string::npos);
  EXPECT_NE(J.find("\"origin\":[0,360]"), std::string::npos);
  EXPECT_EQ(J.find('\n'), std::string::npos);
}

TEST(BuiltInDesktop, IsAlwaysTheSameAndNotPlain) {
  TBitmap A, B;
  PaintBuiltInDesktop(A, 320, 200);
  PaintBuiltInDesktop(B, 320, 200);
  std::set<std::uint32_t> Colours;
  for (int Y = 0; Y < 200; ++Y) {
    ASSERT_EQ(std::memcmp(A.ScanLine(Y), B.ScanLine(Y), 320 * 4), 0);
    for (int X = 0; X < 320; ++X) Colours.insert(reinterpret_cast<const std::uint32_t*>(A.ScanLine(Y))[X]);
  }
  EXPECT_GT(Colours.size(), 50u);
}

}  // namespace
}  // namespace qel::waverender
