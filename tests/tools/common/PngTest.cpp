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

// An 8-bit RGBA PNG of W x H black pixels, packed as tightly as zlib can; a data chunk may
// claim another length than it has.
std::vector<std::uint8_t> BlackPng(std::uint32_t W, std::uint32_t H, std::uint32_t PackW, std::uint32_t PackH,
                                   std::int64_t ClaimedDataLength = -1) {
  std::vector<std::uint8_t> Out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> Header;
  PutBigEndian(Header, W);
  PutBigEndian(Header, H);
  Header.insert(Header.end(), {8, 6, 0, 0, 0});
  PutChunk(Out, "IHDR", Header, 13);
  const std::vector<std::uint8_t> Rows((std::size_t{PackW} * 4 + 1) * PackH, 0);
  uLongf Packed = compressBound(static_cast<uLong>(Rows.size()));
  std::vector<std::uint8_t> Data(Packed);
  EXPECT_EQ(compress2(Data.data(), &Packed, Rows.data(), static_cast<uLong>(Rows.size()), 9), Z_OK);
  Data.resize(Packed);
  PutChunk(Out, "IDAT", Data, ClaimedDataLength < 0 ? static_cast<std::uint32_t>(Packed) : ClaimedDataLength);
  PutChunk(Out, "IEND", {}, 0);
  return Out;
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

}  // namespace
}  // namespace qel
