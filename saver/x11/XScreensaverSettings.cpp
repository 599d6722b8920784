#include "saver/x11/XScreensaverSettings.h"

#include <fstream>

namespace qel {
namespace {

std::string_view Trimmed(std::string_view S) {
  const auto Blank = [](char C) { return C == ' ' || C == '\t' || C == '\r'; };
  while (!S.empty() && Blank(S.front())) S.remove_prefix(1);
  while (!S.empty() && Blank(S.back())) S.remove_suffix(1);
  return S;
}

bool SameLetters(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (std::size_t i = 0; i < A.size(); ++i) {
    const auto Lower = [](char C) { return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C; };
    if (Lower(A[i]) != Lower(B[i])) return false;
  }
  return true;
}

// The resource's own name, or one qualified by class or program ("*name", "XScreenSaver.name").
bool NamesGrabDesktopImages(std::string_view Key) {
  constexpr std::string_view Name = "grabDesktopImages";
  if (Key == Name) return true;
  if (Key.size() <= Name.size() || Key.substr(Key.size() - Name.size()) != Name) return false;
  const char Before = Key[Key.size() - Name.size() - 1];
  return Before == '*' || Before == '.';
}

std::optional<bool> ReadFile(const std::string& Path) {
  constexpr std::size_t MaxBytes = 1 << 20;
  std::ifstream In(Path, std::ios::binary);
  if (!In) return std::nullopt;
  std::string Text(MaxBytes + 1, '\0');
  In.read(Text.data(), static_cast<std::streamsize>(Text.size()));
  if (In.bad() || static_cast<std::size_t>(In.gcount()) > MaxBytes) return std::nullopt;
  Text.resize(static_cast<std::size_t>(In.gcount()));
  return GrabDesktopImagesIn(Text);
}

}  // namespace

std::optional<bool> GrabDesktopImagesIn(std::string_view Text) {
  if (Text.find('\0') != std::string_view::npos) return std::nullopt;
  std::optional<bool> Value;
  std::size_t Pos = 0;
  while (Pos < Text.size()) {
    // One logical line: a backslash at a line's end continues it (the programs list does).
    std::size_t End = Pos;
    while (End < Text.size() && Text[End] != '\n') ++End;
    while (End < Text.size() && End > Pos && Text[End - 1] == '\\') {
      ++End;
      while (End < Text.size() && Text[End] != '\n') ++End;
    }
    const std::string_view Line = Trimmed(Text.substr(Pos, End - Pos));
    Pos = End + 1;
    if (Line.empty() || Line[0] == '!' || Line[0] == '#') continue;
    const std::size_t Colon = Line.find(':');
    if (Colon == std::string_view::npos || !NamesGrabDesktopImages(Trimmed(Line.substr(0, Colon)))) continue;
    const std::string_view Word = Trimmed(Line.substr(Colon + 1));
    // Later lines win, as in X resource files.
    if (SameLetters(Word, "true") || SameLetters(Word, "yes") || SameLetters(Word, "on"))
      Value = true;
    else if (SameLetters(Word, "false") || SameLetters(Word, "no") || SameLetters(Word, "off"))
      Value = false;
    else
      return std::nullopt;
  }
  return Value;
}

bool XScreensaverGrabsDesktop(const char* Home, const std::string& AppDefaults) {
  if (Home && *Home)
    if (const std::optional<bool> User = ReadFile(std::string(Home) + "/.xscreensaver")) return *User;
  if (const std::optional<bool> Installed = ReadFile(AppDefaults)) return *Installed;
  return true;
}

}  // namespace qel
