#include "platform/wayland/kwin/ScreenShot.h"

#include <dbus/dbus.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qel::kwin {
namespace {

using TClock = std::chrono::steady_clock;

int MsLeft(TClock::time_point Deadline) {
  const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - TClock::now()).count();
  return Left > 0 ? static_cast<int>(Left) : 0;
}

void AddOption(DBusMessageIter& Dict, const char* Key, bool Value) {
  DBusMessageIter Entry, Variant;
  const dbus_bool_t B = Value;
  dbus_message_iter_open_container(&Dict, DBUS_TYPE_DICT_ENTRY, nullptr, &Entry);
  dbus_message_iter_append_basic(&Entry, DBUS_TYPE_STRING, &Key);
  dbus_message_iter_open_container(&Entry, DBUS_TYPE_VARIANT, DBUS_TYPE_BOOLEAN_AS_STRING, &Variant);
  dbus_message_iter_append_basic(&Variant, DBUS_TYPE_BOOLEAN, &B);
  dbus_message_iter_close_container(&Entry, &Variant);
  dbus_message_iter_close_container(&Dict, &Entry);
}

// CaptureScreen(name, options, pipe): the output at its own pixels, without the pointer.
DBusMessage* CaptureScreenCall(const std::string& Output, int PipeFd) {
  DBusMessage* M = dbus_message_new_method_call("org.kde.KWin", "/org/kde/KWin/ScreenShot2",
                                                "org.kde.KWin.ScreenShot2", "CaptureScreen");
  if (!M) return nullptr;
  // Nothing is started for it: KWin runs, or this is not KDE Plasma.
  dbus_message_set_auto_start(M, FALSE);
  DBusMessageIter Args, Dict;
  const char* Name = Output.c_str();
  dbus_message_iter_init_append(M, &Args);
  dbus_message_iter_append_basic(&Args, DBUS_TYPE_STRING, &Name);
  dbus_message_iter_open_container(&Args, DBUS_TYPE_ARRAY, "{sv}", &Dict);
  AddOption(Dict, "native-resolution", true);
  AddOption(Dict, "include-cursor", false);
  dbus_message_iter_close_container(&Args, &Dict);
  if (!dbus_message_iter_append_basic(&Args, DBUS_TYPE_UNIX_FD, &PipeFd)) {
    dbus_message_unref(M);
    return nullptr;
  }
  return M;
}

// Answers that mean there is no KWin screenshot interface to ask.
bool MeansAbsent(const DBusError& E) {
  for (const char* Name : {DBUS_ERROR_SERVICE_UNKNOWN, DBUS_ERROR_NAME_HAS_NO_OWNER, DBUS_ERROR_UNKNOWN_METHOD,
                           DBUS_ERROR_UNKNOWN_OBJECT, DBUS_ERROR_UNKNOWN_INTERFACE})
    if (dbus_error_has_name(&E, Name)) return true;
  return false;
}

bool EndsWith(const char* Text, const char* End) {
  const std::size_t N = std::strlen(Text), M = std::strlen(End);
  return N >= M && std::strcmp(Text + N - M, End) == 0;
}

// A private connection to the session bus, closed when it goes.
struct TBus {
  DBusConnection* Connection = nullptr;
  DBusError Error;
  TBus() { dbus_error_init(&Error); }
  ~TBus() {
    if (Connection) {
      dbus_connection_close(Connection);
      dbus_connection_unref(Connection);
    }
    dbus_error_free(&Error);
  }
  // Sends the call (taking it) and waits for its reply until Deadline; null with Error set otherwise.
  DBusMessage* Call(DBusMessage* M, TClock::time_point Deadline) {
    if (!M) return nullptr;
    dbus_error_free(&Error);
    const int Ms = MsLeft(Deadline);
    DBusMessage* Reply = Ms > 0 ? dbus_connection_send_with_reply_and_block(Connection, M, Ms, &Error) : nullptr;
    if (!Reply && !dbus_error_is_set(&Error)) dbus_set_error_const(&Error, DBUS_ERROR_TIMEOUT, "no answer in time");
    dbus_message_unref(M);
    return Reply;
  }
};

}  // namespace

