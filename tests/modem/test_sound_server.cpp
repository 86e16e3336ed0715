// SPDX-License-Identifier: GPL-3.0-or-later
// A whole station on a real sound server: PulseAudio with a null sink,
// started by the test in a folder of its own, reached through ALSA's "pulse"
// device by the program's ALSA backend. The station plays a message into the
// sink and hears it back from the sink's monitor (the server converts
// 8000 Hz mono to its own 44.1 kHz stereo and back). Then the server goes
// away under the running station and comes back: the station says so in the
// status bar and works again without being touched.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/Cp1251.h"
#include "link/Frame.h"
#include "modem/Driver.h"
#include "modem/SoundCard.h"
#include "modem/audio/AudioDevices.h"
#include "modem/audio/DeviceByName.h"
#include "tests/support/RecordingView.h"
#include "tests/support/WaitFor.h"

#if defined(__SANITIZE_THREAD__)
// The sound server's client library is not built with the thread sanitizer
// and synchronises its own threads in ways the sanitizer cannot see; what it
// does is left unchecked, everything built here stays checked.
extern "C" const char* __tsan_default_options() { return "ignore_noninstrumented_modules=1"; }
#endif

namespace quillon {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  for (std::size_t start = 0; start <= dirs.size();) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    const fs::path candidate = fs::path(dirs.substr(start, end - start)) / name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
    start = end + 1;
  }
  return {};
}

// PulseAudio with one null sink "quillon_test" and a native socket in a
// private folder, nothing else loaded, as long as the object lives.
class PulseServer {
 public:
  PulseServer(std::string program, fs::path folder) : program_(std::move(program)), folder_(std::move(folder)) {
    fs::create_directories(folder_ / "run");
    fs::create_directories(folder_ / "home");
  }
  ~PulseServer() { Stop(); }

  std::string Socket() const { return (folder_ / "native").string(); }

  // True once the server takes connections (within 10 s). The station's
  // threads may run meanwhile, so everything is made ready before the fork
  // and the child only redirects its output and executes.
  bool Start() {
    const std::string protocol = "module-native-protocol-unix auth-anonymous=1 socket=" + Socket();
    std::vector<std::string> arguments{program_, "-n", "--daemonize=no", "--exit-idle-time=-1", "--disable-shm=yes",
                                       "-L", "module-null-sink sink_name=quillon_test", "-L", protocol};
    std::vector<std::string> environment{"XDG_RUNTIME_DIR=" + (folder_ / "run").string(),
                                         "HOME=" + (folder_ / "home").string()};
    for (char** entry = environ; *entry != nullptr; ++entry)
      if (std::strncmp(*entry, "XDG_RUNTIME_DIR=", 16) != 0 && std::strncmp(*entry, "HOME=", 5) != 0)
        environment.emplace_back(*entry);
    std::vector<char*> argv = Pointers(arguments);
    std::vector<char*> envp = Pointers(environment);
    const int log = open((folder_ / "pulseaudio.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (log < 0) return false;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(log, STDOUT_FILENO);
      dup2(log, STDERR_FILENO);
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    close(log);
    return pid_ > 0 && WaitFor([&] { return Accepts(); }, 10s);
  }

  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    fs::remove(Socket());
  }

 private:
  bool Accepts() const {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, Socket().c_str(), sizeof address.sun_path - 1);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
  }

  static std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
  }

  std::string program_;
  fs::path folder_;
  pid_t pid_ = -1;
};

class SoundServer : public testing::Test {
 protected:
  void SetUp() override {
    const std::string program = FindProgram("pulseaudio");
    if (program.empty()) GTEST_SKIP() << "pulseaudio is not installed (scripts/test installs it)";
    char pattern[] = "/tmp/quillon_pulse_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    server_ = std::make_unique<PulseServer>(program, folder_);
    ASSERT_TRUE(server_->Start()) << "pulseaudio did not start; see " << folder_ / "pulseaudio.log";
    // What ALSA's pulse device connects to: this server, its sink, the sink's monitor.
    setenv("PULSE_SERVER", ("unix:" + server_->Socket()).c_str(), 1);
    setenv("PULSE_SINK", "quillon_test", 1);
    setenv("PULSE_SOURCE", "quillon_test.monitor", 1);
  }

