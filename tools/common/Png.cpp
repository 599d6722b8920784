#include "tools/common/Png.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <cstdio>
#include <cstring>

namespace qel {

// Pictures larger than this are refused before they are decoded.
constexpr int MaxSide = 16384;

namespace {

// stb reads other formats too; only PNG is asked for.
bool HasPngSignature(const std::string& FileName) {
  static const unsigned char Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::FILE* F = std::fopen(FileName.c_str(), "rb");
  if (!F) return false;
  unsigned char Head[8] = {};
  const bool Ok = std::fread(Head, 1, 8, F) == 8 && std::memcmp(Head, Signature, 8) == 0;
  std::fclose(F);
  return Ok;
}

}  // namespace

bool LoadPng(const std::string& FileName, TArgbPicture& Picture, std::string& Error) {
  int W = 0, H = 0, Channels = 0;
  if (!HasPngSignature(FileName)) {
    Error = "cannot read " + FileName + ": missing, or not a PNG";
    return false;
  }
  // The header's size is checked before anything is decoded or allocated.
  if (!stbi_info(FileName.c_str(), &W, &H, &Channels)) {
    Error = "cannot read " + FileName + ": " + (stbi_failure_reason() ? stbi_failure_reason() : "not a PNG");
    return false;
  }
  if (W < 1 || H < 1 || W > MaxSide || H > MaxSide) {
    Error = FileName + ": picture of " + std::to_string(W) + "x" + std::to_string(H) + " is out of range";
    return false;
  }
  unsigned char* Rgba = stbi_load(FileName.c_str(), &W, &H, &Channels, 4);
  if (!Rgba) {
    Error = "cannot decode " + FileName + ": " + (stbi_failure_reason() ? stbi_failure_reason() : "bad PNG");
    return false;
  }
  Picture.Width = W;
  Picture.Height = H;
  Picture.Pixels.resize(static_cast<std::size_t>(W) * H);
  for (std::size_t i = 0; i < Picture.Pixels.size(); ++i) {
    const unsigned char* P = Rgba + 4 * i;
    Picture.Pixels[i] = std::uint32_t(P[3]) << 24 | std::uint32_t(P[0]) << 16 | std::uint32_t(P[1]) << 8 | P[2];
  }
  stbi_image_free(Rgba);
  return true;
}

bool SavePng(const std::string& FileName, const TArgbPicture& Picture, std::string& Error) {
  std::vector<unsigned char> Rgba(Picture.Pixels.size() * 4);
  for (std::size_t i = 0; i < Picture.Pixels.size(); ++i) {
    const std::uint32_t C = Picture.Pixels[i];
    Rgba[4 * i] = static_cast<unsigned char>(C >> 16);
    Rgba[4 * i + 1] = static_cast<unsigned char>(C >> 8);
    Rgba[4 * i + 2] = static_cast<unsigned char>(C);
    Rgba[4 * i + 3] = static_cast<unsigned char>(C >> 24);
  }
  if (!stbi_write_png(FileName.c_str(), Picture.Width, Picture.Height, 4, Rgba.data(), Picture.Width * 4)) {
    Error = "cannot write " + FileName;
    return false;
  }
  return true;
}

}  // namespace qel
