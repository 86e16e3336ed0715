#pragma once
// A window stand-in for station tests: records what the link controller and
// the driver show, from whichever thread they call.

#include <mutex>
#include <string>
#include <vector>

#include "link/LinkView.h"

namespace quillon {

class RecordingView : public LinkView {
 public:
  void SetUpperText(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    upper_ = text;
  }
  std::string FetchUpperText(int max_bytes) override {
    std::lock_guard<std::mutex> lock(mutex_);
    return upper_.substr(0, static_cast<std::size_t>(max_bytes));
  }
  void SetLowerText(const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    lower_ = text;
  }
  void InsertLowerChar(unsigned char character) override {
    std::lock_guard<std::mutex> lock(mutex_);
    lower_ += static_cast<char>(character);
  }
  void SetStatusText(const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    status_.push_back(text);
  }
  void FocusArchiveButton() override {}
  void Iconki() override {}

  std::string Lower() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lower_;
  }
  std::vector<std::string> Status() {
    std::lock_guard<std::mutex> lock(mutex_);
    return status_;
  }
  bool StatusShown(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::string& shown : status_)
      if (shown == text) return true;
    return false;
  }

 private:
  std::mutex mutex_;
  std::string upper_;
  std::string lower_;
  std::vector<std::string> status_;
};

}  // namespace quillon
