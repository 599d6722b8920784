#include "engine/archive/RecordCodec.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

#include "engine/archive/Blowfish.h"

namespace qel {
namespace {

// Deflate cannot do better than about 1032 : 1, so a record that claims more than this
// many bytes per stored byte is lying and is refused before anything is inflated.
constexpr std::uint64_t MaxInflateRatio = 1040;

bool Fail(std::string* Reason, const std::string& Why) {
  if (Reason) *Reason = Why;
  return false;
}

bool Inflate(const std::vector<std::uint8_t>& Stored, std::uint32_t OrigSize, std::vector<std::uint8_t>& Out,
             std::string* Reason) {
  // One byte beyond OrigSize is room enough to notice that the stream holds more.
  const std::size_t Limit = std::size_t(OrigSize) + 1;
  // Grow with what actually comes out instead of trusting OrigSize up front.
  std::size_t Capacity = std::min<std::size_t>(Limit, std::max<std::size_t>(Stored.size() * 4, 65536));
  Out.resize(Capacity);

  z_stream Z{};
  if (inflateInit(&Z) != Z_OK) return Fail(Reason, "zlib cannot start");
  Z.next_in = const_cast<Bytef*>(Stored.data());
  Z.avail_in = static_cast<uInt>(Stored.size());
  std::size_t Produced = 0;
  int Result = Z_OK;
  std::string Why;
  for (;;) {
    if (Produced == Out.size()) {
      if (Out.size() >= Limit) {
        Why = "inflates to more than OrigSize (" + std::to_string(OrigSize) + " bytes)";
        break;
      }
      Out.resize(std::min(Limit, Out.size() * 2));
    }
    const std::size_t Room = std::min<std::size_t>(Out.size() - Produced, std::numeric_limits<uInt>::max());
    Z.next_out = Out.data() + Produced;
    Z.avail_out = static_cast<uInt>(Room);
    Result = inflate(&Z, Z_NO_FLUSH);
    Produced += Room - Z.avail_out;
    if (Result == Z_STREAM_END) break;
    if (Result == Z_OK) continue;
    if (Result == Z_BUF_ERROR && Z.avail_out == 0) continue;  // output full: grow and go on
    if (Result == Z_BUF_ERROR)
      Why = "zlib stream is truncated";
    else
      Why = std::string("zlib error: ") + (Z.msg ? Z.msg : zError(Result));
    break;
  }
  inflateEnd(&Z);
  if (!Why.empty()) {
    Out.clear();
    return Fail(Reason, Why);
  }
  if (Produced == 0 || Produced != OrigSize) {
    Out.clear();
    return Fail(Reason, "inflated size " + std::to_string(Produced) + " differs from OrigSize " +
                            std::to_string(OrigSize));
  }
  Out.resize(Produced);
  return true;
}

}  // namespace

bool DecodeRecord(std::vector<std::uint8_t>& Stored, const TRecordInfo& Info, const std::uint8_t* Key,
                  std::size_t KeyLength, std::vector<std::uint8_t>& Payload, std::string* Reason) {
  Payload.clear();
  if (Stored.size() != Info.PhysSize) return Fail(Reason, "stored bytes differ from PhysSize");
  if (Info.OrigSize > std::uint64_t(Info.PhysSize) * MaxInflateRatio + 64)
    return Fail(Reason, "OrigSize " + std::to_string(Info.OrigSize) + " is more than " +
                            std::to_string(Info.PhysSize) + " stored bytes can inflate to");
  if (Info.Encrypted && Key && KeyLength > 0) {
    const TBlowfish Cipher(Key, KeyLength);
    Cipher.DecryptCbc(Stored.data(), Stored.size(), Info.CipherIV.data());
  }
  if (!Inflate(Stored, Info.OrigSize, Payload, Reason)) return false;
  if (Md5(Payload.data(), Payload.size()) != Info.Checksum) {
    Payload.clear();
    Payload.shrink_to_fit();
    return Fail(Reason, "MD5 digest differs from the stored checksum");
  }
  return true;
}

bool EncodeRecord(const std::uint8_t* Payload, std::size_t Size, int Level, const std::uint8_t* Key,
                  std::size_t KeyLength, const std::array<std::uint8_t, 8>& IV, TRecordInfo& Info,
                  std::vector<std::uint8_t>& Stored) {
  if (Size > std::numeric_limits<std::uint32_t>::max() || (Size && !Payload)) return false;
  uLongf Bound = compressBound(static_cast<uLong>(Size));
  Stored.resize(Bound);
  if (compress2(Stored.data(), &Bound, Payload, static_cast<uLong>(Size), Level) != Z_OK) return false;
  if (Bound > std::numeric_limits<std::uint32_t>::max()) return false;
  Stored.resize(Bound);
  Info.OrigSize = static_cast<std::uint32_t>(Size);
  Info.PhysSize = static_cast<std::uint32_t>(Bound);
  Info.Checksum = Md5(Payload, Size);
  Info.Encrypted = Key && KeyLength > 0;
  Info.CipherIV = {};
  if (Info.Encrypted) {
    Info.CipherIV = IV;
    const TBlowfish Cipher(Key, KeyLength);
    Cipher.EncryptCbc(Stored.data(), Stored.size(), IV.data());
  }
  return true;
}

}  // namespace qel
