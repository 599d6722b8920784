#include "engine/images/ColorFormats.h"

namespace qel {

namespace {

constexpr std::string_view Names[ColorFormatCount] = {
    "r3g3b2", "r5g6b5", "x8r8g8b8", "x1r5g5b5", "x4r4g4b4", "a8r8g8b8",
    "a1r5g5b5", "a4r4g4b4", "a8r3g3b2", "a2r2g2b2", "a8", "unknown",
};

constexpr int Bytes[ColorFormatCount] = {1, 2, 4, 2, 2, 4, 2, 2, 2, 1, 1, 0};

char LowerAscii(char C) { return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C; }

}  // namespace

int FormatBytes(TColorFormat Code) { return IsKnownFormat(Code) ? Bytes[Code] : 0; }

std::string_view FormatName(TColorFormat Code) { return Names[IsKnownFormat(Code) ? Code : cfUnknown]; }

bool FormatFromName(std::string_view Name, TColorFormat& Code) {
  for (int I = 0; I < cfUnknown; ++I) {
    const std::string_view Candidate = Names[I];
    if (Candidate.size() != Name.size()) continue;
    bool Same = true;
    for (std::size_t K = 0; K < Name.size() && Same; ++K) Same = LowerAscii(Name[K]) == Candidate[K];
    if (Same) {
      Code = static_cast<TColorFormat>(I);
      return true;
    }
  }
  return false;
}

}  // namespace qel
