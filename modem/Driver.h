// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The modem driver thread Play: builds the Olivia adapter for the station's
// mode, starts the link controller, then every 100 ms hands all captured
// blocks to the receiver, reopens a device whose number changed and rebuilds
// the whole modem when the mode number changed ("RESTART" in the status bar).
//
// The shell opens both devices (InitWaveIn/InitWaveOut with InDECSW and
// OutDECSW) before it starts Play on its own thread. To end, the shell sets
// STOP and STOPTIM and joins that thread: Play then joins the link
// controller, closes both devices (joining the audio threads) and only then
// deletes the adapter.
//
// Listening in all modes (StationState::listen_all_modes), a receive-only
// chain for every other mode hears each captured block after the adapter,
// and the link controller empties their rings too. Switching it on or off
// rebuilds the modem as a mode change does, and so does switching the deep
// receiver (StationState::deep_receive) on or off.

#include <string>

#include "link/Archive.h"
#include "link/LinkView.h"
#include "modem/audio/AudioDevice.h"
#include "modem/StationState.h"

namespace quillon {

struct DriverContext {
  StationState& station;
  LinkView& view;
  AudioBackend& devices;
  std::string home_directory;  // where log.txt is appended
  ArchiveClock clock = {};     // archive timestamps; empty means the local time
  // "HOST:PORT": each finished frame goes there as one JSON datagram; empty
  // sends nothing. A wrong address is said once in the status bar.
  std::string udp_events = {};
};

// Returns 0 once STOP is set.
int Play(DriverContext& context);

class OtherModeReceivers;

// One pass of the receive step: every captured block, as sample / 32767, to
// the active modem's rx_process, then to the other modes' receivers when
// there are any. Returns the number of blocks handed on.
int ProcessCapturedAudio(StationState& station, OtherModeReceivers* others = nullptr);

}  // namespace quillon
