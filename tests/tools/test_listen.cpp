// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's listening station: a message played into the loopback
// device is heard in all modes at once and arrives at another program as one
// UDP datagram carrying decode --json's fields and the time.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "engine/ModeTable.h"
#include "modem/audio/LoopbackAudio.h"
#include "tools/Listener.h"
#include "tools/ModeArg.h"
#include "tools/Station.h"

namespace quillon {
namespace {

// A program waiting for the station's datagrams on 127.0.0.1.
class DatagramListener {
 public:
  DatagramListener() : socket_(socket(AF_INET, SOCK_DGRAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
  }
  ~DatagramListener() { close(socket_); }
  int Port() const { return port_; }

  // The next datagram, or "" after `seconds`.
  std::string Receive(int seconds) {
    pollfd entry{socket_, POLLIN, 0};
    if (poll(&entry, 1, seconds * 1000) != 1) return "";
    char buffer[65536];
    const ssize_t got = recv(socket_, buffer, sizeof buffer, 0);
    return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : "";
  }

 private:
  int socket_;
  int port_ = 0;
};

TEST(Listen, AMessageOverTheLoopbackReachesAnotherProgramAsOneDatagram) {
  DatagramListener program;
  std::string error;
  std::unique_ptr<UdpSender> udp = UdpSender::Open("127.0.0.1:" + std::to_string(program.Port()), error);
  ASSERT_TRUE(udp) << error;

  // The wire runs in real time, as a sound card does: a receiver that falls
  // 8 blocks behind loses audio, and the 19 receivers on one thread of a
  // sanitizer build on a loaded machine have come near that at twice the pace.
  LoopbackAudio wire(1.0);
  std::unique_ptr<AudioStream> speaker = wire.Open(AudioDirection::Playback, 0);
  std::unique_ptr<AudioStream> microphone = wire.Open(AudioDirection::Capture, 0);
  std::FILE* lines = std::tmpfile();
  ASSERT_NE(lines, nullptr);
  FrameAnnouncer announcer(lines, true, true, udp.get());
  ModeDecoders decoders(ParseModes("all"), 1, ModeDecoders::Order::kAsDecided,
                        [&](const DecodedFrame& frame) { announcer.Announce(frame, "2026-12-09T01:40:05Z"); });
  std::atomic<bool> stop{false};
  bool device_held = false;
  std::thread station([&] { device_held = ListenUntil(*microphone, decoders, stop); });

  Audio audio = EncodeMessage(ParseMode("16/1000"), "QTH Moscow");
  audio.resize(audio.size() + 4 * kSampleRateHz, 0);  // the receiver decides some blocks late
  audio.resize((audio.size() / kAudioBlockSamples + 1) * kAudioBlockSamples, 0);
  for (std::size_t at = 0; at < audio.size(); at += kAudioBlockSamples) ASSERT_TRUE(speaker->Write(&audio[at]));

  const std::string datagram = program.Receive(60);
  stop = true;
  station.join();
  EXPECT_TRUE(device_held);
  EXPECT_NE(datagram.find("\"mode\":\"OLIVIA_16_1000\""), std::string::npos) << datagram;
  EXPECT_NE(datagram.find("\"integrity\":\"verified\""), std::string::npos) << datagram;
  EXPECT_NE(datagram.find("\"text\":\"QTH Moscow\""), std::string::npos) << datagram;
  EXPECT_NE(datagram.find("\"snr_db\":"), std::string::npos) << datagram;
  EXPECT_NE(datagram.find("\"freq_offset_hz\":"), std::string::npos) << datagram;
  EXPECT_NE(datagram.find("\"time\":\"2026-12-09T01:40:05Z\"}"), std::string::npos) << datagram;
  // The same object was printed, one line.
  std::rewind(lines);
  char line[4096] = {};
  ASSERT_NE(std::fgets(line, sizeof line, lines), nullptr);
  EXPECT_EQ(std::string(line), datagram + "\n");
  std::fclose(lines);
}

TEST(Listen, AddressesAreHostAndPort) {
  std::string host;
  int port = 0;
  std::string error;
  EXPECT_TRUE(ParseHostPort("127.0.0.1:2237", host, port, error));
  EXPECT_EQ(host, "127.0.0.1");
  EXPECT_EQ(port, 2237);
  EXPECT_TRUE(ParseHostPort("[::1]:9", host, port, error));
  EXPECT_EQ(host, "::1");
  for (const char* bad : {"localhost", ":5", "host:0", "host:65536", "host:12x", "host:"}) {
    EXPECT_FALSE(ParseHostPort(bad, host, port, error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
  EXPECT_FALSE(UdpSender::Open("no-such-host.invalid:5000", error));
  EXPECT_NE(error.find("no-such-host.invalid"), std::string::npos) << error;

  // Nobody listening at the port is no failure (each datagram's ICMP reply
  // makes the next send report "refused" on Linux).
  int free_port = 0;
  {
    DatagramListener gone;
    free_port = gone.Port();
  }
  std::unique_ptr<UdpSender> udp = UdpSender::Open("127.0.0.1:" + std::to_string(free_port), error);
  ASSERT_TRUE(udp) << error;
  for (int datagram = 0; datagram < 4; ++datagram) {
    EXPECT_TRUE(udp->Send("{}", error)) << datagram << ": " << error;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the ICMP reply comes back
  }
  EXPECT_NE(error.find("no-such-host.invalid"), std::string::npos) << error;
}

}  // namespace
}  // namespace quillon
