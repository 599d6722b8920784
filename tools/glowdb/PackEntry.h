#pragma once
#include <cstdint>
#include <string>

#include "tools/glowdb/FontRaster.h"
#include "tools/glowdb/ImagePayload.h"

namespace qel {

// One record to pack, as written on the command line:
//   image:KEY=FILE.png[,format=NAME][,pattern=WxH][,visible=WxH][,texture=WxH]
//   font:KEY=FONT.ttf,size=N[,bold][,first=C][,count=N][,cell=WxH][,visible=WxH][,texture=WxH][,format=NAME]
//   raw:KEY=FILE[,type=N]
struct TPackEntry {
  enum class TKind { Image, Font, Raw };
  TKind Kind = TKind::Raw;
  std::string Key;
  std::string File;
  std::int32_t Type = 0;  // record type: 1 image, 3 font, or type=N of a raw entry
  TImageLayout Image;      // sizes left at 0 default to the whole picture
  TFontRequest Font;
};

// False with Error set when the text is not a valid entry.
bool ParsePackEntry(const std::string& Text, TPackEntry& Entry, std::string& Error);

// The payload of an entry, read and converted from its file.
bool BuildEntryPayload(const TPackEntry& Entry, std::vector<std::uint8_t>& Payload, std::string& Error);

}  // namespace qel
