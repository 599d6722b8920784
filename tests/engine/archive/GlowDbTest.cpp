#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/archive/GlowDb.h"
#include "engine/archive/GlowDbWriter.h"
#include "framework/LittleEndian.h"
#include "framework/Streams.h"

namespace qel {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& Text) { return {Text.begin(), Text.end()}; }

// An archive of three records: "bg" (image), "Font.font" (font), "other" (type 7).
std::vector<std::uint8_t> SampleArchive() {
  TGlowDbWriter W;
  EXPECT_TRUE(W.Add("bg", recImage, Bytes(std::string(2000, 'b')), 45000.5));
  EXPECT_TRUE(W.Add("Font.font", recFont, Bytes("glyphs and more glyphs"), 45000.5));
  EXPECT_TRUE(W.Add("other", 7, Bytes("x"), 0.0));
  return W.Bytes();
}

TMemoryStream* StreamOf(const std::vector<std::uint8_t>& Data) {
  auto* S = new TMemoryStream;
  S->WriteBuffer(Data.data(), static_cast<std::int64_t>(Data.size()));
  S->SetPosition(0);
  return S;
}

// A read-only archive component over Data.
struct TArchive {
  explicit TArchive(const std::vector<std::uint8_t>& Data) : Db(Create<TGlowDb>(&Owner)) {
    Db->SetOpenMode(opReadOnly);
    Db->OpenStream(StreamOf(Data));
  }
  TComponent Owner{nullptr};
  TGlowDb* Db;
};

