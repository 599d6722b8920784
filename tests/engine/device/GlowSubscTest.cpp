#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/device/GlowSubsc.h"

namespace qel {
namespace {

// A subscriber that writes down what it hears and answers as told.
class TProbe : public TGlowSubscriber {
 public:
  TProbe(TComponent* Owner, std::string Tag, std::vector<std::string>* Log, bool Answer = true)
      : TGlowSubscriber(Owner), FTag(std::move(Tag)), FLog(Log), FAnswer(Answer) {}
  bool HandleMessage(std::uint32_t Msg) override {
    FLog->push_back(FTag + ":" + std::to_string(Msg));
    return FAnswer;
  }

 private:
  std::string FTag;
  std::vector<std::string>* FLog;
  bool FAnswer;
};

class TOtherPublisher : public TGlowPublisher {
 public:
  using TGlowPublisher::TGlowPublisher;
};

// Accepts only TOtherPublisher, as a device's subscribers accept only devices.
class TPickyProbe : public TGlowSubscriber {
 public:
  using TGlowSubscriber::TGlowSubscriber;
  bool AcceptsPublisher(const TGlowPublisher* P) const override {
    return dynamic_cast<const TOtherPublisher*>(P) != nullptr;
  }
};

std::vector<TGlowSubscriber*> List(const TGlowPublisher& P) {
  std::vector<TGlowSubscriber*> L;
  for (int i = 0; i < P.SubscriberCount(); ++i) L.push_back(P.Subscribers(i));
  return L;
}

TEST(GlowSubsc, MessageCodes) {
  EXPECT_EQ(msgDeviceInitialize, 256u);
  EXPECT_EQ(msgDeviceFinalize, 257u);
  EXPECT_EQ(msgDeviceLost, 258u);
  EXPECT_EQ(msgDeviceRestored, 259u);
  EXPECT_EQ(msgBeginScene, 260u);
  EXPECT_EQ(msgEndScene, 261u);
  EXPECT_EQ(msgFlush, 513u);
}

TEST(GlowSubsc, BroadcastGoesInOrderAndStopsAtTheFirstVeto) {
  TComponent Owner(nullptr);
  auto* P = Create<TGlowPublisher>(&Owner);
  EXPECT_TRUE(P->Broadcast(msgDeviceInitialize));  // nobody to ask

  std::vector<std::string> Log;
  auto* A = Create<TProbe>(&Owner, "a", &Log);
  auto* B = Create<TProbe>(&Owner, "b", &Log, false);
  auto* C = Create<TProbe>(&Owner, "c", &Log);
  for (TGlowSubscriber* S : {static_cast<TGlowSubscriber*>(A), static_cast<TGlowSubscriber*>(B), static_cast<TGlowSubscriber*>(C)})
    S->SetPublisher(P);
  EXPECT_FALSE(P->Broadcast(msgDeviceInitialize));
  EXPECT_EQ(Log, (std::vector<std::string>{"a:256", "b:256"}));

  Log.clear();
  B->SetPublisher(nullptr);
  EXPECT_TRUE(P->Broadcast(msgEndScene));
  EXPECT_EQ(Log, (std::vector<std::string>{"a:261", "c:261"}));
}

TEST(GlowSubsc, TheLastAnswerIsTheResult) {
  TComponent Owner(nullptr);
  auto* P = Create<TGlowPublisher>(&Owner);
  std::vector<std::string> Log;
  Create<TProbe>(&Owner, "a", &Log)->SetPublisher(P);
  Create<TProbe>(&Owner, "b", &Log, false)->SetPublisher(P);
  EXPECT_FALSE(P->Broadcast(msgBeginScene));
  Create<TGlowSubscriber>(&Owner)->SetPublisher(P);  // the base answers True to everything
  EXPECT_FALSE(P->Broadcast(msgBeginScene));         // still stopped at b
}

TEST(GlowSubsc, ListKeepsOneEntryPerSubscriberAndItsOrder) {
  TComponent Owner(nullptr);
  auto* P = Create<TGlowPublisher>(&Owner);
  auto* A = Create<TGlowSubscriber>(&Owner);
  auto* B = Create<TGlowSubscriber>(&Owner);
  auto* C = Create<TGlowSubscriber>(&Owner);
  A->SetPublisher(P);
  B->SetPublisher(P);
  C->SetPublisher(P);
  P->Subscribe(A);
  A->SetPublisher(P);  // same publisher again: keeps its first place
  EXPECT_EQ(List(*P), (std::vector<TGlowSubscriber*>{A, B, C}));
  EXPECT_EQ(P->IndexOf(C), 2);

  auto* Stranger = Create<TGlowSubscriber>(&Owner);
  EXPECT_EQ(P->IndexOf(Stranger), -1);
  P->Unsubscribe(Stranger);
  EXPECT_EQ(List(*P), (std::vector<TGlowSubscriber*>{A, B, C}));

  P->Unsubscribe(A);
  EXPECT_EQ(List(*P), (std::vector<TGlowSubscriber*>{B, C}));
}

TEST(GlowSubsc, ASecondPublisherTakesTheSubscriberOver) {
  TComponent Owner(nullptr);
  auto* P1 = Create<TGlowPublisher>(&Owner);
  auto* P2 = Create<TGlowPublisher>(&Owner);
  auto* A = Create<TGlowSubscriber>(&Owner);
  auto* B = Create<TGlowSubscriber>(&Owner);
  B->SetPublisher(P2);
  A->SetPublisher(P1);
  A->SetPublisher(P2);
  EXPECT_EQ(P1->SubscriberCount(), 0);
  EXPECT_EQ(List(*P2), (std::vector<TGlowSubscriber*>{B, A}));
  EXPECT_EQ(A->Publisher(), P2);
}

TEST(GlowSubsc, DestroyingThePublisherDetachesEverySubscriberSilently) {
  TComponent Owner(nullptr);
  std::vector<std::string> Log;
  auto* P = Create<TGlowPublisher>(&Owner);
  auto* A = Create<TProbe>(&Owner, "a", &Log);
  auto* B = Create<TProbe>(&Owner, "b", &Log);
  A->SetPublisher(P);
  B->SetPublisher(P);
  delete P;
  EXPECT_EQ(A->Publisher(), nullptr);
  EXPECT_EQ(B->Publisher(), nullptr);
  EXPECT_TRUE(Log.empty());
}

TEST(GlowSubsc, DestroyingASubscriberTakesItOffTheList) {
  TComponent Owner(nullptr);
  auto* P = Create<TGlowPublisher>(&Owner);
  auto* A = Create<TGlowSubscriber>(&Owner);
  auto* B = Create<TGlowSubscriber>(&Owner);
  A->SetPublisher(P);
  B->SetPublisher(P);
  delete A;
  EXPECT_EQ(List(*P), (std::vector<TGlowSubscriber*>{B}));
  EXPECT_TRUE(P->Broadcast(msgEndScene));
}

TEST(GlowSubsc, OwnerTearsDownInAnyOrderWithoutDanglingReferences) {
  // Publisher first, subscribers created after it: the owner frees the subscribers first.
  {
    TComponent Owner(nullptr);
    auto* P = Create<TGlowPublisher>(&Owner);
    Create<TGlowSubscriber>(&Owner)->SetPublisher(P);
  }
  // Subscribers first: the publisher is freed first and leaves them detached.
  {
    TComponent Owner(nullptr);
    auto* A = Create<TGlowSubscriber>(&Owner);
    Create<TGlowPublisher>(&Owner);
    EXPECT_NE(A->Publisher(), nullptr);
  }
}

TEST(GlowSubsc, AtRunTimeALaterSubscriberWaitsForItsPublisherToBeAssigned) {
  TComponent Owner(nullptr);
  auto* P = Create<TGlowPublisher>(&Owner);
  auto* A = Create<TGlowSubscriber>(&Owner);
  EXPECT_EQ(A->Publisher(), nullptr);
  EXPECT_EQ(P->SubscriberCount(), 0);
}

TEST(GlowSubsc, ALaterPublisherCollectsTheDetachedSubscribersOfItsOwner) {
  TComponent Owner(nullptr);
  TComponent Elsewhere(nullptr);
  auto* A = Create<TGlowSubscriber>(&Owner);
  auto* B = Create<TGlowSubscriber>(&Owner);
  auto* Earlier = Create<TGlowPublisher>(&Elsewhere);
  auto* Foreign = Create<TGlowSubscriber>(&Elsewhere);
  B->SetPublisher(Earlier);
  auto* P = Create<TGlowPublisher>(&Owner);
  EXPECT_EQ(A->Publisher(), P);
  EXPECT_EQ(B->Publisher(), Earlier);  // already attached: stays
  EXPECT_EQ(Foreign->Publisher(), nullptr);
  EXPECT_EQ(List(*P), (std::vector<TGlowSubscriber*>{A}));
}

TEST(GlowSubsc, OnlyAcceptedPublishersAttachAutomatically) {
  TComponent Owner(nullptr);
  auto* Picky = Create<TPickyProbe>(&Owner);
  auto* Plain = Create<TGlowPublisher>(&Owner);
  EXPECT_EQ(Picky->Publisher(), nullptr);
  auto* Other = Create<TOtherPublisher>(&Owner);
  EXPECT_EQ(Picky->Publisher(), Other);
  // Writing the property makes no such test.
  Picky->SetPublisher(Plain);
  EXPECT_EQ(Picky->Publisher(), Plain);
}

TEST(GlowSubsc, InTheDesignerANewSubscriberAttachesToTheFirstFittingPublisher) {
  TComponent Form(nullptr);
  Form.SetDesigning(true);
  Create<TGlowPublisher>(&Form);
  auto* Wanted = Create<TOtherPublisher>(&Form);
  Create<TOtherPublisher>(&Form);
  auto* Picky = Create<TPickyProbe>(&Form);
  EXPECT_EQ(Picky->Publisher(), Wanted);
  auto* Any = Create<TGlowSubscriber>(&Form);
  EXPECT_EQ(Any->Publisher(), Form.Components(0));
}

TEST(GlowSubsc, APublisherTakenOutOfTheOwnerForgetsItsSubscriberToo) {
  TComponent Owner(nullptr);
  std::vector<std::string> Log;
  auto* P = Create<TGlowPublisher>(&Owner);
  auto* A = Create<TProbe>(&Owner, "a", &Log);
  A->SetPublisher(P);
  Owner.RemoveComponent(P);  // P lives on, owned by nobody
  EXPECT_EQ(A->Publisher(), nullptr);
  delete A;
  EXPECT_TRUE(P->Broadcast(msgBeginScene));  // no stale entry left to call
  EXPECT_TRUE(Log.empty());
  delete P;
}

}  // namespace
}  // namespace qel
