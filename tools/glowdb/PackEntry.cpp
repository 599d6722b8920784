#include "tools/glowdb/PackEntry.h"

#include <charconv>
#include <vector>

#include "engine/archive/RecordCodec.h"
#include "framework/Streams.h"

namespace qel {
namespace {

bool ParseInt(const std::string& Text, long long Low, long long High, long long& Value) {
  const char* End = Text.data() + Text.size();
  const auto [Ptr, Ec] = std::from_chars(Text.data(), End, Value);
  return Ec == std::errc() && Ptr == End && Value >= Low && Value <= High;
}

bool ParseSize(const std::string& Text, TPoint& Size) {
  const std::size_t X = Text.find('x');
  long long W, H;
  if (X == std::string::npos || !ParseInt(Text.substr(0, X), 1, 16384, W) || !ParseInt(Text.substr(X + 1), 1, 16384, H))
    return false;
  Size = {static_cast<std::int32_t>(W), static_cast<std::int32_t>(H)};
  return true;
}

std::vector<std::string> Split(const std::string& Text, char By) {
  std::vector<std::string> Parts;
  std::size_t Start = 0;
  for (;;) {
    const std::size_t At = Text.find(By, Start);
    Parts.push_back(Text.substr(Start, At - Start));
    if (At == std::string::npos) return Parts;
    Start = At + 1;
  }
}

bool ParseOption(TPackEntry& E, const std::string& Name, const std::string& Value, bool HasValue, std::string& Error) {
  using TKind = TPackEntry::TKind;
  const bool Image = E.Kind == TKind::Image, Font = E.Kind == TKind::Font;
  long long N;
  TPoint Size;
  if (Name == "format" && (Image || Font)) {
    TColorFormat Code;
    if (!FormatFromName(Value, Code)) return Error = "unknown pixel format \"" + Value + "\"", false;
    (Image ? E.Image.Format : E.Font.Format) = Code;
  } else if ((Name == "pattern" && Image) || (Name == "cell" && Font)) {
    if (!ParseSize(Value, Size)) return Error = Name + " must be WxH", false;
    (Image ? E.Image.Pattern : E.Font.Cell) = Size;
  } else if (Name == "visible" && (Image || Font)) {
    if (!ParseSize(Value, Size)) return Error = "visible must be WxH", false;
    (Image ? E.Image.Visible : E.Font.Visible) = Size;
  } else if (Name == "texture" && (Image || Font)) {
    if (!ParseSize(Value, Size)) return Error = "texture must be WxH", false;
    (Image ? E.Image.Texture : E.Font.Texture) = Size;
  } else if (Name == "size" && Font) {
    if (!ParseInt(Value, 1, 500, N)) return Error = "size must be 1 ... 500 points", false;
    E.Font.Size = static_cast<double>(N);
  } else if (Name == "bold" && Font && !HasValue) {
    E.Font.Bold = true;
  } else if (Name == "first" && Font) {
    if (!ParseInt(Value, 0, 255, N)) return Error = "first must be a character code 0 ... 255", false;
    E.Font.First = static_cast<int>(N);
  } else if (Name == "count" && Font) {
    if (!ParseInt(Value, 1, 256, N)) return Error = "count must be 1 ... 256", false;
    E.Font.Count = static_cast<int>(N);
  } else if (Name == "type" && E.Kind == TKind::Raw) {
    if (!ParseInt(Value, 0, 65535, N)) return Error = "type must be 0 ... 65535", false;
    E.Type = static_cast<std::int32_t>(N);
  } else {
    return Error = "unknown option \"" + Name + "\"", false;
  }
  if (!HasValue && Name != "bold") return Error = "option \"" + Name + "\" needs a value", false;
  return true;
}

}  // namespace

bool ParsePackEntry(const std::string& Text, TPackEntry& Entry, std::string& Error) {
  Entry = TPackEntry{};
  const std::size_t Colon = Text.find(':');
  const std::size_t Equals = Text.find('=', Colon == std::string::npos ? 0 : Colon);
  if (Colon == std::string::npos || Equals == std::string::npos)
    return Error = "entry \"" + Text + "\" is not KIND:KEY=FILE[,OPTION...]", false;
  const std::string Kind = Text.substr(0, Colon);
  if (Kind == "image") {
    Entry.Kind = TPackEntry::TKind::Image;
    Entry.Type = recImage;
  } else if (Kind == "font") {
    Entry.Kind = TPackEntry::TKind::Font;
    Entry.Type = recFont;
  } else if (Kind == "raw") {
    Entry.Kind = TPackEntry::TKind::Raw;
  } else {
    return Error = "unknown entry kind \"" + Kind + "\" (image, font or raw)", false;
  }
  Entry.Key = Text.substr(Colon + 1, Equals - Colon - 1);
  if (Entry.Key.empty()) return Error = "entry \"" + Text + "\" has no key", false;
  const std::vector<std::string> Parts = Split(Text.substr(Equals + 1), ',');
  Entry.File = Parts[0];
  if (Entry.File.empty()) return Error = "entry \"" + Entry.Key + "\" names no file", false;
  for (std::size_t i = 1; i < Parts.size(); ++i) {
    const std::size_t Eq = Parts[i].find('=');
    const std::string Name = Parts[i].substr(0, Eq);
    const std::string Value = Eq == std::string::npos ? "" : Parts[i].substr(Eq + 1);
    if (!ParseOption(Entry, Name, Value, Eq != std::string::npos, Error)) {
      Error = "entry \"" + Entry.Key + "\": " + Error;
      return false;
    }
  }
  if (Entry.Kind == TPackEntry::TKind::Font) {
    if (Entry.Font.Size <= 0) return Error = "entry \"" + Entry.Key + "\": a font needs size=N", false;
    Entry.Font.FontFile = Entry.File;
  }
  return true;
}

bool BuildEntryPayload(const TPackEntry& Entry, std::vector<std::uint8_t>& Payload, std::string& Error) {
  switch (Entry.Kind) {
    case TPackEntry::TKind::Font:
      return BuildFontPayload(Entry.Font, Payload, Error);
    case TPackEntry::TKind::Image: {
      TArgbPicture Picture;
      if (!LoadPng(Entry.File, Picture, Error)) return false;
      TImageLayout Layout = Entry.Image;
      if (Layout.Pattern.X <= 0) Layout.Pattern = {Picture.Width, Picture.Height};
      if (Layout.Visible.X <= 0) Layout.Visible = Layout.Pattern;
      if (Layout.Texture.X <= 0) Layout.Texture = Layout.Pattern;
      return BuildImagePayload(Picture, Layout, Payload, Error);
    }
    case TPackEntry::TKind::Raw: {
      TMemoryStream File;
      if (!File.LoadFromFile(Entry.File)) return Error = "cannot read " + Entry.File, false;
      Payload = File.Bytes();
      return true;
    }
  }
  return false;
}

}  // namespace qel