struct TTempFile {
  TTempFile() {
    static int Counter = 0;
    Path = (std::filesystem::temp_directory_path() /
            ("glowdb-test-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + "-" + std::to_string(++Counter)))
               .string();
    std::filesystem::remove(Path);
  }
  ~TTempFile() {
    std::error_code E;
    std::filesystem::remove(Path, E);
  }
  std::string Path;
};

TEST(GlowDb, ReadsTableAndRecordsFromAnAttachedStream) {
  TArchive A(SampleArchive());
  EXPECT_EQ(A.Db->RecordCount(), 0) << "nothing is read before EnsureOpen";
  ASSERT_TRUE(A.Db->EnsureOpen());
  EXPECT_TRUE(A.Db->Opened());
  ASSERT_EQ(A.Db->RecordCount(), 3);
  EXPECT_EQ(A.Db->RecordKey(0), "bg");
  EXPECT_EQ(A.Db->RecordKey(1), "Font.font");
  EXPECT_EQ(A.Db->RecordType(0), recImage);
  EXPECT_EQ(A.Db->RecordType(1), recFont);
  EXPECT_EQ(A.Db->RecordType(2), 7);
  EXPECT_EQ(A.Db->RecordKey(-1), "[invalid-record-#]");
  EXPECT_EQ(A.Db->RecordKey(3), "[invalid-record-#]");
  EXPECT_EQ(A.Db->RecordType(3), 0);
  EXPECT_EQ(A.Db->RecordInfo(0)->Offset, 12u);
  EXPECT_EQ(A.Db->RecordInfo(0)->OrigSize, 2000u);
  EXPECT_EQ(A.Db->RecordInfo(0)->Stamp, 45000.5);
  EXPECT_EQ(A.Db->ArchiveSize(), A.Db->Stream()->Size());

  std::vector<std::uint8_t> Data;
  ASSERT_TRUE(A.Db->ReadRecord("Font.font", Data));
  EXPECT_EQ(Data, Bytes("glyphs and more glyphs"));
  ASSERT_TRUE(A.Db->ReadRecord("bg", Data));
  EXPECT_EQ(Data.size(), 2000u);
  EXPECT_FALSE(A.Db->ReadRecord("missing", Data));
  EXPECT_TRUE(Data.empty());
}

TEST(GlowDb, KeysFoldOnlyAsciiLettersAndTheFirstMatchWins) {
  TGlowDbWriter W;
  ASSERT_TRUE(W.Add("bg", recImage, Bytes("first"), 0));
  ASSERT_TRUE(W.Add("BG", recImage, Bytes("second"), 0));
  ASSERT_TRUE(W.Add("\xC4pfel", recImage, Bytes("upper"), 0));
  ASSERT_TRUE(W.Add("\xE4pfel", recImage, Bytes("lower"), 0));
  TArchive A(W.Bytes());
  ASSERT_TRUE(A.Db->EnsureOpen());
  EXPECT_EQ(A.Db->RecordIndex("BG"), 0);
  EXPECT_EQ(A.Db->RecordIndex("Bg"), 0);
  EXPECT_EQ(A.Db->RecordIndex("\xE4PFEL"), 3) << "non-ASCII letters are compared exactly";
  EXPECT_EQ(A.Db->RecordIndex("\xC4PFEL"), 2);
  EXPECT_EQ(A.Db->RecordIndex("bg "), -1);
  EXPECT_EQ(A.Db->RecordIndex(""), -1);
  std::vector<std::uint8_t> Data;
  ASSERT_TRUE(A.Db->ReadRecord("bG", Data));
  EXPECT_EQ(Data, Bytes("first"));
  // By index, the second of two equal keys can be read too.
  ASSERT_TRUE(A.Db->ReadRecordAt(1, Data));
  EXPECT_EQ(Data, Bytes("second"));
  EXPECT_FALSE(A.Db->ReadRecordAt(4, Data));
  EXPECT_FALSE(A.Db->ReadRecordAt(-1, Data));
  EXPECT_TRUE(Data.empty());
}

TEST(GlowDb, AnyFourSignatureBytesAreAcceptedAndAnEmptyArchiveOpens) {
  auto Data = SampleArchive();
  Data[0] = 'X';
  Data[3] = 0;
  TArchive A(Data);
  EXPECT_TRUE(A.Db->EnsureOpen());
  EXPECT_EQ(A.Db->RecordCount(), 3);

  TArchive Empty(TGlowDbWriter().Bytes());
  ASSERT_TRUE(Empty.Db->EnsureOpen());
  EXPECT_EQ(Empty.Db->RecordCount(), 0);
  EXPECT_EQ(Empty.Db->ArchiveSize(), 12);
  EXPECT_EQ(Empty.Db->RecordKey(0), "[invalid-record-#]");
  EXPECT_EQ(Empty.Db->RecordType(0), 0);
}

TEST(GlowDb, ReadStreamWritesThePayloadAtThePositionOrNothing) {
  TArchive A(SampleArchive());
  TMemoryStream Out;
  Out.WriteBuffer("head:", 5);
  ASSERT_TRUE(A.Db->ReadStream("font.FONT", Out));
  EXPECT_EQ(Out.Bytes(), Bytes("head:glyphs and more glyphs"));
  EXPECT_FALSE(A.Db->ReadStream("nothing", Out));
  EXPECT_EQ(Out.Size(), 27);
  const char Target[4] = {};
  TResourceStream ReadOnly(Target, 4);
  EXPECT_FALSE(A.Db->ReadStream("bg", ReadOnly)) << "a payload that cannot be written is a failure";
}

TEST(GlowDb, EveryReadSeesTheStreamAsItIsNow) {
  TArchive A(SampleArchive());
  ASSERT_TRUE(A.Db->EnsureOpen());
  TGlowDbWriter W;
  ASSERT_TRUE(W.Add("tex", recImage, Bytes("new"), 0));
  const auto Replacement = W.Bytes();
  auto* S = static_cast<TMemoryStream*>(A.Db->Stream());
  S->Clear();
  S->WriteBuffer(Replacement.data(), static_cast<std::int64_t>(Replacement.size()));
  std::vector<std::uint8_t> Data;
  ASSERT_TRUE(A.Db->ReadRecord("tex", Data));
  EXPECT_EQ(Data, Bytes("new"));
  EXPECT_EQ(A.Db->RecordCount(), 1) << "reading a record re-reads the table";
  EXPECT_TRUE(A.Db->Opened());
}

class TWatchedStream : public TMemoryStream {
 public:
  explicit TWatchedStream(bool& Freed) : FFreed(Freed) {}
  ~TWatchedStream() override { FFreed = true; }

 private:
  bool& FFreed;
};

TEST(GlowDb, OwnsBufferDecidesWhoFreesTheStream) {
  bool Freed = false;
  {
    TComponent Owner(nullptr);
    Create<TGlowDb>(&Owner)->OpenStream(new TWatchedStream(Freed));
  }
  EXPECT_TRUE(Freed);

  Freed = false;
  TWatchedStream Kept(Freed);
  {
    TComponent Owner(nullptr);
    TGlowDb* Db = Create<TGlowDb>(&Owner);
    Db->SetOwnsBuffer(false);
    Db->OpenStream(&Kept);
  }
  EXPECT_FALSE(Freed);

  bool FirstFreed = false;
  TComponent Owner(nullptr);
  TGlowDb* Db = Create<TGlowDb>(&Owner);
  Db->OpenStream(new TWatchedStream(FirstFreed));
  Db->OpenStream(StreamOf(SampleArchive()));
  EXPECT_TRUE(FirstFreed) << "a replaced stream that the archive owns is not leaked";
}

TEST(GlowDb, OpenModesOnFiles) {
  TTempFile F;
  TComponent Owner(nullptr);
  TGlowDb* Db = Create<TGlowDb>(&Owner);
  Db->SetFileName("  " + F.Path + "\t\n");
  EXPECT_EQ(Db->FileName(), F.Path);

  // opUpdate without a file creates an empty archive.
  ASSERT_TRUE(Db->EnsureOpen());
  EXPECT_EQ(std::filesystem::file_size(F.Path), 12u);
  EXPECT_EQ(Db->RecordCount(), 0);
  EXPECT_EQ(Db->ArchiveSize(), 12);

  // opUpdate with an existing file reads it.
  TMemoryStream Sample;
  const auto Data = SampleArchive();
  Sample.WriteBuffer(Data.data(), static_cast<std::int64_t>(Data.size()));
  ASSERT_TRUE(Sample.SaveToFile(F.Path));
  Db->SetFileName(F.Path);
  EXPECT_FALSE(Db->Opened());
  ASSERT_TRUE(Db->EnsureOpen());
  EXPECT_EQ(Db->RecordCount(), 3);
  std::vector<std::uint8_t> Payload;
  ASSERT_TRUE(Db->ReadRecord("other", Payload));
  EXPECT_EQ(Payload, Bytes("x"));

  // opOverwrite truncates.
  Db->SetOpenMode(opOverwrite);
  ASSERT_TRUE(Db->Open());
  EXPECT_EQ(std::filesystem::file_size(F.Path), 12u);
  EXPECT_EQ(Db->RecordCount(), 0);

  // opReadOnly never creates; a failed open leaves the archive closed.
  TTempFile Missing;
  Db->SetOpenMode(opReadOnly);
  Db->SetFileName(Missing.Path);
  EXPECT_FALSE(Db->EnsureOpen());
  EXPECT_FALSE(Db->Opened());
  EXPECT_FALSE(std::filesystem::exists(Missing.Path));
  EXPECT_FALSE(Db->ReadRecord("other", Payload));
}

TEST(GlowDb, CreateEmptyWritesAtTheAttachedStreamsPosition) {
  TComponent Owner(nullptr);
  TGlowDb* Db = Create<TGlowDb>(&Owner);
  auto* S = new TMemoryStream;
  S->WriteBuffer("ab", 2);
  Db->OpenStream(S);
  ASSERT_TRUE(Db->CreateEmpty());
  ASSERT_EQ(S->Size(), 14);
  EXPECT_EQ(std::string(S->Bytes().begin() + 2, S->Bytes().begin() + 6), "GLDb");
  EXPECT_EQ(le::Load32(S->Memory() + 10), 12u);

  // A read-only resource cannot take the header.
  const std::uint8_t Fixed[20] = {};
  Db->OpenStream(new TResourceStream(Fixed, sizeof(Fixed)));
  Db->SetOpenMode(opOverwrite);
  EXPECT_FALSE(Db->Open());
}

TEST(GlowDb, TheCipherKeyOpensEncipheredRecords) {
  const std::vector<std::uint8_t> Key = Bytes("artwork key");
  TGlowDbWriter W;
  ASSERT_TRUE(W.SetCipherKey(Key));
  ASSERT_TRUE(W.Add("secret", recImage, Bytes(std::string(100, 's')), 0, {9, 8, 7, 6, 5, 4, 3, 2}));
  TArchive A(W.Bytes());
  ASSERT_TRUE(A.Db->EnsureOpen());
  EXPECT_TRUE(A.Db->RecordInfo(0)->Encrypted);
  EXPECT_EQ(A.Db->CipherKeyLength(), 0u);
  std::vector<std::uint8_t> Data;
  EXPECT_FALSE(A.Db->ReadRecord("secret", Data)) << "no key: the stored bytes do not inflate";
  ASSERT_TRUE(A.Db->SetCipherKey(Key.data(), Key.size()));
  ASSERT_TRUE(A.Db->ReadRecord("secret", Data));
  EXPECT_EQ(Data.size(), 100u);

  const std::vector<std::uint8_t> TooLong(57, 1);
  EXPECT_FALSE(A.Db->SetCipherKey(TooLong.data(), TooLong.size()));
  EXPECT_EQ(A.Db->CipherKeyLength(), Key.size()) << "a refused key leaves the old one";
  EXPECT_FALSE(W.SetCipherKey(TooLong));
  ASSERT_TRUE(A.Db->SetCipherKey(nullptr, 0));
  EXPECT_EQ(A.Db->CipherKey()[0], 0);
}

}  // namespace
}  // namespace qel
