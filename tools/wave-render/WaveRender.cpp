#include "tools/wave-render/WaveRender.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "app/Program.h"
#include "engine/device/FrameReadBack.h"
#include "framework/Random.h"
#include "tools/common/Png.h"
#include "tools/wave-render/BuiltInDesktop.h"
#include "tools/wave-render/PngEncoder.h"
#include "tools/wave-render/RenderOptions.h"
#include "tools/wave-render/WaveStateText.h"

namespace fs = std::filesystem;

namespace qel::waverender {
namespace {

// A picture placed at the top-left corner of a screen, cropped or padded with black, as a
// screen capture would show it.
void PlaceOnScreen(const TArgbPicture& Picture, int Width, int Height, TBitmap& Screen) {
  Screen.SetSize(Width, Height, TPixelFormat::pf32bit);
  const int W = std::min(Width, Picture.Width);
  for (int Y = 0; Y < std::min(Height, Picture.Height); ++Y) {
    auto* Row = reinterpret_cast<std::uint32_t*>(Screen.ScanLine(Y));
    for (int X = 0; X < W; ++X) Row[X] = Picture.At(X, Y) & 0xFFFFFFu;
  }
}

// What happens at one requested time.
struct TMoment {
  std::vector<std::string> Stills;  // file names
  bool AnimationFrame = false;
};

// Output files under temporary names, renamed together at the end or removed.
class TOutputs {
 public:
  ~TOutputs() { Discard(); }
  std::string Add(const std::string& Final) {
    FFiles.push_back({Final, Final + ".partial"});
    return FFiles.back().second;
  }
  bool Commit(std::string& Error) {
    for (const auto& [Final, Temp] : FFiles) {
      std::error_code Ec;
      fs::rename(Temp, Final, Ec);
      if (Ec) {
        Error = "cannot write " + Final + ": " + Ec.message();
        return false;
      }
    }
    FFiles.clear();
    FCreatedDir.clear();
    return true;
  }
  void CreatedDir(const std::string& Dir) { FCreatedDir = Dir; }

