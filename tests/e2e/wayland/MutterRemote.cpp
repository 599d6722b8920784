#include "tests/e2e/wayland/MutterRemote.h"

#include <dbus/dbus.h>
#include <xkbcommon/xkbcommon.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>

namespace qel::e2e {
namespace {

using TAppend = std::function<void(DBusMessageIter&)>;
const char* const RemoteDesktop = "org.gnome.Mutter.RemoteDesktop";
const char* const ScreenCast = "org.gnome.Mutter.ScreenCast";

// An a{sv} of string values.
void AppendOptions(DBusMessageIter& Args, std::initializer_list<std::pair<const char*, const char*>> Entries) {
  DBusMessageIter Dict, Entry, Variant;
  dbus_message_iter_open_container(&Args, DBUS_TYPE_ARRAY, "{sv}", &Dict);
  for (auto [Key, Value] : Entries) {
    dbus_message_iter_open_container(&Dict, DBUS_TYPE_DICT_ENTRY, nullptr, &Entry);
    dbus_message_iter_append_basic(&Entry, DBUS_TYPE_STRING, &Key);
    dbus_message_iter_open_container(&Entry, DBUS_TYPE_VARIANT, DBUS_TYPE_STRING_AS_STRING, &Variant);
    dbus_message_iter_append_basic(&Variant, DBUS_TYPE_STRING, &Value);
    dbus_message_iter_close_container(&Entry, &Variant);
    dbus_message_iter_close_container(&Dict, &Entry);
  }
  dbus_message_iter_close_container(&Args, &Dict);
}

class TMutter {
 public:
  DBusConnection* Bus = nullptr;
  std::string Error;

