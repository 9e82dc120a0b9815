// A main window for headless tests: 16 tiles behind a tile order table, and
// a "main thread" of its own that runs the hand-offs of the worker threads
// (or, in direct mode, runs them at once on the caller's thread).
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/core/main_window_port.h"

namespace korvel::test {

class FakeWindow : public MainWindowPort {
 public:
  enum class Mode { kOwnMainThread, kDirect };

  explicit FakeWindow(Mode mode = Mode::kOwnMainThread) : mode_(mode) {
    for (int i = 0; i < kWallTileCount; ++i) order_[i] = i;
    if (mode_ == Mode::kOwnMainThread) {
      thread_ = std::thread([this] { Serve(); });
    }
  }
  ~FakeWindow() override {
    {
      std::lock_guard<std::mutex> lock(mu_);
      stop_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  void RunOnMainThread(std::function<void()> work) override {
    if (mode_ == Mode::kDirect || std::this_thread::get_id() == thread_.get_id()) {
      work();
      return;
    }
    bool done = false;
    std::unique_lock<std::mutex> lock(mu_);
    tasks_.push_back([&] {
      work();
      std::lock_guard<std::mutex> inner(done_mu_);
      done = true;
    });
    cv_.notify_all();
    lock.unlock();
    std::unique_lock<std::mutex> wait(done_mu_);
    done_cv_.wait(wait, [&] { return done; });
  }

  void OpenCamera(const std::string& name, const std::string& url, int32_t n_obj,
                  const std::string& nameobj) override {
    CheckMainThread();
    std::lock_guard<std::mutex> lock(state_mu_);
    for (int p = 0; p < kWallTileCount; ++p) {
      TileRequest& t = tiles_[order_[p]];
      if (!t.occupied()) {
        t = {n_obj, name, url, nameobj};
        events_.push_back("open " + name);
        opens_++;
        return;
      }
    }
    events_.push_back("full " + name);  // no free tile: nothing changes
  }

  void CloseTile(int position) override {
    CheckMainThread();
    if (position < 0 || position >= kWallTileCount) return;
    std::lock_guard<std::mutex> lock(state_mu_);
    const int tile = order_[position];
    events_.push_back("close " + tiles_[tile].name);
    closes_++;
    tiles_[tile] = TileRequest();
    for (int p = position; p + 1 < kWallTileCount; ++p) order_[p] = order_[p + 1];
    order_[kWallTileCount - 1] = tile;
  }

  WallTiles ReadWallTiles() const override {
    std::lock_guard<std::mutex> lock(state_mu_);
    WallTiles wall;
    for (int p = 0; p < kWallTileCount; ++p) wall[p] = tiles_[order_[p]];
    return wall;
  }

  void RepaintStatus() override {
    CheckMainThread();
    repaints++;
  }
  void ShowArchiveYear(int year) override {
    CheckMainThread();
    year_shown = year;
  }
  void SetLinkUp(bool up) override { link_up = up; }

  // ---- for the tests (any thread) ----
  WallTiles Wall() const { return ReadWallTiles(); }
  int Occupied() const {
    int n = 0;
    for (const auto& t : Wall()) n += t.occupied() ? 1 : 0;
    return n;
  }
  bool Shows(const std::string& name) const {
    for (const auto& t : Wall()) {
      if (t.occupied() && t.name == name) return true;
    }
    return false;
  }
  std::vector<std::string> Events() const {
    std::lock_guard<std::mutex> lock(state_mu_);
    return events_;
  }
  // Polls `pred` every 10 ms for up to timeout_ms.
  static bool WaitFor(const std::function<bool()>& pred, int timeout_ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!pred()) {
      if (std::chrono::steady_clock::now() > until) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }

  std::atomic<bool> link_up{false};
  std::atomic<int> repaints{0};
  std::atomic<int> year_shown{0};
  std::atomic<int> opens_{0};   // cameras put into a tile
  std::atomic<int> closes_{0};
  // Set when a main-thread operation ran on another thread.
  std::atomic<bool> wrong_thread{false};

 private:
  void CheckMainThread() {
    if (mode_ == Mode::kOwnMainThread && std::this_thread::get_id() != thread_.get_id()) {
      wrong_thread = true;
    }
  }
  void Serve() {
    std::unique_lock<std::mutex> lock(mu_);
    while (true) {
      cv_.wait(lock, [&] { return stop_ || !tasks_.empty(); });
      if (tasks_.empty() && stop_) return;
      auto task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task();
      done_cv_.notify_all();
      lock.lock();
    }
  }

  const Mode mode_;
  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> tasks_;
  bool stop_ = false;
  std::mutex done_mu_;
  std::condition_variable done_cv_;
  std::thread thread_;

  mutable std::mutex state_mu_;
  std::array<TileRequest, kWallTileCount> tiles_;
  std::array<int, kWallTileCount> order_;
  std::vector<std::string> events_;
};

}  // namespace korvel::test
