// Prints how long the carried artwork archive takes to open and to decode each record,
// and how fast MD5 and Blowfish-CBC run. Figures, not pass/fail.
#include <chrono>
#include <cstdio>
#include <vector>

#include "engine/archive/Blowfish.h"
#include "engine/archive/GlowDb.h"
#include "engine/archive/Md5.h"
#include "platform/resources/EmbeddedResources.h"

namespace {

using TClock = std::chrono::steady_clock;

// Milliseconds per run of Work, the best of several rounds.
template <class TWork>
double BestMs(int Runs, TWork Work) {
  double Best = 1e300;
  for (int Round = 0; Round < 5; ++Round) {
    const auto Start = TClock::now();
    for (int i = 0; i < Runs; ++i) Work();
    Best = std::min(Best, std::chrono::duration<double, std::milli>(TClock::now() - Start).count() / Runs);
  }
  return Best;
}

}  // namespace

int main() {
  using namespace qel;
  const void* Data = nullptr;
  std::int64_t Size = 0;
  if (!FindEmbeddedResource("glowdb", Data, Size)) {
    std::fprintf(stderr, "bench_archive: no artwork archive carried\n");
    return 1;
  }
  std::printf("artwork archive: %lld bytes\n", static_cast<long long>(Size));
  TComponent Owner(nullptr);
  TGlowDb* Db = Create<TGlowDb>(&Owner);
  Db->SetOpenMode(opReadOnly);
  Db->OpenStream(new TResourceStream(Data, Size));
  std::printf("open (header, table, record headers): %.4f ms\n", BestMs(200, [&] { Db->Refresh(); }));
  Db->EnsureOpen();
  std::vector<std::uint8_t> Payload;
  double Total = 0;
  for (int i = 0; i < Db->RecordCount(); ++i) {
    const std::string Key = Db->RecordKey(i);
    const double Ms = BestMs(20, [&] { Db->ReadRecord(Key, Payload); });
    Total += Ms;
    std::printf("read %-18s %7u stored -> %7zu bytes: %.3f ms\n", Key.c_str(), Db->RecordInfo(i)->PhysSize,
                Payload.size(), Ms);
  }
  std::printf("read all records: %.3f ms\n", Total);

  std::vector<std::uint8_t> Block(1 << 20, 0x5A);
  const double Md5Ms = BestMs(10, [&] { Md5(Block.data(), Block.size()); });
  std::printf("md5: %.1f MB/s\n", 1.0 / (Md5Ms / 1000.0));
  const std::uint8_t Key[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const std::uint8_t IV[8] = {};
  const TBlowfish Cipher(Key, sizeof(Key));
  const double CbcMs = BestMs(10, [&] { Cipher.DecryptCbc(Block.data(), Block.size(), IV); });
  std::printf("blowfish-cbc decipher: %.1f MB/s\n", 1.0 / (CbcMs / 1000.0));
  std::printf("blowfish key schedule: %.3f ms\n", BestMs(50, [&] { TBlowfish K(Key, sizeof(Key)); }));
  return 0;
}
