#include "tools/common/Png.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace qel {

// Pictures larger than this are refused before they are decoded.
constexpr int MaxSide = 16384;
// Deflate unpacks at most 1032 bytes from one compressed byte (a 258-byte match in two bits).
constexpr std::uint64_t MaxUnpackRatio = 1032;
// Room for block headers and for the filter bytes of interlaced rows.
constexpr std::uint64_t UnpackSlack = 64 * 1024;
// The decoder takes the bytes' count as an int.
constexpr std::size_t MaxBytes = INT_MAX;

namespace {

std::uint32_t BigEndian32(const std::uint8_t* P) {
  return std::uint32_t(P[0]) << 24 | std::uint32_t(P[1]) << 16 | std::uint32_t(P[2]) << 8 | P[3];
}

// What the chunks tell before anything is decoded.
struct TPngLayout {
  std::uint32_t Width = 0, Height = 0;
  std::uint64_t BitsPerPixel = 0;
  std::uint64_t CompressedBytes = 0;  // of every data chunk together
};

// Walks the chunks up to the end chunk: the signature, a 13-byte header first, and every
// chunk within the bytes (the decoder would otherwise reserve whatever length a chunk claims).
bool ReadLayout(const std::uint8_t* Data, std::size_t Size, TPngLayout& L, std::string& Error) {
  static const std::uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (Size < 8 || std::memcmp(Data, Signature, 8) != 0) return Error = "not a PNG", false;
  std::size_t At = 8;
  for (bool First = true;; First = false) {
    if (Size - At < 12) return Error = "the picture ends before its last chunk", false;
    const std::uint64_t Length = BigEndian32(Data + At);
    const std::uint8_t* Type = Data + At + 4;
    if (Length > Size - At - 12) return Error = "a chunk runs past the end of the picture", false;
    const bool Header = std::memcmp(Type, "IHDR", 4) == 0;
    if (First != Header || (Header && Length != 13)) return Error = "no valid header chunk", false;
    const std::uint8_t* Body = Data + At + 8;
    if (Header) {
      L.Width = BigEndian32(Body);
      L.Height = BigEndian32(Body + 4);
      static const int Channels[7] = {1, 0, 3, 1, 2, 0, 4};  // by colour type
      const std::uint8_t ColourType = Body[9];
      L.BitsPerPixel = std::uint64_t{Body[8]} * (ColourType < 7 ? Channels[ColourType] : 0);
    }
    if (std::memcmp(Type, "IDAT", 4) == 0) L.CompressedBytes += Length;
    if (std::memcmp(Type, "IEND", 4) == 0) return true;
    At += 12 + Length;
  }
}

}  // namespace

bool DecodePng(const std::uint8_t* Data, std::size_t Size, TArgbPicture& Picture, std::string& Error) {
  TPngLayout L;
  if (!ReadLayout(Data, Size, L, Error)) return false;
  if (L.Width < 1 || L.Height < 1 || L.Width > MaxSide || L.Height > MaxSide) {
    Error = "picture of " + std::to_string(L.Width) + "x" + std::to_string(L.Height) + " is out of range";
    return false;
  }
  // Rows as they are stored, each with its filter byte.
  const std::uint64_t Unpacked = ((L.Width * L.BitsPerPixel + 7) / 8 + 1) * L.Height;
  if (Size > MaxBytes || Unpacked > L.CompressedBytes * MaxUnpackRatio + UnpackSlack) {
    Error = "the data of a picture of " + std::to_string(L.Width) + "x" + std::to_string(L.Height) + " is cut short";
    return false;
  }
  int W = 0, H = 0, Channels = 0;
  unsigned char* Rgba = stbi_load_from_memory(Data, static_cast<int>(Size), &W, &H, &Channels, 4);
  if (!Rgba) return Error = std::string("cannot decode: ") + (stbi_failure_reason() ? stbi_failure_reason() : "bad PNG"), false;
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

bool LoadPng(const std::string& FileName, TArgbPicture& Picture, std::string& Error) {
  std::error_code Failed;
  const std::uintmax_t Size = std::filesystem::file_size(FileName, Failed);
  if (Failed) return Error = "cannot read " + FileName, false;
  if (Size > MaxBytes) return Error = FileName + ": too large for a picture", false;
  std::vector<std::uint8_t> Bytes(static_cast<std::size_t>(Size));
  std::FILE* F = std::fopen(FileName.c_str(), "rb");
  const bool Read = F && std::fread(Bytes.data(), 1, Bytes.size(), F) == Bytes.size();
  if (F) std::fclose(F);
  if (!Read) return Error = "cannot read " + FileName, false;
  if (DecodePng(Bytes.data(), Bytes.size(), Picture, Error)) return true;
  Error = FileName + ": " + Error;
  return false;
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
