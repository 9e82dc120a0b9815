#include <gtest/gtest.h>

#include "app/core/close_request.h"
#include "app/core/request_reconciler.h"
#include "fake_tables.h"
#include "fake_window.h"

namespace korvel {
namespace {

using test::FakeTables;
using test::FakeWindow;

RequestRecord Req(const std::string& name, int32_t mesto = 1, int32_t n_obj = 7) {
  return {n_obj, "rtsp://cam/" + name, name, "object " + name, mesto};
}

class ReconcileTest : public ::testing::Test {
 protected:
  void Run() { reconciler_.Reconcile(place_); }

  Mutex lock_;
  FakeTables tables_;
  FakeWindow window_{FakeWindow::Mode::kDirect};
  RequestReconciler reconciler_{lock_, tables_, window_};
  int32_t place_ = 1;
};

TEST_F(ReconcileTest, OpensRecordsAddressedHereOrToPlaceZero) {
  tables_.requests = {Req("a", 1), Req("b", 0), Req("c", 3), Req("", 1)};
  Run();
  EXPECT_EQ(window_.Events(), (std::vector<std::string>{"open a", "open b"}));
  Run();  // shown already: nothing more
  EXPECT_EQ(window_.Events().size(), 2u);
  place_ = 3;
  Run();  // at place 3, "a" is not addressed here any more and "c" is
  EXPECT_TRUE(window_.Shows("c"));
  EXPECT_FALSE(window_.Shows("a"));
  EXPECT_TRUE(window_.Shows("b"));
}

TEST_F(ReconcileTest, EqualRecordsOpenOneTileThatStaysWhileEitherExists) {
  tables_.requests = {Req("a"), Req("a")};
  Run();
  EXPECT_EQ(window_.Occupied(), 1);
  tables_.requests.pop_back();
  Run();
  EXPECT_EQ(window_.Occupied(), 1);
}

TEST_F(ReconcileTest, MatchIsExactOnNumberUrlAndName) {
  tables_.requests = {Req("a")};
  Run();
  RequestRecord changed = Req("a");
  changed.url = "RTSP://cam/a";  // case matters
  tables_.requests = {changed};
  Run();
  // The changed record opens in a new tile, then the old tile closes.
  EXPECT_EQ(window_.Events(), (std::vector<std::string>{"open a", "open a", "close a"}));
  EXPECT_EQ(window_.Wall()[0].url, "RTSP://cam/a");
}

TEST_F(ReconcileTest, EmptyTableClosesEveryTileAndNeighboursCloseInOnePass) {
  for (const char* n : {"a", "b", "c", "d", "e"}) tables_.requests.push_back(Req(n));
  Run();
  ASSERT_EQ(window_.Occupied(), 5);
  // Records of positions 2 and 3 go: both close in one pass.
  tables_.requests = {Req("a"), Req("b"), Req("e")};
  Run();
  EXPECT_EQ(window_.Occupied(), 3);
  EXPECT_FALSE(window_.Shows("c"));
  EXPECT_FALSE(window_.Shows("d"));
  tables_.requests.clear();
  Run();
  EXPECT_EQ(window_.Occupied(), 0);
}

TEST_F(ReconcileTest, SeventeenthOpensAfterATileIsFreed) {
  for (int i = 0; i < 17; ++i) tables_.requests.push_back(Req("cam" + std::to_string(i)));
  Run();
  EXPECT_EQ(window_.Occupied(), 16);
  EXPECT_FALSE(window_.Shows("cam16"));
  Run();  // still full: offered again, nothing changes
  EXPECT_FALSE(window_.Shows("cam16"));
  tables_.requests.erase(tables_.requests.begin() + 3);
  Run();  // closes cam3 (close phase) ...
  EXPECT_FALSE(window_.Shows("cam3"));
  Run();  // ... and the next pass opens the seventeenth
  EXPECT_TRUE(window_.Shows("cam16"));
  EXPECT_EQ(window_.Occupied(), 16);
}

TEST_F(ReconcileTest, RecordMovedToAnotherPlaceClosesItsTile) {
  tables_.requests = {Req("a", 1)};
  Run();
  tables_.requests[0].mesto = 2;
  Run();
  EXPECT_EQ(window_.Occupied(), 0);
}

TEST_F(ReconcileTest, AbsentTableLeavesTheWallAlone) {
  tables_.requests = {Req("a")};
  Run();
  tables_.requests_present = false;
  tables_.requests.clear();
  Run();
  EXPECT_EQ(window_.Occupied(), 1);
}

TEST_F(ReconcileTest, CloseRequestDeletesTheFirstMatchAddressedHere) {
  tables_.requests = {Req("a", 2), Req("b", 1), Req("a", 0), Req("a", 1)};
  const auto close = [&](const std::string& name, const std::string& url, int32_t n_obj) {
    reconciler_.HandleCloseRequest(BuildCloseRequest({name, url, n_obj}), place_);
  };
  close("a", "rtsp://cam/a", 7);
  EXPECT_EQ(tables_.deleted, std::vector<int>{3});  // record 1 is for place 2
  close("a", "RTSP://cam/a", 7);                    // URL differs in case
  close("a", "rtsp://cam/a", 8);                    // other object
  EXPECT_EQ(tables_.deleted, std::vector<int>{3});
  // Code 187 alone, a message cut short: nothing.
  reconciler_.HandleCloseRequest(std::string("\xBB\x00\x05", 3), place_);
  EXPECT_EQ(tables_.deleted.size(), 1u);
}

TEST_F(ReconcileTest, CloseRequestMatchesNamesCutTo255Bytes) {
  RequestRecord longer = Req("x");
  longer.name = std::string(300, 'N');
  tables_.requests = {longer};
  const std::string message = BuildCloseRequest({longer.name, longer.url, longer.n_obj});
  CloseRequest parsed;
  ASSERT_TRUE(ParseCloseRequest(message, &parsed));
  EXPECT_EQ(parsed.name.size(), 255u);
  reconciler_.HandleCloseRequest(message, place_);
  EXPECT_EQ(tables_.deleted, std::vector<int>{1});
  // A 254-byte prefix is not a cut text: no match.
  EXPECT_FALSE(CloseRequestTextMatches(std::string(254, 'N'), longer.name));
}

}  // namespace
}  // namespace korvel