bool ShotFieldsOf(DBusMessage* Reply, TShotFields& Fields, std::string& Error) {
  DBusMessageIter Args, Dict;
  if (!dbus_message_iter_init(Reply, &Args) || dbus_message_iter_get_arg_type(&Args) != DBUS_TYPE_ARRAY ||
      dbus_message_iter_get_element_type(&Args) != DBUS_TYPE_DICT_ENTRY) {
    Error = "the reply is not a dictionary";
    return false;
  }
  dbus_message_iter_recurse(&Args, &Dict);
  for (; dbus_message_iter_get_arg_type(&Dict) == DBUS_TYPE_DICT_ENTRY; dbus_message_iter_next(&Dict)) {
    DBusMessageIter Entry, Value;
    dbus_message_iter_recurse(&Dict, &Entry);
    if (dbus_message_iter_get_arg_type(&Entry) != DBUS_TYPE_STRING) continue;
    const char* Key = nullptr;
    dbus_message_iter_get_basic(&Entry, &Key);
    dbus_message_iter_next(&Entry);
    if (dbus_message_iter_get_arg_type(&Entry) != DBUS_TYPE_VARIANT) continue;
    dbus_message_iter_recurse(&Entry, &Value);
    const int Type = dbus_message_iter_get_arg_type(&Value);
    if (std::strcmp(Key, "type") == 0) {
      if (Type != DBUS_TYPE_STRING) {
        Error = "the reply's type is not a string";
        return false;
      }
      const char* Text = nullptr;
      dbus_message_iter_get_basic(&Value, &Text);
      Fields.Type = Text;
      continue;
    }
    std::optional<std::uint32_t>* Number = std::strcmp(Key, "width") == 0    ? &Fields.Width
                                           : std::strcmp(Key, "height") == 0 ? &Fields.Height
                                           : std::strcmp(Key, "stride") == 0 ? &Fields.Stride
                                           : std::strcmp(Key, "format") == 0 ? &Fields.Format
                                                                               : nullptr;
    if (!Number) continue;  // the scale, and what later versions add
    if (Type != DBUS_TYPE_UINT32) {
      Error = std::string("the reply's ") + Key + " is not an unsigned number";
      return false;
    }
    dbus_uint32_t V = 0;
    dbus_message_iter_get_basic(&Value, &V);
    *Number = V;
  }
  return true;
}

bool ReadPipe(int Fd, std::size_t Bytes, TClock::time_point Deadline, std::vector<std::uint8_t>& Data,
              std::string& Error) {
  Data.clear();
  std::uint8_t Chunk[65536];
  while (Data.size() < Bytes) {
    pollfd P{Fd, POLLIN, 0};
    const int Ready = poll(&P, 1, MsLeft(Deadline));
    if (Ready < 0 && errno == EINTR) continue;
    if (Ready <= 0) {
      Error = Ready == 0 ? "the pixels did not all come in time" : std::string("cannot wait for the pixels: ") +
                                                                         std::strerror(errno);
      return false;
    }
    const ssize_t N = read(Fd, Chunk, std::min(sizeof Chunk, Bytes - Data.size()));
    if (N < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (N <= 0) {
      Error = "the pixels end after " + std::to_string(Data.size()) + " of " + std::to_string(Bytes) + " bytes";
      return false;
    }
    Data.insert(Data.end(), Chunk, Chunk + N);
  }
  return true;
}

TShotResult CaptureScreen(const std::string& Output, int WantWidth, int WantHeight, int TimeoutMs, TScreenImage& Image,
                          std::string& Error) {
  const auto Deadline = TClock::now() + std::chrono::milliseconds(TimeoutMs);
  const char* Address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (!Address || !*Address) return TShotResult::Unavailable;
  // The program's own handling of SIGPIPE stays as it is.
  dbus_connection_set_change_sigpipe(FALSE);
  TBus Bus;
  Bus.Connection = dbus_connection_open_private(Address, &Bus.Error);
  if (!Bus.Connection) return TShotResult::Unavailable;
  dbus_connection_set_exit_on_disconnect(Bus.Connection, FALSE);
  // The bus's greeting, waited for no longer than the rest.
  DBusMessage* Hello = Bus.Call(dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS,
                                                             "Hello"), Deadline);
  if (!Hello) return TShotResult::Unavailable;
  dbus_message_unref(Hello);

  int Pipe[2];
  if (pipe2(Pipe, O_CLOEXEC) != 0) {
    Error = std::string("no pipe: ") + std::strerror(errno);
    return TShotResult::Failed;
  }
  DBusMessage* Call = CaptureScreenCall(Output, Pipe[1]);
  close(Pipe[1]);  // the message holds a copy; KWin's is the only writer left
  DBusMessage* Reply = Bus.Call(Call, Deadline);
  TShotResult Result = TShotResult::Failed;
  TShotFields Fields;
  if (!Reply) {
    if (MeansAbsent(Bus.Error)) {
      Result = TShotResult::Unavailable;
    } else {
      Result = Bus.Error.name && EndsWith(Bus.Error.name, ".NoAuthorized") ? TShotResult::Refused : TShotResult::Failed;
      Error = Bus.Error.message ? Bus.Error.message : "no answer";
    }
  } else if (ShotFieldsOf(Reply, Fields, Error) && ReadShotFields(Fields, WantWidth, WantHeight, Image, Error) &&
             ReadPipe(Pipe[0], Image.Bytes(), Deadline, Image.Pixels, Error)) {
    Result = TShotResult::Taken;
  }
  if (Reply) dbus_message_unref(Reply);
  close(Pipe[0]);
  return Result;
}

}  // namespace qel::kwin