 private:
  void Discard() {
    std::error_code Ec;
    for (const auto& File : FFiles) fs::remove(File.second, Ec);
    if (!FCreatedDir.empty()) fs::remove(FCreatedDir, Ec);  // only removes it while empty
  }
  std::vector<std::pair<std::string, std::string>> FFiles;
  std::string FCreatedDir;
};

bool WriteFile(const std::string& Name, const std::vector<std::uint8_t>& Bytes) {
  std::ofstream F(Name, std::ios::binary | std::ios::trunc);
  F.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
  F.close();
  return static_cast<bool>(F);
}

int Fail(std::FILE* Err, const std::string& Message, int Status) {
  std::fprintf(Err, "wave-render: %s\n", Message.c_str());
  return Status;
}

// --print-state: the readable state after each simulated second, as the first versions of
// this tool printed it; nothing is drawn.
int PrintStates(const TRenderOptions& O, TRenderHost& Host, TPlatform& Platform, std::FILE* Out, std::FILE* Err) {
  TApplication App(Platform);
  FixRandomizeSeed(O.Seed);
  int NextSecond = 1;
  TMainForm* Form = nullptr;
  RunProgram(App, "/s", [&](TMainForm& F) {
    Form = &F;
    F.D->SetOnRender({});
    const TNotifyEvent Frame = F.Timer->OnTimer();
    F.Timer->SetOnTimer([&, Frame](TObject* Sender) {
      Frame(Sender);
      while (NextSecond <= O.Seconds && Host.Clock().NowMs() >= NextSecond * 1000.0)
        std::fputs(WaveStatePrint(NextSecond++, F).c_str(), Out);
      if (NextSecond > O.Seconds) App.Terminate();
    });
  });
  UnfixRandomizeSeed();
  if (!Form || !Form->D->Initialized()) return Fail(Err, "Failed to initialize Glow device!", 1);
  return 0;
}

}  // namespace

int WaveRenderMain(const std::vector<std::string>& Args, TRenderHost& Host, std::FILE* Out, std::FILE* Err) {
  TRenderOptions O;
  std::string Error;
  if (!ParseRenderOptions(Args, O, Error)) {
    std::fprintf(Err, "wave-render: %s\n%s", Error.c_str(), RenderUsage());
    return 2;
  }
  if (O.Help) {
    std::fputs(RenderUsage(), Out);
    return 0;
  }

  // The desktop picture, checked before anything is written.
  TBitmap Desktop;
  if (!O.DesktopFile.empty()) {
    TArgbPicture Picture;
    if (!LoadPng(O.DesktopFile, Picture, Error)) return Fail(Err, Error, 2);
    if (O.Width == 0) {
      if (Picture.Width < MinSide || Picture.Height < MinSide)
        return Fail(Err, O.DesktopFile + " is smaller than the smallest screen (16x16): give --size", 2);
      O.Width = Picture.Width;
      O.Height = Picture.Height;
    }
    PlaceOnScreen(Picture, O.Width, O.Height, Desktop);
  } else {
    if (O.Width == 0) {
      O.Width = DefaultWidth;
      O.Height = DefaultHeight;
    }
    PaintBuiltInDesktop(Desktop, O.Width, O.Height);
  }
  if (Desktop.Width() != O.Width) return Fail(Err, "the screen is too large for this machine's memory", 1);

  if (!Host.UseRenderer(O.Renderer, Error)) return Fail(Err, Error, 1);
  TPlatform& Platform = Host.MakePlatform(O.Width, O.Height, Desktop);
  if (O.PrintState) return PrintStates(O, Host, Platform, Out, Err);

  // Every output under a temporary name first.
  TOutputs Outputs;
  std::map<double, TMoment> Moments;
  std::vector<std::string> Written;
  if (!O.Stills.empty()) {
    std::error_code Ec;
    if (!fs::is_directory(O.OutDir, Ec)) {
      if (!fs::create_directory(O.OutDir, Ec) || Ec) return Fail(Err, "cannot create the folder " + O.OutDir, 2);
      Outputs.CreatedDir(O.OutDir);
    }
    for (const TStillFrame& S : O.Stills) {
      const std::string Name = (fs::path(O.OutDir) / ("frame-" + S.Text + ".png")).string();
      std::vector<std::string>& Names = Moments[static_cast<double>(S.AtMs)].Stills;
      if (std::find(Names.begin(), Names.end(), Name) == Names.end()) Names.push_back(Name);
    }
  }
  const int AnimationFrames = O.AnimateFile.empty() ? 0 : O.AnimateFps * O.Seconds;
  for (int k = 0; k < AnimationFrames; ++k) Moments[k * 1000.0 / O.AnimateFps].AnimationFrame = true;

  std::map<std::string, std::string> TempOf;
  for (auto& [At, M] : Moments)
    for (const std::string& Name : M.Stills) {
      TempOf[Name] = Outputs.Add(Name);
      Written.push_back(Name);
    }
  std::unique_ptr<std::ofstream> State;
  if (!O.StateFile.empty()) {
    State = std::make_unique<std::ofstream>(Outputs.Add(O.StateFile), std::ios::binary | std::ios::trunc);
    if (!*State) return Fail(Err, "cannot create " + O.StateFile, 2);
  }
  TApngWriter Animation;
  if (AnimationFrames > 0 &&
      !Animation.Open(Outputs.Add(O.AnimateFile), O.Width, O.Height, AnimationFrames, O.AnimateFps, Error))
    return Fail(Err, Error, 2);

  // The screensaver on the manual clock. Frames nobody asked for are cleared and presented
  // but not drawn: the wave does not depend on its pictures, and drawing is the cost.
  TApplication App(Platform);
  FixRandomizeSeed(O.Seed);
  TMainForm* Form = nullptr;
  auto Next = Moments.begin();
  bool Failed = false;
  TFramePixels Frame;
  RunProgram(App, "/s", [&](TMainForm& F) {
    Form = &F;
    F.ShowFPS = O.FpsReadout;
    F.D->SetOnRender([&](TObject* Sender) {
      if (Next != Moments.end() && Host.Clock().NowMs() >= Next->first) F.DRender(Sender);
    });
    F.SetOnFrameRendered([&](TObject*) {
      const double Now = Host.Clock().NowMs();
      if (Next == Moments.end() || Now < Next->first) return;
      if (!ReadBackFrame(Frame)) {
        Error = "the frame at " + std::to_string(Now) + " ms cannot be read back";
        Failed = true;
      }
      for (; !Failed && Next != Moments.end() && Now >= Next->first; ++Next) {
        const TMoment& M = Next->second;
        if (!M.Stills.empty()) {
          std::vector<std::uint8_t> Png;
          if (!EncodePng(Frame, Png)) {
            Error = "cannot encode a frame";
            Failed = true;
          }
          for (const std::string& Name : M.Stills)
            if (!Failed && !WriteFile(TempOf[Name], Png)) {
              Error = "cannot write " + Name;
              Failed = true;
            }
        }
        if (!Failed && M.AnimationFrame && !Animation.AddFrame(Frame, Error)) Failed = true;
        if (!Failed && State) *State << WaveStateJson(Next->first, F.D->Width(), F.D->Height(), F.Wave) << '\n';
      }
      if (Failed || Next == Moments.end()) App.Terminate();
    });
  });
  UnfixRandomizeSeed();

  if (!Form || !Form->D->Initialized()) return Fail(Err, "Failed to initialize Glow device!", 1);
  if (Failed) return Fail(Err, Error, 1);
  if (Next != Moments.end()) return Fail(Err, "the screensaver ended before the last frame", 1);
  if (State) {
    State->close();
    if (!*State) return Fail(Err, "cannot write " + O.StateFile, 1);
  }
  if (AnimationFrames > 0) {
    if (!Animation.Close(Error)) return Fail(Err, Error, 1);
    Written.push_back(O.AnimateFile);
  }
  if (State) Written.push_back(O.StateFile);
  if (!Outputs.Commit(Error)) return Fail(Err, Error, 1);
  for (const std::string& Name : Written) std::fprintf(Out, "%s\n", Name.c_str());
  return 0;
}

}  // namespace qel::waverender
