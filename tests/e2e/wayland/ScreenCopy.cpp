#include "tests/e2e/wayland/ScreenCopy.h"

#include <optional>

#include "platform/wayland/CaptureFormats.h"
#include "platform/wayland/kwin/ScreenShot.h"
#include "platform/wayland/OutputTransform.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"

namespace qel::e2e {

struct TScreenCopy::TSlot {
  enum TState { Idle, Pending, Ready, Failed } State = Idle;
  zwlr_screencopy_frame_v1* Frame = nullptr;
  std::optional<TShmBuffer> Buffer;
  bool YInvert = false;
  long Number = 0;  // the order the frames arrived in
  TScreenCopy* Owner = nullptr;
};

struct TSlotEvents {
  using TSlot = TScreenCopy::TSlot;
  static TSlot& Of(void* Data) { return *static_cast<TSlot*>(Data); }

  static void Buffer(void* Data, zwlr_screencopy_frame_v1*, std::uint32_t Format, std::uint32_t Width,
                     std::uint32_t Height, std::uint32_t Stride) {
    TSlot& S = Of(Data);
    const bool Usable = Format == WL_SHM_FORMAT_XRGB8888 || Format == WL_SHM_FORMAT_ARGB8888 ||
                        Format == WL_SHM_FORMAT_XBGR8888 || Format == WL_SHM_FORMAT_ABGR8888;
    if (!Usable || S.Buffer) return;  // the first usable format offered
    S.Buffer.emplace(S.Owner->Client.Shm, static_cast<int>(Width), static_cast<int>(Height), static_cast<int>(Stride),
                     Format);
  }
  static void Flags(void* Data, zwlr_screencopy_frame_v1*, std::uint32_t Flags) {
    Of(Data).YInvert = Flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT;
  }
  static void Ready(void* Data, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t) {
    TSlot& S = Of(Data);
    S.State = TSlot::Ready;
    S.Number = ++S.Owner->Sequence;
    // The next frame is asked for at once, into the other slot if it is free.
    for (auto& Other : S.Owner->Slots)
      if (Other->State == TSlot::Pending) return;
    for (auto& Other : S.Owner->Slots)
      if (Other->State == TSlot::Idle) return S.Owner->Request(*Other);
  }
  static void Failed(void* Data, zwlr_screencopy_frame_v1*) { Of(Data).State = TSlot::Failed; }
  static void Damage(void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
  static void Dmabuf(void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t) {}
  static void BufferDone(void* Data, zwlr_screencopy_frame_v1* Frame) {
    TSlot& S = Of(Data);
    if (!S.Buffer || !S.Buffer->Valid()) {
      S.State = TSlot::Failed;
      return;
    }
    if (S.Owner->Damaged)
      zwlr_screencopy_frame_v1_copy_with_damage(Frame, S.Buffer->Buffer);
    else
      zwlr_screencopy_frame_v1_copy(Frame, S.Buffer->Buffer);
  }
};

namespace {
const zwlr_screencopy_frame_v1_listener FrameListener = {TSlotEvents::Buffer, TSlotEvents::Flags,
                                                         TSlotEvents::Ready,  TSlotEvents::Failed,
                                                         TSlotEvents::Damage, TSlotEvents::Dmabuf,
                                                         TSlotEvents::BufferDone};
}  // namespace

TScreenCopy::TScreenCopy(TTestClient& Client, wl_output* Output, bool Damaged)
    : Client(Client), Output(Output), Damaged(Damaged) {
  for (auto& S : Slots) {
    S = std::make_unique<TSlot>();
    S->Owner = this;
  }
}

TScreenCopy::~TScreenCopy() {
  for (auto& S : Slots)
    if (S->Frame) zwlr_screencopy_frame_v1_destroy(S->Frame);
}

void TScreenCopy::Request(TSlot& Slot) {
  if (Slot.Frame) zwlr_screencopy_frame_v1_destroy(Slot.Frame);
  Slot.Frame = zwlr_screencopy_manager_v1_capture_output(Client.Screencopy, 0, Output);
  Slot.State = TSlot::Pending;
  Slot.YInvert = false;
  zwlr_screencopy_frame_v1_add_listener(Slot.Frame, &FrameListener, &Slot);
}

bool TScreenCopy::NextScreenshot(TArgbPicture& Shot, Clock::time_point Deadline, std::string& Error) {
  std::string Name;
  for (const TOutput& O : Client.Outputs)
    if (O.Handle == Output) Name = O.Name;
  do {
    const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - Clock::now()).count();
    kwin::TScreenImage Image;
    if (kwin::CaptureScreen(Name, 0, 0, static_cast<int>(std::max<long long>(Left, 1)), Image, Error) !=
        kwin::TShotResult::Taken) {
      if (Error.empty()) Error = "the compositor offers neither screencopy nor KWin's screenshots";
      return false;
    }
    TBitmap Bitmap(Image.Width, Image.Height);
    if (!wl::ConvertCapture(Image.ShmFormat, Image.Pixels.data(), Image.Width, Image.Height, Image.Stride, false,
                            Bitmap)) {
      Error = "KWin's screenshot is in a format not read here";
      return false;
    }
    TArgbPicture Taken{Image.Width, Image.Height, {}};
    Taken.Pixels.resize(static_cast<std::size_t>(Image.Width) * Image.Height);
    for (int Y = 0; Y < Image.Height; ++Y) {
      const auto* Row = reinterpret_cast<const std::uint32_t*>(Bitmap.ScanLine(Y));
      for (int X = 0; X < Image.Width; ++X) Taken.At(X, Y) = 0xFF000000u | Row[X];
    }
    const bool Changed = !Damaged || Taken.Pixels != LastScreenshot.Pixels;
    LastScreenshot = Taken;
    if (Changed) {
      Shot = std::move(Taken);
      return true;
    }
  } while (Clock::now() < Deadline);
  Error = "no frame from the compositor in time";
  return false;
}

bool TScreenCopy::Next(TArgbPicture& Shot, Clock::time_point Deadline, std::string& Error) {
  if (!Client.Screencopy) return NextScreenshot(Shot, Deadline, Error);
  const auto Any = [&](TSlot::TState State) {
    for (auto& S : Slots)
      if (S->State == State) return true;
    return false;
  };
  if (!Any(TSlot::Pending) && !Any(TSlot::Ready)) Request(*Slots[0]);
  if (!Client.DispatchUntil([&] { return Any(TSlot::Ready) || Any(TSlot::Failed); }, Deadline)) {
    Error = "no frame from the compositor in time";
    return false;
  }
  if (Any(TSlot::Failed)) {
    Error = "the compositor could not copy the output";
    return false;
  }
  TSlot* First = nullptr;
  for (auto& S : Slots)
    if (S->State == TSlot::Ready && (!First || S->Number < First->Number)) First = S.get();
  const TShmBuffer& B = *First->Buffer;
  const bool Swap = B.Format == WL_SHM_FORMAT_XBGR8888 || B.Format == WL_SHM_FORMAT_ABGR8888;
  // A turned output's pixels shown the right way up, as its user sees them.
  std::int32_t Transform = 0;
  for (const TOutput& O : Client.Outputs)
    if (O.Handle == Output) Transform = O.Transform;
  wl::UprightSize(Transform, B.Width, B.Height, Shot.Width, Shot.Height);
  Shot.Pixels.resize(static_cast<std::size_t>(B.Width) * B.Height);
  for (int Y = 0; Y < Shot.Height; ++Y)
    for (int X = 0; X < Shot.Width; ++X) {
      int Cx = 0, Cy = 0;
      wl::CapturedPixel(Transform, B.Width, B.Height, X, Y, Cx, Cy);
      const std::uint32_t P = B.Row(First->YInvert ? B.Height - 1 - Cy : Cy)[Cx];
      Shot.At(X, Y) = 0xFF000000u | (Swap ? (P & 0xFF) << 16 | (P & 0xFF00) | (P >> 16 & 0xFF) : P & 0xFFFFFF);
    }
  First->State = TSlot::Idle;
  if (!Any(TSlot::Pending)) Request(*First);
  return true;
}

bool CaptureOutput(TTestClient& Client, const std::string& OutputName, TArgbPicture& Shot, std::string& Error) {
  const TOutput* O = Client.FindOutput(OutputName);
  if (!O) {
    Error = "no output " + OutputName;
    return false;
  }
  TScreenCopy Copy(Client, O->Handle, false);
  return Copy.Next(Shot, After(10000), Error);
}

}  // namespace qel::e2e
