#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/common/Png.h"

namespace qel {
namespace {

void PutBigEndian(std::vector<std::uint8_t>& Out, std::uint32_t V) {
  for (int Shift = 24; Shift >= 0; Shift -= 8) Out.push_back(static_cast<std::uint8_t>(V >> Shift));
}

void PutChunk(std::vector<std::uint8_t>& Out, const char* Type, const std::vector<std::uint8_t>& Body,
              std::uint32_t Length) {
  PutBigEndian(Out, Length);
  const std::size_t Start = Out.size();
  Out.insert(Out.end(), Type, Type + 4);
  Out.insert(Out.end(), Body.begin(), Body.end());
  PutBigEndian(Out, static_cast<std::uint32_t>(crc32(0, &Out[Start], static_cast<uInt>(Out.size() - Start))));
}

// A PNG of W x H pixels of the given bit depth and colour type around these data bytes; the
// data chunk may claim another length than it has.
std::vector<std::uint8_t> PngOf(std::uint32_t W, std::uint32_t H, std::uint8_t Depth, std::uint8_t ColourType,
                                const std::vector<std::uint8_t>& Data, std::int64_t ClaimedDataLength = -1) {
  std::vector<std::uint8_t> Out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> Header;
  PutBigEndian(Header, W);
  PutBigEndian(Header, H);
  Header.insert(Header.end(), {Depth, ColourType, 0, 0, 0});
  PutChunk(Out, "IHDR", Header, 13);
  PutChunk(Out, "IDAT", Data,
           ClaimedDataLength < 0 ? static_cast<std::uint32_t>(Data.size()) : static_cast<std::uint32_t>(ClaimedDataLength));
  PutChunk(Out, "IEND", {}, 0);
  return Out;
}

// An 8-bit RGBA PNG of W x H black pixels, packed as tightly as zlib can.
std::vector<std::uint8_t> BlackPng(std::uint32_t W, std::uint32_t H, std::uint32_t PackW, std::uint32_t PackH,
                                   std::int64_t ClaimedDataLength = -1) {
  const std::vector<std::uint8_t> Rows((std::size_t{PackW} * 4 + 1) * PackH, 0);
  uLongf Packed = compressBound(static_cast<uLong>(Rows.size()));
  std::vector<std::uint8_t> Data(Packed);
  EXPECT_EQ(compress2(Data.data(), &Packed, Rows.data(), static_cast<uLong>(Rows.size()), 9), Z_OK);
  Data.resize(Packed);
  return PngOf(W, H, 8, 6, Data, ClaimedDataLength);
}

// Decodes exactly these bytes from memory of their own size, so that a read beyond them is
// a read beyond the allocation (which the sanitizers report).
bool DecodeExactly(std::vector<std::uint8_t> Bytes, std::size_t Size, std::string& Error) {
  Bytes.resize(Size);
  Bytes.shrink_to_fit();
  TArgbPicture Picture;
  Error.clear();
  return DecodePng(Bytes.data(), Bytes.size(), Picture, Error);
}

// Whatever a header or a chunk claims, the reader reserves nothing beyond what the bytes can
// hold: a chunk longer than the picture, or a picture larger than its data could unpack
// to, is refused before decoding. A picture packed as tightly as deflate allows still reads.
TEST(Png, ClaimsBeyondTheBytesAreRefusedAndTheTightestPackingReads) {
  TArgbPicture Picture;
  std::string Error;
  const std::vector<std::uint8_t> Tight = BlackPng(1024, 1024, 1024, 1024);
  ASSERT_LT(Tight.size(), 4500u);  // about 1000 : 1
  ASSERT_TRUE(DecodePng(Tight.data(), Tight.size(), Picture, Error)) << Error;
  EXPECT_EQ(Picture.Width, 1024);
  EXPECT_EQ(Picture.Pixels, std::vector<std::uint32_t>(1024 * 1024, 0));

  struct TCase {
    const char* What;
    std::vector<std::uint8_t> Bytes;
    const char* Error;
  };
  std::vector<std::uint8_t> Cut = Tight;
  Cut.resize(Cut.size() / 2);
  for (const TCase& C : {TCase{"a data chunk claiming 2^31 - 1 bytes", BlackPng(7, 1, 7, 1, 0x7FFFFFFF), "past the end"},
                         TCase{"16384 x 16384 on the data of 4 x 4", BlackPng(16384, 16384, 4, 4), "cut short"},
                         TCase{"1024 x 1025 on the data of 1024 x 1024", BlackPng(1024, 1025, 1024, 1024), "cannot decode"},
                         TCase{"16385 pixels wide", BlackPng(16385, 1, 16385, 1), "out of range"},
                         TCase{"cut in half", Cut, "past the end"},
                         TCase{"no header", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, "ends before"},
                         TCase{"text", {'h', 'e', 'l', 'l', 'o'}, "not a PNG"}}) {
    Error.clear();
    EXPECT_FALSE(DecodePng(C.Bytes.data(), C.Bytes.size(), Picture, Error)) << C.What;
    EXPECT_NE(Error.find(C.Error), std::string::npos) << C.What << ": " << Error;
  }
}

// Every truncation of a picture, down to nothing, and every length its data chunk may claim
// beyond the true one give a clean error; the whole picture reads.
TEST(Png, EveryTruncationAndEveryLongerClaimIsACleanError) {
  const std::vector<std::uint8_t> Whole = BlackPng(3, 2, 3, 2);
  std::string Error;
  ASSERT_TRUE(DecodeExactly(Whole, Whole.size(), Error)) << Error;
  for (std::size_t Size = 0; Size < Whole.size(); ++Size) {
    EXPECT_FALSE(DecodeExactly(Whole, Size, Error)) << Size << " of " << Whole.size() << " bytes";
    EXPECT_FALSE(Error.empty()) << Size;
  }
  const std::size_t Data = Whole.size() - 8 - 25 - 12 - 12;  // after the signature and the header chunk
  for (std::size_t Claim = Data + 1; Claim <= Whole.size(); ++Claim) {
    const std::vector<std::uint8_t> Bytes = BlackPng(3, 2, 3, 2, static_cast<std::int64_t>(Claim));
    EXPECT_FALSE(DecodeExactly(Bytes, Bytes.size(), Error)) << "a data chunk claiming " << Claim << " of " << Data;
    EXPECT_FALSE(Error.empty()) << Claim;
  }
}

// A picture is refused before decoding when its rows, as stored (a filter byte each), are
// more than its data could unpack to: 1032 bytes from each compressed byte, and 64 KiB to
// spare. On one data byte that is 66 568 bytes: 8 rows of 8 321 bytes. Whatever the colour
// type and depth, the widest picture of 8 such rows passes this check (and the decoder then
// finds the data wanting); a pixel more is refused.
TEST(Png, ThePictureSizeCheckHoldsAtItsBoundaryForEveryPixelSize) {
  struct TCase {
    std::uint8_t Depth, ColourType;
    std::uint32_t WidestPassing;
  };
  for (const TCase& C : {TCase{8, 6, 2080}, TCase{16, 6, 1040}, TCase{8, 4, 4160}, TCase{16, 2, 1386},
                         TCase{8, 0, 8320}, TCase{8, 3, 8320}}) {
    for (const std::uint32_t W : {C.WidestPassing, C.WidestPassing + 1}) {
      const std::vector<std::uint8_t> Bytes = PngOf(W, 8, C.Depth, C.ColourType, {0x78});
      std::string Error;
      EXPECT_FALSE(DecodeExactly(Bytes, Bytes.size(), Error));
      const bool CutShort = Error.find("cut short") != std::string::npos;
      EXPECT_EQ(CutShort, W > C.WidestPassing) << "colour type " << int(C.ColourType) << ", depth " << int(C.Depth)
                                               << ", " << W << " wide: " << Error;
    }
  }
}

}  // namespace
}  // namespace qel
