#pragma once
// An archive component over records built in memory, for tests that need records of their
// own rather than the carried artwork.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/archive/GlowDb.h"
#include "engine/archive/GlowDbWriter.h"
#include "framework/Component.h"
#include "framework/Streams.h"

namespace qel::testsupport {

struct TRecord {
  std::string Key;
  std::int32_t Type;
  std::vector<std::uint8_t> Payload;
};

// A read-only archive component owned by Owner, holding the records in the given order.
inline TGlowDb* MemoryArchive(TComponent* Owner, const std::vector<TRecord>& Records) {
  TGlowDbWriter Writer;
  for (const TRecord& R : Records) Writer.Add(R.Key, R.Type, R.Payload, 0.0);
  auto* Stream = new TMemoryStream;
  const std::vector<std::uint8_t> Bytes = Writer.Bytes();
  Stream->WriteBuffer(Bytes.data(), static_cast<std::int64_t>(Bytes.size()));
  Stream->SetPosition(0);
  auto* Db = Create<TGlowDb>(Owner);
  Db->SetOpenMode(opReadOnly);
  Db->OpenStream(Stream);
  return Db;
}

}  // namespace qel::testsupport
