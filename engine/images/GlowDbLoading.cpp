#include "engine/images/GlowDbLoading.h"

#include "engine/archive/GlowDb.h"
#include "framework/Events.h"

namespace qel {

bool LoadGlowDbRecords(TGlowDb& Archive, std::int32_t RecordType, TObject* Sender, const TGlowDbLoadEvent& OnLoad,
                       const std::function<int()>& Count, const TGlowDbRecordLoader& Load) {
  if (!Archive.EnsureOpen()) return false;
  for (int I = 0; I < Archive.RecordCount(); ++I) {
    if (Archive.RecordType(I) != RecordType) continue;
    const std::string Key = Archive.RecordKey(I);
    bool Accept = true;
    std::string Name = Key;
    TGlowQuality Quality = qlHigh;
    TAlphaLevel AlphaLevel = avFull;
    Fire(OnLoad, Sender, Key, Count(), Accept, Name, Quality, AlphaLevel);
    if (Accept && !Load(Key, Name, Quality, AlphaLevel)) return false;
  }
  return true;
}

}  // namespace qel
