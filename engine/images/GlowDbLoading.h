#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "engine/images/TextureFormats.h"
#include "framework/Object.h"

namespace qel {

class TGlowDb;

// Consulted for each record while a list loads an archive: Index is the position the new
// entry will take; clear Accept to skip the record, or change the name and the wishes.
using TGlowDbLoadEvent = std::function<void(TObject* Sender, const std::string& Key, int Index, bool& Accept,
                                            std::string& Name, TGlowQuality& Quality, TAlphaLevel& AlphaLevel)>;

// What a list does with an accepted record: load it under Name; false stops the loading.
using TGlowDbRecordLoader =
    std::function<bool(const std::string& Key, const std::string& Name, TGlowQuality Quality, TAlphaLevel AlphaLevel)>;

// How the image and the font lists load an archive: every record of RecordType in table
// order is offered to OnLoad (with Sender and the list's current Count as its index), then
// loaded unless refused. False when the archive cannot be opened or at the first failed
// load, which ends the loading.
bool LoadGlowDbRecords(TGlowDb& Archive, std::int32_t RecordType, TObject* Sender, const TGlowDbLoadEvent& OnLoad,
                       const std::function<int()>& Count, const TGlowDbRecordLoader& Load);

}  // namespace qel
