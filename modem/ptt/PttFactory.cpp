// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/ptt/PttFactory.h"

#include <functional>

#include "modem/ptt/RigctldPtt.h"
#include "modem/ptt/SerialPtt.h"
#ifdef QUILLON_HAVE_HAMLIB
#include "modem/ptt/HamlibPtt.h"
#endif

namespace quillon {
namespace {

// A backend that is opened on first use; one that fails is dropped and
// opened again on the next call, since a failure of an open port or rig
// usually means it went away (unplugged, switched off).
class ReopeningPtt : public Ptt {
 public:
  using Opener = std::function<std::unique_ptr<Ptt>(std::string& error)>;

  explicit ReopeningPtt(Opener open) : open_(std::move(open)) {}

  bool Key(std::string& error) override {
    return Use(error, [](Ptt& ptt, std::string& e) { return ptt.Key(e); });
  }
  bool Release(std::string& error) override {
    return Use(error, [](Ptt& ptt, std::string& e) { return ptt.Release(e); });
  }
  bool Check(std::string& error) override {
    return Use(error, [](Ptt& ptt, std::string& e) { return ptt.Check(e); });
  }

 private:
  template <class Call>
  bool Use(std::string& error, Call call) {
    if (!open_ptt_) open_ptt_ = open_(error);
    if (!open_ptt_) return false;
    if (call(*open_ptt_, error)) return true;
    open_ptt_.reset();
    return false;
  }

  Opener open_;
  std::unique_ptr<Ptt> open_ptt_;
};

}  // namespace

bool HamlibAvailable() {
#ifdef QUILLON_HAVE_HAMLIB
  return true;
#else
  return false;
#endif
}

std::unique_ptr<Ptt> MakePtt(const PttChoice& choice, std::string& error) {
  switch (choice.kind) {
    case PttChoice::Kind::kNone:
    case PttChoice::Kind::kVox:
      return std::make_unique<NoPtt>();
    case PttChoice::Kind::kRigctld:
      return std::make_unique<RigctldPtt>(choice.host, choice.port);
    case PttChoice::Kind::kRts:
    case PttChoice::Kind::kDtr: {
      const SerialLine line = choice.kind == PttChoice::Kind::kRts ? SerialLine::kRts : SerialLine::kDtr;
      return std::make_unique<ReopeningPtt>([port = choice.device, line](std::string& e) -> std::unique_ptr<Ptt> {
        return SerialPtt::Open(MakeSystemSerialLineDriver(), port, line, e);
      });
    }
    case PttChoice::Kind::kHamlib:
#ifdef QUILLON_HAVE_HAMLIB
      return std::make_unique<ReopeningPtt>([choice](std::string& e) -> std::unique_ptr<Ptt> {
        return HamlibPtt::Open(choice.model, choice.device, choice.speed, e);
      });
#else
#ifdef _WIN32
      error = "this Windows build has no Hamlib library: run rigctld and choose rigctld:HOST:PORT";
#else
      error = "this build has no Hamlib library (libhamlib was not found): choose rigctld:HOST:PORT";
#endif
      return nullptr;
#endif
  }
  error = "unknown PTT kind";
  return nullptr;
}

}  // namespace quillon
