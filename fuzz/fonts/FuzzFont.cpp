// Loads a font whose record payload is the input bytes, from an archive built around them,
// on the software device; a font that loads then draws every character with every style.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/archive/GlowDb.h"
#include "engine/archive/GlowDbWriter.h"
#include "engine/device/GlowDevices.h"
#include "engine/draw/GlowCanvas.h"
#include "engine/draw/GlowFonts.h"
#include "framework/Streams.h"
#include "fuzz/common/FieldMutator.h"
#include "fuzz/images/ImagePayloadFields.h"

namespace {

using namespace qel;

// One device for the whole run: creating it per input would measure the device, not the font.
struct TScene {
  TComponent Root{nullptr};
  TGlowDevice* Device = Create<TGlowDevice>(&Root);
  TGlowCanvas* Canvas = Create<TGlowCanvas>(&Root);
  TGlowFonts* Fonts = Create<TGlowFonts>(&Root);

  TScene() {
    Device->SetWidth(64);
    Device->SetHeight(48);
    Device->SetWindowHandle(1);
    Canvas->SetPublisher(Device);
    Fonts->SetPublisher(Device);
    Fonts->SetCanvas(Canvas);
    Device->Initialize();
  }
};

std::string AllCharacters() {
  std::string Text;
  for (int C = 1; C < 256; ++C) Text += static_cast<char>(C);
  return Text + "#$FF0000FF&$80FFFFFF0x12345678ab";
}

// The header, every glyph entry and the embedded image payload's header.
std::vector<fuzz::TField> FontFields(const std::uint8_t* Data, std::size_t Size) {
  std::vector<fuzz::TField> Fields{{0}, {4}, {8}, {12}};
  const std::size_t Room = Size < 16 ? 0 : (Size - 16) / 8;
  const std::size_t Count = std::min<std::size_t>(fuzz::ReadField(Data, Size, {12}) & 0x7FFFFFFF, Room);
  for (std::size_t I = 0; I < Count; ++I) {
    Fields.push_back({.Offset = 16 + 8 * I, .Group = 1});  // advances
    Fields.push_back({.Offset = 20 + 8 * I, .Group = 2});  // heights
  }
  fuzz::AddImagePayloadFields(16 + 8 * Count, 3, Fields);
  return Fields;
}

}  // namespace

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* Data, std::size_t Size, std::size_t MaxSize,
                                               unsigned Seed) {
  return fuzz::MutateWithFields(Data, Size, MaxSize, Seed, FontFields);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  static TScene Scene;
  static const std::string Text = AllCharacters();

  TGlowDbWriter Writer;
  // Level 1: the payload's bytes matter here, not how tightly they are packed.
  if (!Writer.Add("font", 3, std::vector<std::uint8_t>(Data, Data + Size), 0.0, {}, 1)) return 0;
  const std::vector<std::uint8_t> Archive = Writer.Bytes();
  TComponent Owner(nullptr);
  TGlowDb* Db = Create<TGlowDb>(&Owner);
  Db->OpenStream(new TResourceStream(Archive.data(), static_cast<std::int64_t>(Archive.size())));

  TGlowFont* Font = Scene.Fonts->Add();
  if (Font->LoadRecord("font", *Db, qlHigh, avFull)) {
    Scene.Device->BeginScene();
    Font->TextOut(Text, 0, 0, 0xFFFFFFFFu);
    Font->SetStyle({feBold, feItalic, feShadow, feEmboss});
    Font->SetScale(1.5);
    Font->TextOutEx(Text, -3.5, 2.25, 0x80FF00FFu, 0xFF00FF00u, 260);
    Scene.Device->EndScene();
  }
  Scene.Fonts->Clear();
  return 0;
}