  void TearDown() override {
    if (driver_.joinable()) {
      link_.STOP = 1;
      link_.STOPTIM = 1;
      driver_.join();
    }
    server_.reset();
    if (!folder_.empty()) fs::remove_all(folder_);
  }

  void StartStation(int mode) {
    const std::optional<int> in = FindDevice(devices_, AudioDirection::Capture, "pulse");
    const std::optional<int> out = FindDevice(devices_, AudioDirection::Playback, "pulse");
    ASSERT_TRUE(in && out) << "ALSA lists no \"pulse\" device: libasound2-plugins is missing";
    station_.mode_number = mode;
    station_.InDECSW = *in;
    station_.OutDECSW = *out;
    // Connecting to the server may take longer than Init waits (-1: still
    // starting), under a sanitizer above all; the device must open, though.
    ASSERT_NE(InitWaveIn(station_, devices_, *in), 0);
    ASSERT_NE(InitWaveOut(station_, devices_, *out), 0);
    ASSERT_TRUE(WaitFor([&] { return DevicesOpen(); }, 10s));
    context_ = std::make_unique<DriverContext>(DriverContext{station_, view_, devices_, folder_.string(), {}});
    driver_ = std::thread([this] { Play(*context_); });
    ASSERT_TRUE(WaitFor([&] { return station_.modem.load() != nullptr; }, 10s));
  }

  bool DevicesOpen() const {
    return PlaybackOpen(station_) && station_.buf_sound_in.state.load() == kWaveOpen;
  }

  void SendAndHear(const std::string& text) {
    view_.SetUpper(text);
    ASSERT_TRUE(WaitFor([&] { return link_.PRD_R.load() == 0 && link_.Ura.load() == 0; }, 20s));
    link_.Ura = 1;
    const int check = TextCheckCharacter(text);
    char good[64];
    std::snprintf(good, sizeof good, "CRC %X = %X, ", check, check);
    ASSERT_TRUE(WaitFor([&] { return view_.StatusShown(good + Utf8ToCp1251("проверено")); }, 40s))
        << "last status: " << Cp1251ToUtf8(view_.LastStatus());
    EXPECT_EQ(view_.Lower(), text);
    EXPECT_TRUE(WaitFor([&] { return link_.PRD_R.load() == 0; }, 5s));
  }

  fs::path folder_;
  std::unique_ptr<PulseServer> server_;
  LinkState link_;
  StationState station_{link_};
  RecordingView view_;
  AudioDevices devices_;
  std::unique_ptr<DriverContext> context_;
  std::thread driver_;
};

TEST_F(SoundServer, MessageThroughAlsasPulseDeviceAndBackAfterTheServerReturns) {
  ASSERT_NO_FATAL_FAILURE(StartStation(103));  // OLIVIA_8_2000: a block every 256 ms
  ASSERT_NO_FATAL_FAILURE(SendAndHear("CQ via the sound server"));

  // The server goes away: both directions are lost and said to be.
  server_->Stop();
  const std::string lost = Utf8ToCp1251(
      "Нет звука: вход «pulse» и выход «pulse» недоступны, приём и передача невозможны; повтор каждые 3 с");
  const auto said = [&](const char* utf8) {
    return WaitFor([&] { return view_.StatusShown(Utf8ToCp1251(utf8)); }, 10s);
  };
  const bool both = WaitFor([&] { return view_.StatusShown(lost); }, 10s);
  // The two threads may notice a pass apart, each with its own message.
  EXPECT_TRUE(both || (said("Выход звука «pulse» недоступен: передача невозможна; повтор каждые 3 с") &&
                       said("Вход звука «pulse» недоступен: приём остановлен; повтор каждые 3 с")))
      << "last status: " << Cp1251ToUtf8(view_.LastStatus());

  // Back at the same socket: reopened within the 3 s retry, and it works.
  ASSERT_TRUE(server_->Start());
  EXPECT_TRUE(said("Выход звука «pulse» снова работает") || said("Вход звука «pulse» снова работает"));
  ASSERT_TRUE(WaitFor([&] { return DevicesOpen(); }, 10s));
  SendAndHear(Utf8ToCp1251("Снова в эфире, 73"));
}

}  // namespace
}  // namespace quillon
