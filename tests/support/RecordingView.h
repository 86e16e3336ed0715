// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A LinkView double that records every call. Calls may come from the link
// controller or driver thread while the test thread reads, hence the lock.

#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "link/LinkState.h"
#include "link/LinkView.h"

namespace quillon {

class RecordingView : public LinkView {
 public:
  std::string FetchUpperText(int max_bytes) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++fetches;
    fetch_limit = max_bytes;
    return upper_text.substr(0, static_cast<std::size_t>(max_bytes < 0 ? 0 : max_bytes));
  }
  void SetLowerText(const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    lower_text = text;
    lower_sets.push_back(text);
  }
  void InsertLowerChar(unsigned char character) override {
    std::lock_guard<std::mutex> lock(mutex_);
    lower_text.push_back(static_cast<char>(character));
    typed.push_back(static_cast<char>(character));
  }
  void SetStatusText(const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    statuses.push_back(text);
  }
  void FocusArchiveButton() override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++focus_requests;
  }
  void ShowSignalReport(const SignalReport& report) override {
    std::lock_guard<std::mutex> lock(mutex_);
    reports.push_back(report);
  }
  void Iconki() override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++icon_updates;
    if (watched_ != nullptr)
      icons.push_back({watched_->PRD_R.load(), watched_->PRM_R.load(), watched_->USPESHNO.load()});
  }

  // From now on each Iconki also records the three indicators it would show.
  void WatchIndicators(const LinkState& link) {
    std::lock_guard<std::mutex> lock(mutex_);
    watched_ = &link;
  }
  struct Indicators {
    int prd_r, prm_r, uspeshno;
    bool operator==(const Indicators& other) const {
      return prd_r == other.prd_r && prm_r == other.prm_r && uspeshno == other.uspeshno;
    }
    friend std::ostream& operator<<(std::ostream& out, const Indicators& shown) {
      return out << "PRD_R " << shown.prd_r << ", PRM_R " << shown.prm_r << ", USPESHNO " << shown.uspeshno;
    }
  };
  std::vector<Indicators> Icons() {
    std::lock_guard<std::mutex> lock(mutex_);
    return icons;
  }

  // Safe while a station thread runs.
  void SetUpper(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    upper_text = text;
  }
  std::string Lower() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lower_text;
  }
  std::vector<std::string> Statuses() {
    std::lock_guard<std::mutex> lock(mutex_);
    return statuses;
  }
  std::string LastStatus() {
    std::lock_guard<std::mutex> lock(mutex_);
    return statuses.empty() ? std::string() : statuses.back();
  }
  bool StatusShown(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::string& shown : statuses)
      if (shown == text) return true;
    return false;
  }

  // Read these directly only while no station thread runs.
  std::string upper_text;
  std::string lower_text;
  std::vector<std::string> lower_sets;
  std::string typed;
  std::vector<std::string> statuses;
  std::vector<SignalReport> reports;
  int fetches = 0;
  int fetch_limit = 0;
  int focus_requests = 0;
  int icon_updates = 0;
  std::vector<Indicators> icons;

 private:
  std::mutex mutex_;
  const LinkState* watched_ = nullptr;
};

}  // namespace quillon
