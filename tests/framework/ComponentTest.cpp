#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Component.h"

namespace qel {
namespace {

std::vector<std::string>* Log = nullptr;

class TRecorder : public TComponent {
 public:
  TRecorder(TComponent* Owner, std::string Tag) : TComponent(Owner), FTag(std::move(Tag)) {}
  ~TRecorder() override {
    if (Log) Log->push_back("free " + FTag);
  }
  const std::string& Tag() const { return FTag; }

 protected:
  void Notification(TComponent* Component, TOperation Operation) override {
    auto* R = dynamic_cast<TRecorder*>(Component);
    if (Log) Log->push_back(FTag + (Operation == TOperation::opInsert ? " sees +" : " sees -") + (R ? R->Tag() : std::string("?")));
  }

 private:
  std::string FTag;
};

TEST(Component, OwnerKeepsOrderAndFreesLastToFirst) {
  std::vector<std::string> Events;
  Log = &Events;
  {
    TComponent Owner(nullptr);
    auto* A = Create<TRecorder>(&Owner, "a");
    auto* B = Create<TRecorder>(&Owner, "b");
    A->SetName("A");
    ASSERT_EQ(Owner.ComponentCount(), 2);
    EXPECT_EQ(Owner.Components(0), A);
    EXPECT_EQ(Owner.Components(1), B);
    EXPECT_EQ(Owner.FindComponent("A"), A);
    EXPECT_EQ(B->Owner(), &Owner);
    Events.clear();
  }
  Log = nullptr;
  EXPECT_EQ(Events, (std::vector<std::string>{"free b", "free a"}));
}

TEST(Component, InsertionReachesEveryComponentWithTheFinishedObject) {
  std::vector<std::string> Events;
  Log = &Events;
  TComponent Owner(nullptr);
  Create<TRecorder>(&Owner, "a");
  Create<TRecorder>(&Owner, "b");
  EXPECT_EQ(Events, (std::vector<std::string>{"a sees +a", "a sees +b", "b sees +b"}));
  Log = nullptr;
}

TEST(Component, DestroyingOneNotifiesTheOthers) {
  std::vector<std::string> Events;
  TComponent Owner(nullptr);
  auto* A = Create<TRecorder>(&Owner, "a");
  Create<TRecorder>(&Owner, "b");
  Log = &Events;
  delete A;
  Log = nullptr;
  ASSERT_EQ(Owner.ComponentCount(), 1);
  ASSERT_EQ(Events.size(), 2u);
  EXPECT_EQ(Events[0], "free a");
  EXPECT_EQ(Events[1].substr(0, 8), "b sees -");
}

TEST(Component, DesignStateIsInherited) {
  TComponent Owner(nullptr);
  Owner.SetDesigning(true);
  auto* A = Create<TRecorder>(&Owner, "a");
  EXPECT_TRUE(A->Designing());
}

}  // namespace
}  // namespace qel
