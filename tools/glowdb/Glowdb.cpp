#include "tools/glowdb/Glowdb.h"

#include <chrono>
#include <cstdlib>
#include <random>

#include "engine/archive/Blowfish.h"
#include "engine/archive/GlowDb.h"
#include "engine/archive/GlowDbWriter.h"
#include "framework/Streams.h"
#include "tools/glowdb/PackEntry.h"

namespace qel {
namespace {

const char* const HelpText =
    R"(usage: glowdb COMMAND ARGUMENTS

Commands:
  glowdb list ARCHIVE
      One line per record in table order: KEY TYPE ORIGSIZE PHYSSIZE ENC, where TYPE is
      "image" (1), "font" (3) or the number, and ENC is "yes" or "no".
  glowdb verify ARCHIVE [--key HEX]
      Decodes every record and prints "ok KEY" or "FAILED KEY: reason" for each.
      Exit status 0 only when every record decodes.
  glowdb extract ARCHIVE KEY [-o FILE] [--key HEX]
      Writes the decoded payload of KEY (ASCII letters match in either case, first match
      wins) to FILE, or to standard output.
  glowdb pack OUT [--key HEX] ENTRY...
      Writes a new archive: every payload compressed with zlib at level 9, stamped with the
      current time (or with SOURCE_DATE_EPOCH, seconds since 1970, when it is set), and
      enciphered with Blowfish-CBC and a fresh random IV per record when --key is given.
      Entries, in the order they go into the archive:
        image:KEY=FILE.png[,format=NAME][,pattern=WxH][,visible=WxH][,texture=WxH]
            An image from a PNG. Patterns of pattern size (default: the whole picture) are
            cut from the picture row by row and laid out over as many textures (default:
            one pattern each) as needed; visible defaults to the pattern size; format
            defaults to a8r8g8b8.
        font:KEY=FONT.ttf,size=N[,bold][,first=C][,count=N][,cell=WxH][,visible=WxH][,texture=WxH][,format=NAME]
            A bitmap font rasterised with FreeType at N points (96 dpi): glyphs for the
            character codes C (default 32) to C + N - 1 (default 95 glyphs), read as
            Latin-1; bold emboldens the outlines. Visible defaults to the widest advance by
            the line height, cell to visible + 1 each way, texture to 256x256, format to
            a4r4g4b4. Glyphs are white with their coverage as alpha.
        raw:KEY=FILE[,type=N]
            The file's bytes as the payload, record type N (default 0).
      Pixel formats: r3g3b2 r5g6b5 x8r8g8b8 x1r5g5b5 x4r4g4b4 a8r8g8b8 a1r5g5b5 a4r4g4b4
      a8r3g3b2 a2r2g2b2 a8.
  glowdb --help
      This text.

--key HEX: the cipher key, 1 to 56 bytes as hexadecimal digits, used as it is.
Exit status: 0 success, 1 failure (one line on standard error), 2 bad command line.
)";

struct TUsageError {
  std::string What;
};

class TCommandLine {
 public:
  explicit TCommandLine(std::vector<std::string> Args) : FArgs(std::move(Args)) {}

  // Takes "--key HEX" and "-o FILE" wherever they stand; the rest stays in order.
  void TakeOptions(bool AllowOutput) {
    std::vector<std::string> Rest;
    for (std::size_t i = 0; i < FArgs.size(); ++i) {
      const std::string& A = FArgs[i];
      if (A == "--key" || (A == "-o" && AllowOutput)) {
        if (i + 1 >= FArgs.size()) throw TUsageError{A + " needs a value"};
        (A == "--key" ? KeyHex : Output) = FArgs[++i];
        (A == "--key" ? HasKey : HasOutput) = true;
      } else if (A.size() > 1 && A[0] == '-' && A != "-") {
        throw TUsageError{"unknown option " + A};
      } else {
        Rest.push_back(A);
      }
    }
    FArgs = std::move(Rest);
  }

  const std::vector<std::string>& Positional() const { return FArgs; }

  std::string KeyHex, Output;
  bool HasKey = false, HasOutput = false;

