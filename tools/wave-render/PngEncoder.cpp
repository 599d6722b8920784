#include "tools/wave-render/PngEncoder.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>

namespace qel::waverender {
namespace {

constexpr std::uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

void PutU32(std::vector<std::uint8_t>& Out, std::uint32_t V) {
  for (int Shift = 24; Shift >= 0; Shift -= 8) Out.push_back(static_cast<std::uint8_t>(V >> Shift));
}
void PutU16(std::vector<std::uint8_t>& Out, std::uint16_t V) {
  Out.push_back(static_cast<std::uint8_t>(V >> 8));
  Out.push_back(static_cast<std::uint8_t>(V));
}

// Length, type, data and the CRC of type and data.
void PutChunk(std::vector<std::uint8_t>& Out, const char Type[4], const std::uint8_t* Data, std::size_t Size) {
  PutU32(Out, static_cast<std::uint32_t>(Size));
  const std::size_t TypeAt = Out.size();
  Out.insert(Out.end(), Type, Type + 4);
  Out.insert(Out.end(), Data, Data + Size);
  uLong Crc = crc32(0L, Z_NULL, 0);
  Crc = crc32(Crc, Out.data() + TypeAt, static_cast<uInt>(Size + 4));
  PutU32(Out, static_cast<std::uint32_t>(Crc));
}
void PutChunk(std::vector<std::uint8_t>& Out, const char Type[4], const std::vector<std::uint8_t>& Data) {
  PutChunk(Out, Type, Data.data(), Data.size());
}

std::vector<std::uint8_t> Header(int Width, int Height) {
  std::vector<std::uint8_t> H;
  PutU32(H, static_cast<std::uint32_t>(Width));
  PutU32(H, static_cast<std::uint32_t>(Height));
  H.insert(H.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, adaptive filters, no interlace
  return H;
}

// The frame's rows, each behind the "Sub" filter byte (neighbours differ little in a
// picture of gradients), deflated. Empty on failure.
std::vector<std::uint8_t> CompressedRows(const TFramePixels& F) {
  const std::size_t RowBytes = 1 + static_cast<std::size_t>(F.Width) * 3;
  std::vector<std::uint8_t> Raw(RowBytes * static_cast<std::size_t>(F.Height));
  for (int Y = 0; Y < F.Height; ++Y) {
    std::uint8_t* Row = &Raw[RowBytes * static_cast<std::size_t>(Y)];
    Row[0] = 1;
    std::uint8_t Prev[3] = {0, 0, 0};
    for (int X = 0; X < F.Width; ++X) {
      const std::uint32_t P = F.At(X, Y);
      const std::uint8_t C[3] = {static_cast<std::uint8_t>(P >> 16), static_cast<std::uint8_t>(P >> 8),
                                 static_cast<std::uint8_t>(P)};
      for (int c = 0; c < 3; ++c) {
        Row[1 + 3 * X + c] = static_cast<std::uint8_t>(C[c] - Prev[c]);
        Prev[c] = C[c];
      }
    }
  }
  uLongf Size = compressBound(static_cast<uLong>(Raw.size()));
  std::vector<std::uint8_t> Out(Size);
  if (compress2(Out.data(), &Size, Raw.data(), static_cast<uLong>(Raw.size()), 6) != Z_OK) return {};
  Out.resize(Size);
  return Out;
}

bool Usable(const TFramePixels& F) {
  return F.Width > 0 && F.Height > 0 && F.Pixels.size() == static_cast<std::size_t>(F.Width) * F.Height;
}

}  // namespace

bool EncodePng(const TFramePixels& Frame, std::vector<std::uint8_t>& Png) {
  if (!Usable(Frame)) return false;
  const std::vector<std::uint8_t> Data = CompressedRows(Frame);
  if (Data.empty()) return false;
  Png.assign(Signature, Signature + 8);
  PutChunk(Png, "IHDR", Header(Frame.Width, Frame.Height));
  PutChunk(Png, "IDAT", Data);
  PutChunk(Png, "IEND", nullptr, 0);
  return true;
}

TApngWriter::~TApngWriter() {
  if (FFile) std::fclose(FFile);
}

bool TApngWriter::Put(const std::vector<std::uint8_t>& Bytes, std::string& Error) {
  if (std::fwrite(Bytes.data(), 1, Bytes.size(), FFile) != Bytes.size()) {
    Error = "cannot write " + FFileName;
    return false;
  }
  return true;
}

bool TApngWriter::Open(const std::string& FileName, int Width, int Height, int FrameCount, int Fps,
                       std::string& Error) {
  FFileName = FileName;
  FFile = std::fopen(FileName.c_str(), "wb");
  if (!FFile) {
    Error = "cannot create " + FileName;
    return false;
  }
  FWidth = Width;
  FHeight = Height;
  FFrameCount = FrameCount;
  FFps = Fps;
  std::vector<std::uint8_t> Out(Signature, Signature + 8);
  PutChunk(Out, "IHDR", Header(Width, Height));
  std::vector<std::uint8_t> Control;
  PutU32(Control, static_cast<std::uint32_t>(FrameCount));
  PutU32(Control, 0);  // loops for ever
  PutChunk(Out, "acTL", Control);
  return Put(Out, Error);
}

bool TApngWriter::AddFrame(const TFramePixels& Frame, std::string& Error) {
  if (!FFile || FFramesAdded >= FFrameCount || !Usable(Frame) || Frame.Width != FWidth || Frame.Height != FHeight) {
    Error = FFileName + ": a frame that does not fit the animation";
    return false;
  }
  const std::vector<std::uint8_t> Data = CompressedRows(Frame);
  if (Data.empty()) {
    Error = FFileName + ": cannot compress a frame";
    return false;
  }
  std::vector<std::uint8_t> Out;
  std::vector<std::uint8_t> Control;
  PutU32(Control, FSequence++);
  PutU32(Control, static_cast<std::uint32_t>(FWidth));
  PutU32(Control, static_cast<std::uint32_t>(FHeight));
  PutU32(Control, 0);  // x offset
  PutU32(Control, 0);  // y offset
  PutU16(Control, 1);  // shown for 1/Fps second
  PutU16(Control, static_cast<std::uint16_t>(FFps));
  Control.push_back(0);  // dispose: none
  Control.push_back(0);  // blend: source (every frame replaces the whole picture)
  PutChunk(Out, "fcTL", Control);
  if (FFramesAdded == 0) {
    // The first frame is the default picture too, for viewers without animation.
    PutChunk(Out, "IDAT", Data);
  } else {
    std::vector<std::uint8_t> Sequenced;
    PutU32(Sequenced, FSequence++);
    Sequenced.insert(Sequenced.end(), Data.begin(), Data.end());
    PutChunk(Out, "fdAT", Sequenced);
  }
  ++FFramesAdded;
  return Put(Out, Error);
}

bool TApngWriter::Close(std::string& Error) {
  if (!FFile) return false;
  std::vector<std::uint8_t> Out;
  PutChunk(Out, "IEND", nullptr, 0);
  bool Ok = Put(Out, Error);
  if (Ok && FFramesAdded != FFrameCount) {
    Error = FFileName + ": " + std::to_string(FFramesAdded) + " of " + std::to_string(FFrameCount) + " frames";
    Ok = false;
  }
  if (std::fclose(FFile) != 0 && Ok) {
    Error = "cannot write " + FFileName;
    Ok = false;
  }
  FFile = nullptr;
  return Ok;
}

}  // namespace qel::waverender
