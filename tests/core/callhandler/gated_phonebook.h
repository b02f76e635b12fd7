// A phone book whose searches wait while it is closed, so that a test holds
// an incoming-call worker inside its look-up as long as it likes.
#pragma once
#include <condition_variable>
#include <mutex>

#include "tests/phonebook/fake/fake_phonebook.h"

class GatedPhoneBook : public FakePhoneBook {
 public:
  explicit GatedPhoneBook(bool open = false) : open_(open) {}
  int FindRecord(std::uint32_t kind, const CDataBaseParam& v, const char* x, std::uint32_t r) override {
    {
      std::unique_lock<std::mutex> lock(mu_);
      ++begun_;
      cv_.notify_all();
      cv_.wait(lock, [this] { return open_; });
    }
    return FakePhoneBook::FindRecord(kind, v, x, r);
  }
  // Waits until n searches have begun in all.
  void WaitForSearch(int n) {
    std::unique_lock<std::mutex> lock(mu_);
    cv_.wait(lock, [&] { return begun_ >= n; });
  }
  int Begun() {
    std::lock_guard<std::mutex> lock(mu_);
    return begun_;
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mu_);
    open_ = true;
    cv_.notify_all();
  }
  void Close() {
    std::lock_guard<std::mutex> lock(mu_);
    open_ = false;
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  int begun_ = 0;
  bool open_;
};
