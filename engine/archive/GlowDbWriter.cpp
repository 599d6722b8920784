#include "engine/archive/GlowDbWriter.h"

#include "engine/archive/Blowfish.h"
#include "engine/archive/GlowDb.h"
#include "framework/LittleEndian.h"

namespace qel {

bool TGlowDbWriter::Add(const std::string& Key, std::int32_t Type, const std::vector<std::uint8_t>& Payload,
                        double Stamp, const std::array<std::uint8_t, 8>& IV, int Level) {
  TEntry E;
  E.Info.Key = Key;
  E.Info.RecordType = Type;
  E.Info.Stamp = Stamp;
  if (!EncodeRecord(Payload.data(), Payload.size(), Level, FKey.data(), FKey.size(), IV, E.Info, E.Stored))
    return false;
  FRecords.push_back(std::move(E));
  return true;
}

void TGlowDbWriter::AddStored(const TRecordInfo& Info, std::vector<std::uint8_t> Stored) {
  FRecords.push_back(TEntry{Info, std::move(Stored)});
}

bool TGlowDbWriter::SetCipherKey(const std::vector<std::uint8_t>& Key) {
  if (Key.size() > TBlowfish::MaxKeyLength) return false;
  FKey = Key;
  return true;
}

std::vector<std::uint8_t> TGlowDbWriter::Bytes() const {
  std::vector<std::uint8_t> Out(GlowDbHeaderSize);
  std::vector<std::uint32_t> Offsets;
  for (const TEntry& E : FRecords) {
    Offsets.push_back(static_cast<std::uint32_t>(Out.size()));
    std::uint8_t H[RecordHeaderSize] = {};
    le::Store16(H, static_cast<std::uint16_t>(E.Info.RecordType));
    le::Store32(H + 2, E.Info.OrigSize);
    le::Store32(H + 6, E.Info.PhysSize);
    le::StoreDouble(H + 10, E.Info.Stamp);
    std::copy(E.Info.Checksum.begin(), E.Info.Checksum.end(), H + 18);
    H[34] = E.Info.Encrypted ? 1 : 0;
    std::copy(E.Info.CipherIV.begin(), E.Info.CipherIV.end(), H + 36);
    Out.insert(Out.end(), H, H + RecordHeaderSize);
    Out.insert(Out.end(), E.Stored.begin(), E.Stored.end());
  }
  const std::uint32_t TableOffset = static_cast<std::uint32_t>(Out.size());
  for (std::size_t i = 0; i < FRecords.size(); ++i) {
    const std::string& Key = FRecords[i].Info.Key;
    std::uint8_t N[4];
    le::Store32(N, static_cast<std::uint32_t>(Key.size()));
    Out.insert(Out.end(), N, N + 4);
    Out.insert(Out.end(), Key.begin(), Key.end());
    le::Store32(N, Offsets[i]);
    Out.insert(Out.end(), N, N + 4);
  }
  const char Signature[4] = {'G', 'L', 'D', 'b'};
  std::copy(Signature, Signature + 4, Out.begin());
  le::Store32(Out.data() + 4, static_cast<std::uint32_t>(FRecords.size()));
  le::Store32(Out.data() + 8, TableOffset);
  return Out;
}

}  // namespace qel