  // Method of Interface at Path of Service, with the arguments Append adds: its reply, or null
  // with Error set.
  DBusMessage* Call(const char* Service, const std::string& Path, const std::string& Interface, const char* Method,
                    const TAppend& Append = {}) {
    DBusMessage* M = dbus_message_new_method_call(Service, Path.c_str(), Interface.c_str(), Method);
    DBusMessageIter Args;
    dbus_message_iter_init_append(M, &Args);
    if (Append) Append(Args);
    DBusError E;
    dbus_error_init(&E);
    DBusMessage* Reply = dbus_connection_send_with_reply_and_block(Bus, M, 10000, &E);
    dbus_message_unref(M);
    if (!Reply) Error = std::string(Method) + ": " + (E.message ? E.message : "no reply");
    dbus_error_free(&E);
    return Reply;
  }
  bool Do(const char* Service, const std::string& Path, const std::string& Interface, const char* Method,
          const TAppend& Append = {}) {
    DBusMessage* Reply = Call(Service, Path, Interface, Method, Append);
    if (Reply) dbus_message_unref(Reply);
    return Reply != nullptr;
  }
  // A call answered with one object path or string (Type).
  bool Get(int Type, std::string& Out, const char* Service, const std::string& Path, const std::string& Interface,
           const char* Method, const TAppend& Append = {}) {
    DBusMessage* Reply = Call(Service, Path, Interface, Method, Append);
    if (!Reply) return false;
    DBusMessageIter It, Inner;
    dbus_message_iter_init(Reply, &It);
    if (dbus_message_iter_get_arg_type(&It) == DBUS_TYPE_VARIANT) {
      dbus_message_iter_recurse(&It, &Inner);
      It = Inner;
    }
    const char* Text = nullptr;
    if (dbus_message_iter_get_arg_type(&It) == Type) dbus_message_iter_get_basic(&It, &Text);
    Out = Text ? Text : "";
    dbus_message_unref(Reply);
    if (Out.empty()) Error = std::string(Method) + ": an answer of another type";
    return !Out.empty();
  }
  // Waits up to Ms for the stream's PipeWire node.
  bool WaitNode(std::uint32_t& Node, int Ms) {
    const auto End = std::chrono::steady_clock::now() + std::chrono::milliseconds(Ms);
    while (std::chrono::steady_clock::now() < End) {
      dbus_connection_read_write(Bus, 100);
      while (DBusMessage* Message = dbus_connection_pop_message(Bus)) {
        const bool Added = dbus_message_is_signal(Message, "org.gnome.Mutter.ScreenCast.Stream", "PipeWireStreamAdded") &&
                           dbus_message_get_args(Message, nullptr, DBUS_TYPE_UINT32, &Node, DBUS_TYPE_INVALID);
        dbus_message_unref(Message);
        if (Added) return true;
      }
    }
    Error = "no PipeWire stream in time";
    return false;
  }
};

}  // namespace

int RunMutterRemote() {
  DBusError E;
  dbus_error_init(&E);
  TMutter M;
  M.Bus = dbus_bus_get_private(DBUS_BUS_SESSION, &E);
  if (!M.Bus) {
    std::printf("error: no session bus: %s\n", E.message);
    return 1;
  }
  dbus_connection_set_exit_on_disconnect(M.Bus, FALSE);
  const std::string Rd = RemoteDesktop, RdSession = Rd + ".Session", Sc = ScreenCast, ScSession = Sc + ".Session";
  std::string Session, Id, Cast, Stream;
  std::uint32_t Node = 0;
  const bool Ok =
      M.Get(DBUS_TYPE_OBJECT_PATH, Session, RemoteDesktop, "/org/gnome/Mutter/RemoteDesktop", Rd, "CreateSession") &&
      M.Get(DBUS_TYPE_STRING, Id, RemoteDesktop, Session, "org.freedesktop.DBus.Properties", "Get",
            [&](DBusMessageIter& Args) {
              const char* I = RdSession.c_str();
              const char* P = "SessionId";
              dbus_message_iter_append_basic(&Args, DBUS_TYPE_STRING, &I);
              dbus_message_iter_append_basic(&Args, DBUS_TYPE_STRING, &P);
            }) &&
      M.Get(DBUS_TYPE_OBJECT_PATH, Cast, ScreenCast, "/org/gnome/Mutter/ScreenCast", Sc, "CreateSession",
            [&](DBusMessageIter& Args) { AppendOptions(Args, {{"remote-desktop-session-id", Id.c_str()}}); }) &&
      M.Get(DBUS_TYPE_OBJECT_PATH, Stream, ScreenCast, Cast, ScSession, "RecordMonitor",
            [&](DBusMessageIter& Args) {
              const char* Primary = "";
              dbus_message_iter_append_basic(&Args, DBUS_TYPE_STRING, &Primary);
              AppendOptions(Args, {});
            });
  if (Ok) {
    const std::string Rule = "type='signal',interface='org.gnome.Mutter.ScreenCast.Stream',path='" + Stream + "'";
    dbus_bus_add_match(M.Bus, Rule.c_str(), nullptr);
  }
  const auto Key = [&](std::uint32_t Sym, bool Down) {
    return M.Do(RemoteDesktop, Session, RdSession, "NotifyKeyboardKeysym", [&](DBusMessageIter& Args) {
      const dbus_bool_t Pressed = Down;
      dbus_message_iter_append_basic(&Args, DBUS_TYPE_UINT32, &Sym);
      dbus_message_iter_append_basic(&Args, DBUS_TYPE_BOOLEAN, &Pressed);
    });
  };
  const auto Move = [&](const char* Method, double X, double Y, bool Absolute) {
    return M.Do(RemoteDesktop, Session, RdSession, Method, [&](DBusMessageIter& Args) {
      const char* S = Stream.c_str();
      if (Absolute) dbus_message_iter_append_basic(&Args, DBUS_TYPE_STRING, &S);
      dbus_message_iter_append_basic(&Args, DBUS_TYPE_DOUBLE, &X);
      dbus_message_iter_append_basic(&Args, DBUS_TYPE_DOUBLE, &Y);
    });
  };
  // The virtual devices appear at their first event, which is lost: a Shift and a move of
  // nothing make them.
  int Status = Ok && M.Do(RemoteDesktop, Session, RdSession, "Start") && M.WaitNode(Node, 10000) &&
                       Key(XKB_KEY_Shift_L, true) && Key(XKB_KEY_Shift_L, false) &&
                       Move("NotifyPointerMotionRelative", 0, 0, false)
                   ? 0
                   : 1;
  if (Status == 0)
    std::printf("node %u\nready\n", Node);
  else
    std::printf("error: %s\n", M.Error.c_str());
  std::fflush(stdout);

  std::string Line;
  while (Status == 0 && std::getline(std::cin, Line)) {
    std::istringstream In(Line);
    std::string Command;
    In >> Command;
    bool Done = false;
    if (Command == "key") {
      std::string Name;
      In >> Name;
      const xkb_keysym_t Sym = xkb_keysym_from_name(Name.c_str(), XKB_KEYSYM_NO_FLAGS);
      if (Sym == XKB_KEY_NoSymbol)
        M.Error = "no key " + Name;
      else
        Done = Key(Sym, true) && Key(Sym, false);
    } else if (Command == "move" || Command == "at") {
      double X = 0, Y = 0;
      In >> X >> Y;
      Done = Command == "move" ? Move("NotifyPointerMotionRelative", X, Y, false)
                               : Move("NotifyPointerMotionAbsolute", X, Y, true);
    } else {
      M.Error = "unknown command '" + Line + "'";
    }
    // Sent, and answered after the compositor took the event.
    std::printf("%s\n", Done ? "ok" : ("error: " + M.Error).c_str());
    std::fflush(stdout);
  }
  if (!Session.empty()) M.Do(RemoteDesktop, Session, RdSession, "Stop");
  dbus_connection_close(M.Bus);
  dbus_connection_unref(M.Bus);
  dbus_error_free(&E);
  return Status;
}

}  // namespace qel::e2e