 private:
  std::vector<std::string> FArgs;
};

std::vector<std::uint8_t> ParseKey(const std::string& Hex) {
  if (Hex.empty() || Hex.size() % 2 || Hex.size() / 2 > TBlowfish::MaxKeyLength)
    throw TUsageError{"--key takes 2 to 112 hexadecimal digits (1 to 56 bytes)"};
  std::vector<std::uint8_t> Key;
  for (std::size_t i = 0; i < Hex.size(); i += 2) {
    unsigned Value = 0;
    for (std::size_t j = i; j < i + 2; ++j) {
      const char C = Hex[j];
      const int Digit = C >= '0' && C <= '9' ? C - '0' : C >= 'a' && C <= 'f' ? C - 'a' + 10 : C >= 'A' && C <= 'F' ? C - 'A' + 10 : -1;
      if (Digit < 0) throw TUsageError{"--key: \"" + Hex + "\" is not hexadecimal"};
      Value = Value * 16 + static_cast<unsigned>(Digit);
    }
    Key.push_back(static_cast<std::uint8_t>(Value));
  }
  return Key;
}

std::string TypeName(std::int32_t Type) {
  if (Type == recImage) return "image";
  if (Type == recFont) return "font";
  return std::to_string(Type);
}

// The archive opened read-only from a file, with the key when one was given.
struct TOpened {
  TComponent Owner{nullptr};
  TGlowDb* Db = nullptr;
};

bool OpenArchive(const std::string& File, const TCommandLine& Cmd, TOpened& A, std::ostream& Err) {
  A.Db = Create<TGlowDb>(&A.Owner);
  A.Db->SetOpenMode(opReadOnly);
  A.Db->SetFileName(File);
  if (Cmd.HasKey) {
    const auto Key = ParseKey(Cmd.KeyHex);
    A.Db->SetCipherKey(Key.data(), Key.size());
  }
  if (A.Db->EnsureOpen()) return true;
  Err << "glowdb: " << File << ": " << A.Db->LastError() << "\n";
  return false;
}

int List(TCommandLine& Cmd, std::ostream& Out, std::ostream& Err) {
  Cmd.TakeOptions(false);
  if (Cmd.Positional().size() != 1 || Cmd.HasKey) throw TUsageError{"usage: glowdb list ARCHIVE"};
  TOpened A;
  if (!OpenArchive(Cmd.Positional()[0], Cmd, A, Err)) return 1;
  for (int i = 0; i < A.Db->RecordCount(); ++i) {
    const TRecordInfo& R = *A.Db->RecordInfo(i);
    Out << R.Key << ' ' << TypeName(R.RecordType) << ' ' << R.OrigSize << ' ' << R.PhysSize << ' '
        << (R.Encrypted ? "yes" : "no") << "\n";
  }
  return 0;
}

int Verify(TCommandLine& Cmd, std::ostream& Out, std::ostream& Err) {
  Cmd.TakeOptions(false);
  if (Cmd.Positional().size() != 1) throw TUsageError{"usage: glowdb verify ARCHIVE [--key HEX]"};
  const std::string& File = Cmd.Positional()[0];
  TOpened A;
  if (!OpenArchive(File, Cmd, A, Err)) return 1;
  const int Count = A.Db->RecordCount();
  int Failed = 0;
  std::string FirstFailure;
  for (int i = 0; i < Count; ++i) {
    const std::string Key = A.Db->RecordKey(i);
    std::vector<std::uint8_t> Data;
    if (A.Db->ReadRecordAt(i, Data)) {
      Out << "ok " << Key << "\n";
    } else {
      Out << "FAILED " << Key << ": " << A.Db->LastError() << "\n";
      if (!Failed++) FirstFailure = "record \"" + Key + "\": " + A.Db->LastError();
    }
  }
  if (!Failed) return 0;
  Err << "glowdb: " << File << ": " << FirstFailure;
  if (Failed > 1) Err << " (and " << Failed - 1 << " more of " << Count << " records failed)";
  Err << "\n";
  return 1;
}

int Extract(TCommandLine& Cmd, std::ostream& Out, std::ostream& Err) {
  Cmd.TakeOptions(true);
  if (Cmd.Positional().size() != 2) throw TUsageError{"usage: glowdb extract ARCHIVE KEY [-o FILE] [--key HEX]"};
  const std::string& File = Cmd.Positional()[0];
  const std::string& Key = Cmd.Positional()[1];
  TOpened A;
  if (!OpenArchive(File, Cmd, A, Err)) return 1;
  std::vector<std::uint8_t> Data;
  if (!A.Db->ReadRecord(Key, Data)) {
    Err << "glowdb: " << File << ": record \"" << Key << "\": " << A.Db->LastError() << "\n";
    return 1;
  }
  if (Cmd.HasOutput) {
    TMemoryStream S;
    S.WriteBuffer(Data.data(), static_cast<std::int64_t>(Data.size()));
    if (!S.SaveToFile(Cmd.Output)) {
      Err << "glowdb: " << Cmd.Output << ": cannot write record \"" << Key << "\"\n";
      return 1;
    }
    return 0;
  }
  Out.write(reinterpret_cast<const char*>(Data.data()), static_cast<std::streamsize>(Data.size()));
  return Out.good() ? 0 : (Err << "glowdb: cannot write record \"" << Key << "\" to standard output\n", 1);
}

// Days since 1899-12-30, the archive's time stamp; SOURCE_DATE_EPOCH fixes it for
// reproducible builds.
double StampNow() {
  if (const char* Fixed = std::getenv("SOURCE_DATE_EPOCH")) {
    char* End = nullptr;
    const long long Seconds = std::strtoll(Fixed, &End, 10);
    if (!*Fixed || !End || *End || Seconds < 0) throw TUsageError{"SOURCE_DATE_EPOCH must be whole seconds since 1970"};
    return 25569.0 + double(Seconds) / 86400.0;
  }
  const auto Now = std::chrono::system_clock::now().time_since_epoch();
  return 25569.0 + std::chrono::duration<double>(Now).count() / 86400.0;
}

int Pack(TCommandLine& Cmd, std::ostream&, std::ostream& Err) {
  Cmd.TakeOptions(false);
  if (Cmd.Positional().size() < 2) throw TUsageError{"usage: glowdb pack OUT [--key HEX] ENTRY..."};
  const std::string& OutFile = Cmd.Positional()[0];
  std::vector<TPackEntry> Entries;
  for (std::size_t i = 1; i < Cmd.Positional().size(); ++i) {
    TPackEntry E;
    std::string Error;
    if (!ParsePackEntry(Cmd.Positional()[i], E, Error)) throw TUsageError{Error};
    Entries.push_back(std::move(E));
  }
  TGlowDbWriter Writer;
  if (Cmd.HasKey) Writer.SetCipherKey(ParseKey(Cmd.KeyHex));
  const double Stamp = StampNow();
  std::random_device Entropy;
  for (const TPackEntry& E : Entries) {
    std::vector<std::uint8_t> Payload;
    std::string Error;
    if (!BuildEntryPayload(E, Payload, Error)) {
      Err << "glowdb: " << OutFile << ": record \"" << E.Key << "\": " << Error << "\n";
      return 1;
    }
    std::array<std::uint8_t, 8> IV{};
    if (Cmd.HasKey)
      for (auto& B : IV) B = static_cast<std::uint8_t>(Entropy());
    if (!Writer.Add(E.Key, E.Type, Payload, Stamp, IV)) {
      Err << "glowdb: " << OutFile << ": record \"" << E.Key << "\": cannot compress the payload\n";
      return 1;
    }
  }
  TMemoryStream Archive;
  const auto Bytes = Writer.Bytes();
  Archive.WriteBuffer(Bytes.data(), static_cast<std::int64_t>(Bytes.size()));
  if (!Archive.SaveToFile(OutFile)) {
    Err << "glowdb: " << OutFile << ": cannot write the archive\n";
    return 1;
  }
  return 0;
}

}  // namespace

int RunGlowdb(const std::vector<std::string>& Args, std::ostream& Out, std::ostream& Err) {
  if (Args.empty()) {
    Err << "glowdb: no command (try glowdb --help)\n";
    return 2;
  }
  const std::string& Command = Args[0];
  if (Command == "--help" || Command == "-h" || Command == "help") {
    Out << HelpText;
    return 0;
  }
  TCommandLine Cmd(std::vector<std::string>(Args.begin() + 1, Args.end()));
  try {
    if (Command == "list") return List(Cmd, Out, Err);
    if (Command == "verify") return Verify(Cmd, Out, Err);
    if (Command == "extract") return Extract(Cmd, Out, Err);
    if (Command == "pack") return Pack(Cmd, Out, Err);
    Err << "glowdb: unknown command \"" << Command << "\" (try glowdb --help)\n";
    return 2;
  } catch (const TUsageError& E) {
    Err << "glowdb: " << E.What << "\n";
    return 2;
  } catch (const std::exception& E) {
    Err << "glowdb: " << E.what() << "\n";
    return 1;
  }
}

}  // namespace qel
