#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "framework/Streams.h"

namespace qel {
namespace {

TEST(MemoryStream, WritesReadsSeeksAndGrows) {
  TMemoryStream S;
  EXPECT_TRUE(S.WriteBuffer("hello", 5));
  EXPECT_EQ(S.Size(), 5);
  EXPECT_EQ(S.Seek(-2, TSeekOrigin::soEnd), 3);
  char Two[3] = {};
  EXPECT_TRUE(S.ReadBuffer(Two, 2));
  EXPECT_STREQ(Two, "lo");
  EXPECT_FALSE(S.ReadBuffer(Two, 1)) << "reading past the end is a short read";
  EXPECT_EQ(S.Seek(-1, TSeekOrigin::soBeginning), -1) << "no position before the start";
  EXPECT_EQ(S.Position(), 5);
  S.SetPosition(7);
  S.WriteBuffer("!", 1);
  EXPECT_EQ(S.Size(), 8);
  EXPECT_EQ(S.Bytes()[5], 0) << "the gap is zero-filled";
}

TEST(ResourceStream, IsReadOnlyAndBounded) {
  const char Data[] = "abcdef";
  TResourceStream S(Data, 6);
  EXPECT_EQ(S.Write("x", 1), 0);
  char Buf[8] = {};
  EXPECT_EQ(S.Read(Buf, 8), 6);
  EXPECT_EQ(S.Read(Buf, 8), 0);
  EXPECT_EQ(S.Seek(2, TSeekOrigin::soBeginning), 2);
  EXPECT_EQ(S.Read(Buf, 1), 1);
  EXPECT_EQ(Buf[0], 'c');
}

TEST(FileStream, RoundTripsAndReportsMissingFiles) {
  const std::string Name = ::testing::TempDir() + "qel_stream_test.bin";
  {
    auto F = TFileStream::Open(Name, fmCreate);
    ASSERT_TRUE(F);
    EXPECT_TRUE(F->WriteBuffer("0123456789", 10));
  }
  auto F = TFileStream::Open(Name, fmOpenRead);
  ASSERT_TRUE(F);
  EXPECT_EQ(F->Size(), 10);
  EXPECT_EQ(F->Write("x", 1), 0) << "opened for reading only";
  TMemoryStream M;
  EXPECT_EQ(M.CopyFrom(*F, 0), 10);
  EXPECT_EQ(std::memcmp(M.Memory(), "0123456789", 10), 0);
  F.reset();
  std::remove(Name.c_str());

  std::string Error;
  EXPECT_FALSE(TFileStream::Open(Name, fmOpenRead, &Error));
  EXPECT_NE(Error.find(Name), std::string::npos);
}

}  // namespace
}  // namespace qel
