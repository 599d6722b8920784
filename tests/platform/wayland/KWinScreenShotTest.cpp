#include <dbus/dbus.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <variant>

#include "platform/wayland/CaptureFormats.h"
#include "platform/wayland/kwin/ScreenShot.h"

namespace qel::kwin {
namespace {

TShotFields Raw(std::uint32_t W, std::uint32_t H, std::uint32_t Stride, std::uint32_t Format) {
  return TShotFields{"raw", W, H, Stride, Format};
}

TEST(KWinScreenShot, TakesOnlyRawPixelsOfTheScreensSizeInAReadLayout) {
  struct TCase {
    const char* What;
    TShotFields Fields;
    bool Taken;
  };
  const TCase Cases[] = {
      {"RGB32 of the screen's size", Raw(1920, 1080, 7680, 4), true},
      {"RGB888 rows padded to a word", Raw(1920, 1080, 5760, 13), true},
      {"RGB16", Raw(1920, 1080, 3840, 7), true},
      {"a file name instead of pixels", TShotFields{"file", 1920, 1080, 7680, 4}, false},
      {"no stride", TShotFields{"raw", 1920, 1080, std::nullopt, 4}, false},
      {"an indexed picture", Raw(1920, 1080, 1920, 3), false},
      {"the picture of another size", Raw(2400, 1350, 9600, 4), false},
      {"no pixels at all", Raw(0, 0, 0, 4), false},
      {"rows shorter than their pixels", Raw(1920, 1080, 7676, 4), false},
      {"rows of a gigabyte", Raw(1920, 1080, 0x40000000, 4), false},
  };
  for (const TCase& C : Cases) {
    TScreenImage Image;
    std::string Error;
    EXPECT_EQ(ReadShotFields(C.Fields, 1920, 1080, Image, Error), C.Taken) << C.What << ": " << Error;
    EXPECT_EQ(Error.empty(), C.Taken) << C.What;
    if (C.Taken) {
      EXPECT_EQ(Image.Bytes(), std::size_t{*C.Fields.Stride} * 1080) << C.What;
    }
  }
  // A caller that does not know the size takes any within reason, never beyond it.
  TScreenImage Image;
  std::string Error;
  EXPECT_TRUE(ReadShotFields(Raw(2400, 1350, 9600, 5), 0, 0, Image, Error));
  EXPECT_FALSE(ReadShotFields(Raw(LargestSide + 1, 10, (LargestSide + 1) * 4, 5), 0, 0, Image, Error));
}

// One pixel of colour 0x80C0FF (or its nearest in 5-6-5) as KWin writes it in each layout.
TEST(KWinScreenShot, EveryReadLayoutGivesTheSameColour) {
  struct TCase {
    std::uint32_t QImageFormat;
    std::vector<std::uint8_t> Bytes;
    std::uint32_t Expected;
  };
  const TCase Cases[] = {
      {4, {0xFF, 0xC0, 0x80, 0xFF}, 0x80C0FF},  {5, {0xFF, 0xC0, 0x80, 0xFF}, 0x80C0FF},
      {6, {0xFF, 0xC0, 0x80, 0xFF}, 0x80C0FF},  {7, {0x1F, 0x86}, 0x84C3FF},
      {13, {0x80, 0xC0, 0xFF}, 0x80C0FF},       {16, {0x80, 0xC0, 0xFF, 0xFF}, 0x80C0FF},
      {17, {0x80, 0xC0, 0xFF, 0xFF}, 0x80C0FF}, {18, {0x80, 0xC0, 0xFF, 0xFF}, 0x80C0FF},
      {19, {0x00, 0x02, 0xFC, 0xFF}, 0x80C0FF}, {20, {0x00, 0x02, 0xFC, 0xFF}, 0x80C0FF},
      {21, {0xFF, 0x03, 0x0C, 0xE0}, 0x80C0FF}, {22, {0xFF, 0x03, 0x0C, 0xE0}, 0x80C0FF},
      {29, {0xFF, 0xC0, 0x80}, 0x80C0FF},
  };
  for (const TCase& C : Cases) {
    const auto Stride = static_cast<std::uint32_t>(C.Bytes.size());
    TScreenImage Image;
    std::string Error;
    ASSERT_TRUE(ReadShotFields(Raw(1, 1, Stride, C.QImageFormat), 1, 1, Image, Error)) << C.QImageFormat << Error;
    TBitmap B(1, 1);
    ASSERT_TRUE(wl::ConvertCapture(Image.ShmFormat, C.Bytes.data(), 1, 1, Image.Stride, false, B)) << C.QImageFormat;
    EXPECT_EQ(*reinterpret_cast<const std::uint32_t*>(B.ScanLine(0)), C.Expected) << "format " << C.QImageFormat;
  }
}

// A reply as KWin's bus would carry it: one dictionary of these entries.
using TValue = std::variant<std::uint32_t, std::int32_t, double, const char*>;
DBusMessage* Reply(const std::vector<std::pair<const char*, TValue>>& Entries) {
  DBusMessage* M = dbus_message_new(DBUS_MESSAGE_TYPE_METHOD_RETURN);
  DBusMessageIter Args, Dict;
  dbus_message_iter_init_append(M, &Args);
  dbus_message_iter_open_container(&Args, DBUS_TYPE_ARRAY, "{sv}", &Dict);
  for (const auto& [Key, Value] : Entries) {
    DBusMessageIter Entry, Variant;
    dbus_message_iter_open_container(&Dict, DBUS_TYPE_DICT_ENTRY, nullptr, &Entry);
    dbus_message_iter_append_basic(&Entry, DBUS_TYPE_STRING, &Key);
    const int Type = std::visit(
        [](auto V) {
          using T = decltype(V);
          return std::is_same_v<T, std::uint32_t> ? DBUS_TYPE_UINT32
                 : std::is_same_v<T, std::int32_t> ? DBUS_TYPE_INT32
                 : std::is_same_v<T, double>       ? DBUS_TYPE_DOUBLE
                                                   : DBUS_TYPE_STRING;
        },
        Value);
    const char Signature[2] = {static_cast<char>(Type), 0};
    dbus_message_iter_open_container(&Entry, DBUS_TYPE_VARIANT, Signature, &Variant);
    std::visit([&](auto V) { dbus_message_iter_append_basic(&Variant, Type, &V); }, Value);
    dbus_message_iter_close_container(&Entry, &Variant);
    dbus_message_iter_close_container(&Dict, &Entry);
  }
  dbus_message_iter_close_container(&Args, &Dict);
  return M;
}

TEST(KWinScreenShot, ReadsTheReplysFieldsAndRefusesOddTypes) {
  const auto U = [](std::uint32_t V) { return TValue{V}; };
  struct TCase {
    const char* What;
    std::vector<std::pair<const char*, TValue>> Entries;
    bool Read;
  };
  const TCase Cases[] = {
      {"as KWin answers", {{"type", "raw"}, {"width", U(2400)}, {"height", U(1350)}, {"stride", U(9600)},
                           {"format", U(6)}, {"scale", 1.25}}, true},
      {"a signed width", {{"type", "raw"}, {"width", std::int32_t{-1}}}, false},
      {"a number for the type", {{"type", U(1)}}, false},
      {"a stride as text", {{"stride", "9600"}}, false},
  };
  for (const TCase& C : Cases) {
    DBusMessage* M = Reply(C.Entries);
    TShotFields F;
    std::string Error;
    EXPECT_EQ(ShotFieldsOf(M, F, Error), C.Read) << C.What << ": " << Error;
    if (C.Read) {
      EXPECT_EQ(F.Type, "raw");
      EXPECT_EQ(F.Width, 2400u);
      EXPECT_EQ(F.Height, 1350u);
      EXPECT_EQ(F.Stride, 9600u);
      EXPECT_EQ(F.Format, 6u);
    }
    dbus_message_unref(M);
  }
  // Something else than a dictionary.
  DBusMessage* M = dbus_message_new(DBUS_MESSAGE_TYPE_METHOD_RETURN);
  const char* Text = "raw";
  dbus_message_append_args(M, DBUS_TYPE_STRING, &Text, DBUS_TYPE_INVALID);
  TShotFields F;
  std::string Error;
  EXPECT_FALSE(ShotFieldsOf(M, F, Error));
  dbus_message_unref(M);
}

TEST(KWinScreenShot, APipeGivesExactlyThePixelsOrAnErrorInTime) {
  struct TCase {
    const char* What;
    std::size_t Written;
    bool WriterCloses;
    bool Read;
  };
  const TCase Cases[] = {
      {"all of them", 200000, true, true},
      {"more than asked for", 200100, true, true},
      {"a short pipe", 199999, true, false},
      {"a writer that stops and stays", 1000, false, false},
  };
  for (const TCase& C : Cases) {
    int P[2];
    ASSERT_EQ(pipe2(P, O_CLOEXEC), 0);
    fcntl(P[1], F_SETPIPE_SZ, 1 << 20);
    const std::vector<std::uint8_t> Bytes(C.Written, 0x5A);
    ASSERT_EQ(write(P[1], Bytes.data(), Bytes.size()), static_cast<ssize_t>(Bytes.size())) << C.What;
    if (C.WriterCloses) close(P[1]);
    std::vector<std::uint8_t> Data;
    std::string Error;
    const bool Read =
        ReadPipe(P[0], 200000, std::chrono::steady_clock::now() + std::chrono::milliseconds(100), Data, Error);
    EXPECT_EQ(Read, C.Read) << C.What << ": " << Error;
    if (Read) {
      EXPECT_EQ(Data.size(), 200000u) << C.What;
    }
    EXPECT_EQ(Error.empty(), C.Read) << C.What;
    close(P[0]);
    if (!C.WriterCloses) close(P[1]);
  }
}

// Without a bus there is nothing to ask: no picture, no error, at once.
TEST(KWinScreenShot, NoBusIsNoKWin) {
  const char* Saved = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  const std::string Kept = Saved ? Saved : "";
  setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/qel-no-bus", 1);
  TScreenImage Image;
  std::string Error;
  EXPECT_EQ(CaptureScreen("Virtual-0", 1920, 1080, 2000, Image, Error), TShotResult::Unavailable);
  EXPECT_TRUE(Error.empty()) << Error;
  if (Saved)
    setenv("DBUS_SESSION_BUS_ADDRESS", Kept.c_str(), 1);
  else
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

}  // namespace
}  // namespace qel::kwin
