#include "engine/images/ColorFormats.h"

#include "framework/AsciiText.h"

namespace qel {

namespace {

constexpr std::string_view Names[ColorFormatCount] = {
    "r3g3b2", "r5g6b5", "x8r8g8b8", "x1r5g5b5", "x4r4g4b4", "a8r8g8b8",
    "a1r5g5b5", "a4r4g4b4", "a8r3g3b2", "a2r2g2b2", "a8", "unknown",
};

constexpr int Bytes[ColorFormatCount] = {1, 2, 4, 2, 2, 4, 2, 2, 2, 1, 1, 0};

}  // namespace

int FormatBytes(TColorFormat Code) { return IsKnownFormat(Code) ? Bytes[Code] : 0; }

std::string_view FormatName(TColorFormat Code) { return Names[IsKnownFormat(Code) ? Code : cfUnknown]; }

bool FormatFromName(std::string_view Name, TColorFormat& Code) {
  for (int I = 0; I < cfUnknown; ++I) {
    if (SameTextAscii(Name, Names[I])) {
      Code = static_cast<TColorFormat>(I);
      return true;
    }
  }
  return false;
}

}  // namespace qel
