#include <gtest/gtest.h>

#include "SoftDeviceFixture.h"
#include "engine/images/DXTextures.h"

namespace qel {
namespace {

// A texture set of A8R8G8B8 textures without mipmaps unless asked.
class Textures : public TDXMultiTexture {
 public:
  explicit Textures(bool Mips = false) {
    SetFormat(D3DFMT_A8R8G8B8);
    SetMipMapping(Mips);
  }
  int Prepares = 0;
  bool Prepare() override {
    ++Prepares;
    return TDXMultiTexture::Prepare();
  }
};

using DXMultiTexture = SoftDeviceTest;

TEST(DXMultiTextureDefaults, StartsEmptyWithTheDefaults) {
  TDXMultiTexture T;
  EXPECT_EQ(T.Size(), (TPoint{256, 256}));
  EXPECT_TRUE(T.MipMapping());
  EXPECT_EQ(T.Format(), D3DFMT_UNKNOWN);
  EXPECT_EQ(T.TextureCount(), 1);
  EXPECT_EQ(T.State(), tsNone);
  EXPECT_FALSE(T.Volatile());
  EXPECT_EQ(T.GetUsage(), static_cast<DWORD>(D3DUSAGE_AUTOGENMIPMAP));
  T.SetMipMapping(false);
  EXPECT_EQ(T.GetUsage(), 0u);
  T.SetTextureCount(-3);
  EXPECT_EQ(T.TextureCount(), 0);
  TTextureLock Lock;
  EXPECT_FALSE(T.Lock(0, LockWrite, Lock));
  EXPECT_FALSE(T.Unlock(0));
  EXPECT_FALSE(T.SelectTexture(0, 0));
}

TEST_F(DXMultiTexture, CreatesManagedTexturesAndFreezesItsShape) {
  Textures T(true);
  T.SetSize({32, 16});
  T.SetTextureCount(2);
  T.SetState(tsReady);
  ASSERT_EQ(T.State(), tsReady);
  EXPECT_EQ(T.Prepares, 1);
  const auto Creations = soft::CallLog().Named("CreateTexture");
  ASSERT_EQ(Creations.size(), 2u);
  EXPECT_EQ(Creations[0].Arg(0), 32u);
  EXPECT_EQ(Creations[0].Arg(1), 16u);
  EXPECT_EQ(Creations[0].Arg(2), 0u) << "the whole mip chain";
  EXPECT_EQ(Creations[0].Arg(3), static_cast<std::uint64_t>(D3DUSAGE_AUTOGENMIPMAP));
  EXPECT_EQ(Creations[0].Arg(4), static_cast<std::uint64_t>(D3DFMT_A8R8G8B8));
  EXPECT_EQ(Creations[0].Arg(5), static_cast<std::uint64_t>(D3DPOOL_MANAGED));

  T.SetSize({8, 8});
  T.SetMipMapping(false);
  T.SetTextureCount(5);
  EXPECT_EQ(T.Size(), (TPoint{32, 16}));
  EXPECT_TRUE(T.MipMapping());
  EXPECT_EQ(T.TextureCount(), 2);

  T.SetState(tsNone);
  EXPECT_EQ(T.Texture(0), nullptr);
  T.SetTextureCount(5);
  EXPECT_EQ(T.TextureCount(), 5) << "free to change again once released";
}

TEST_F(DXMultiTexture, WithoutMipmapsCreatesOneLevel) {
  Textures T;
  T.SetState(tsReady);
  const auto Creations = soft::CallLog().Named("CreateTexture");
  ASSERT_EQ(Creations.size(), 1u);
  EXPECT_EQ(Creations[0].Arg(2), 1u);
  EXPECT_EQ(Creations[0].Arg(3), 0u);
}

TEST_F(DXMultiTexture, NoTexturesIsAValidSet) {
  Textures T;
  T.SetTextureCount(0);
  T.SetState(tsReady);
  EXPECT_EQ(T.State(), tsReady);
  EXPECT_EQ(soft::CallLog().Count("CreateTexture"), 0);
  TTextureLock Lock;
  EXPECT_FALSE(T.Lock(0, LockWrite, Lock));
}

TEST_F(DXMultiTexture, AFailedCreationReleasesTheOnesBeforeIt) {
  const int Before = soft::LiveObjects();
  Textures T;
  T.SetTextureCount(4);
  soft::FailNext("CreateTexture", 1, D3DERR_OUTOFVIDEOMEMORY, 2);
  T.SetState(tsReady);
  EXPECT_EQ(T.State(), tsNone);
  EXPECT_EQ(soft::CallLog().Count("CreateTexture"), 3);
  EXPECT_EQ(T.Texture(0), nullptr);
  EXPECT_EQ(soft::LiveObjects(), Before) << "the first two were released";
}

TEST_F(DXMultiTexture, LocksWithTheAccessAsked) {
  Textures T;
  T.SetSize({4, 2});
  T.SetState(tsReady);
  TTextureLock Lock;
  for (int Access : {0, 1, 2}) {
    soft::CallLog().Clear();
    ASSERT_TRUE(T.Lock(0, Access, Lock));
    EXPECT_NE(Lock.Bits, nullptr);
    EXPECT_GE(Lock.Pitch, 16);
    EXPECT_EQ(Lock.Format, cfA8R8G8B8);
    EXPECT_TRUE(T.Unlock(0));
    const auto Locks = soft::CallLog().Named("LockRect");
    ASSERT_EQ(Locks.size(), 1u);
    EXPECT_EQ(Locks[0].Arg(0), 0u) << "level 0";
    EXPECT_EQ(Locks[0].Arg(2), 0u) << "the whole texture";
    EXPECT_EQ(Locks[0].Arg(3), Access == 1 ? static_cast<std::uint64_t>(D3DLOCK_READONLY) : 0u);
  }
  const RECT Area{1, 0, 3, 2};
  ASSERT_TRUE(T.LockRect(0, Area, LockWrite, Lock));
  EXPECT_TRUE(T.Unlock(0));
  EXPECT_NE(soft::CallLog().Named("LockRect").back().Arg(2), 0u);

  TTextureLock Untouched;
  Untouched.Pitch = -7;
  EXPECT_FALSE(T.Lock(1, LockWrite, Untouched));
  EXPECT_FALSE(T.Lock(-1, LockWrite, Untouched));
  soft::FailNext("LockRect", 1);
  EXPECT_FALSE(T.Lock(0, LockWrite, Untouched));
  EXPECT_EQ(Untouched.Pitch, -7) << "a refused lock leaves the record alone";
  EXPECT_FALSE(T.Unlock(1));
}

TEST_F(DXMultiTexture, SelectsOnlyExistingTextures) {
  Textures T;
  T.SetTextureCount(2);
  T.SetState(tsReady);
  EXPECT_TRUE(T.SelectTexture(0, 1));
  EXPECT_EQ(soft::CallLog().Count("SetTexture"), 1);
  EXPECT_FALSE(T.SelectTexture(0, 2));
  EXPECT_FALSE(T.SelectTexture(0, -1));
  EXPECT_EQ(soft::CallLog().Count("SetTexture"), 1) << "no call for an index outside the set";
  EXPECT_TRUE(T.SelectTexture(0, 0));
}

TEST_F(DXMultiTexture, ALossKeepsManagedTexturesAndReleasesVolatileOnes) {
  Textures Managed;
  Managed.SetState(tsReady);
  IDirect3DTexture9* Kept = Managed.Texture(0);
  Managed.SetState(tsLost);
  EXPECT_EQ(Managed.State(), tsReady);
  EXPECT_EQ(Managed.Texture(0), Kept);

  Textures Volatile;
  Volatile.SetVolatile(true);
  Volatile.SetState(tsReady);
  Volatile.SetState(tsLost);
  EXPECT_EQ(Volatile.State(), tsLost);
  EXPECT_EQ(Volatile.Texture(0), nullptr);
  soft::FailNext("CreateTexture", 1);
  Volatile.SetState(tsReady);
  EXPECT_EQ(Volatile.State(), tsFailed);
  Volatile.SetState(tsLost);
  EXPECT_EQ(Volatile.State(), tsFailed) << "nothing to lose";
  Volatile.SetState(tsReady);
  EXPECT_EQ(Volatile.State(), tsReady);
  EXPECT_EQ(Volatile.Prepares, 1) << "re-creation does not prepare again";
  Volatile.SetState(tsLost);
  Volatile.SetState(tsNone);
  EXPECT_EQ(Volatile.State(), tsNone);
}

TEST_F(DXMultiTexture, AFailedPrepareCreatesNothing) {
  struct Refusing : Textures {
    bool Prepare() override { return false; }
  } T;
  T.SetState(tsReady);
  EXPECT_EQ(T.State(), tsNone);
  EXPECT_EQ(soft::CallLog().Count("CreateTexture"), 0);
}

TEST_F(DXMultiTexture, DestructionReleasesTheTextures) {
  const int Before = soft::LiveObjects();
  {
    Textures T;
    T.SetTextureCount(3);
    T.SetState(tsReady);
    EXPECT_EQ(soft::LiveObjects(), Before + 3);
  }
  EXPECT_EQ(soft::LiveObjects(), Before);
}

}  // namespace
}  // namespace qel
