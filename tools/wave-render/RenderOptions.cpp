#include "tools/wave-render/RenderOptions.h"

#include <charconv>
#include <set>

namespace qel::waverender {
namespace {

bool ParseWhole(const std::string& Text, std::uint64_t& Value) {
  if (Text.empty() || Text[0] < '0' || Text[0] > '9') return false;
  const char* End = Text.data() + Text.size();
  const auto [Ptr, Err] = std::from_chars(Text.data(), End, Value);
  return Err == std::errc() && Ptr == End;
}

bool ParseInRange(const std::string& Text, std::int64_t Low, std::int64_t High, std::int64_t& Value) {
  std::uint64_t V = 0;
  if (!ParseWhole(Text, V) || V > static_cast<std::uint64_t>(High) || static_cast<std::int64_t>(V) < Low) return false;
  Value = static_cast<std::int64_t>(V);
  return true;
}

bool ParseSize(const std::string& Text, int& Width, int& Height) {
  const std::size_t X = Text.find('x');
  if (X == std::string::npos) return false;
  std::int64_t W = 0, H = 0;
  if (!ParseInRange(Text.substr(0, X), MinSide, MaxSide, W) || !ParseInRange(Text.substr(X + 1), MinSide, MaxSide, H))
    return false;
  Width = static_cast<int>(W);
  Height = static_cast<int>(H);
  return true;
}

bool ParseTimes(const std::string& Text, std::vector<TStillFrame>& Stills) {
  Stills.clear();
  std::size_t Start = 0;
  while (true) {
    const std::size_t Comma = Text.find(',', Start);
    const std::string Part = Text.substr(Start, Comma == std::string::npos ? std::string::npos : Comma - Start);
    std::int64_t Ms = 0;
    if (!ParseInRange(Part, 0, MaxAtMs, Ms)) return false;
    Stills.push_back({Part, Ms});
    if (Comma == std::string::npos) return true;
    Start = Comma + 1;
  }
}

}  // namespace

const char* RenderUsage() {
  return "usage: wave-render [--seed N] [--size WxH] [--desktop FILE.png] [--at MS[,MS...]] [--out DIR]\n"
         "                   [--state FILE.jsonl] [--animate FILE.png [--fps N] [--seconds S]] [--fps-readout]\n"
         "       wave-render --print-state [--seed N] [--size WxH] [--desktop FILE.png] [--seconds S]\n"
         "  --seed N          random seed, 0 ... 18446744073709551615 (default 1)\n"
         "  --size WxH        the screen, 16 ... 16384 each side (default: the desktop picture's, else 1280x720)\n"
         "  --desktop FILE    the desktop picture the saver starts on (default: a built-in one)\n"
         "  --at MS,...       write the frame shown at or after each time (virtual ms, 0 ... 86400000)\n"
         "                    as DIR/frame-MS.png (default 0,3000,7000,20000 when there is no --animate)\n"
         "  --out DIR         where the frames go (default wave-frames)\n"
         "  --state FILE      one line of JSON per written frame: the wave state it was drawn from\n"
         "  --animate FILE    an animated PNG of S seconds (default 10) at N frames a second\n"
         "                    (1 ... 100, default 25)\n"
         "  --fps-readout     show the frame-rate readout\n"
         "  --renderer NAME   the device that draws (Linux): soft, the software device (default); gl, the GL\n"
         "                    device (OpenGL ES through EGL); auto, gl where a hardware GL driver answers\n"
         "  --print-state     print the wave's state once a simulated second for S seconds instead\n";
}

bool ParseRenderOptions(const std::vector<std::string>& Args, TRenderOptions& O, std::string& Error) {
  std::set<std::string> Seen;
  bool SawSeconds = false, SawFps = false, SawAt = false, SawOut = false;
  for (std::size_t i = 0; i < Args.size(); ++i) {
    const std::string& Arg = Args[i];
    if (Arg == "--help" || Arg == "-h") {
      O.Help = true;
      continue;
    }
    if (Arg == "--fps-readout" || Arg == "--print-state") {
      (Arg == "--fps-readout" ? O.FpsReadout : O.PrintState) = true;
      continue;
    }
    static const std::set<std::string> WithValue = {"--seed", "--size",  "--desktop", "--at",     "--out",
                                                    "--state", "--animate", "--fps",   "--seconds", "--renderer"};
    if (!WithValue.count(Arg)) {
      Error = "unknown argument '" + Arg + "'";
      return false;
    }
    if (!Seen.insert(Arg).second) {
      Error = Arg + " given twice";
      return false;
    }
    if (i + 1 >= Args.size()) {
      Error = Arg + " needs a value";
      return false;
    }
    const std::string& V = Args[++i];
    std::int64_t N = 0;
    if (Arg == "--seed") {
      if (!ParseWhole(V, O.Seed)) return Error = "--seed needs a whole number, not '" + V + "'", false;
    } else if (Arg == "--size") {
      if (!ParseSize(V, O.Width, O.Height))
        return Error = "--size needs WxH with each side 16 ... 16384, not '" + V + "'", false;
    } else if (Arg == "--at") {
      if (!ParseTimes(V, O.Stills))
        return Error = "--at needs times in whole milliseconds 0 ... 86400000, separated by commas, not '" + V + "'",
               false;
      SawAt = true;
    } else if (Arg == "--renderer") {
      if (V != "auto" && V != "gl" && V != "soft") return Error = "--renderer needs auto, gl or soft, not '" + V + "'", false;
      O.Renderer = V;
    } else if (Arg == "--fps") {
      if (!ParseInRange(V, 1, MaxFps, N)) return Error = "--fps needs a whole number 1 ... 100, not '" + V + "'", false;
      O.AnimateFps = static_cast<int>(N);
      SawFps = true;
    } else if (Arg == "--seconds") {
      if (!ParseInRange(V, 1, MaxSeconds, N))
        return Error = "--seconds needs a whole number 1 ... 3600, not '" + V + "'", false;
      O.Seconds = static_cast<int>(N);
      SawSeconds = true;
    } else {
      if (V.empty()) return Error = Arg + " needs a file name", false;
      (Arg == "--desktop" ? O.DesktopFile : Arg == "--out" ? O.OutDir : Arg == "--state" ? O.StateFile : O.AnimateFile) = V;
      SawOut |= Arg == "--out";
    }
  }
  if (O.Help) return true;
  if (O.PrintState) {
    if (SawAt || SawOut || SawFps || O.FpsReadout || !O.StateFile.empty() || !O.AnimateFile.empty())
      return Error = "--print-state prints the state and writes no pictures: it takes only --seed, --size, "
                     "--desktop and --seconds",
             false;
    return true;
  }
  if ((SawFps || SawSeconds) && O.AnimateFile.empty()) return Error = "--fps and --seconds go with --animate", false;
  // The default stills come only when no animation is asked for.
  if (!SawAt && O.AnimateFile.empty()) O.Stills = {{"0", 0}, {"3000", 3000}, {"7000", 7000}, {"20000", 20000}};
  if (!O.AnimateFile.empty() && std::int64_t{O.Seconds} * 1000 > MaxAtMs)
    return Error = "the animation is longer than a day", false;
  return true;
}

}  // namespace qel::waverender
