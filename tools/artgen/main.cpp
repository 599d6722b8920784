// artgen: writes the generated artwork pictures as PNG.
//   artgen clouds [--seed N] OUT.png   the 256 x 256 grey cloud picture
//   artgen strip OUT.png               the 32 x 128 ribbon strip
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/artgen/Clouds.h"
#include "tools/artgen/RibbonStrip.h"

namespace {

int Usage() {
  std::fputs("usage: artgen clouds [--seed N] OUT.png\n       artgen strip OUT.png\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string Command = argv[1];
  std::uint64_t Seed = 1;
  std::string Out;
  for (int i = 2; i < argc; ++i) {
    const std::string Arg = argv[i];
    if (Arg == "--seed" && i + 1 < argc) {
      char* End = nullptr;
      Seed = std::strtoull(argv[++i], &End, 10);
      if (!End || *End) return Usage();
    } else if (Out.empty()) {
      Out = Arg;
    } else {
      return Usage();
    }
  }
  if (Out.empty()) return Usage();
  qel::TArgbPicture Picture;
  if (Command == "clouds")
    Picture = qel::MakeClouds(256, 256, Seed, 184, 251, 206.0);
  else if (Command == "strip")
    Picture = qel::MakeRibbonStrip();
  else
    return Usage();
  std::string Error;
  if (!qel::SavePng(Out, Picture, Error)) {
    std::fprintf(stderr, "artgen: %s\n", Error.c_str());
    return 1;
  }
  return 0;
}
