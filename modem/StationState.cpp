// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/StationState.h"

namespace quillon {

WaveControl::~WaveControl() {
  run.store(0, std::memory_order_release);
  if (thread.joinable()) thread.join();
}

StationState::StationState(LinkState& link_state, int transmit_blocks)
    : link(link_state), PBuferG(transmit_blocks) {}

void StationState::Reset() {
  progdefaults.Reset();
  PBuferG.Clear();
  GLbuf.fill(0.0);
  markerGL = 0;
  DTMFbuffer.Clear();
  monitor_tap.Clear();
  InDECSW.store(-1);
  OutDECSW.store(-1);
  mode_number.store(kDefaultModeNumber);
  listen_all_modes.store(0);
  deep_receive.store(0);
  modem.store(nullptr);
  ptt.Configure(nullptr, PttTiming{});
}

StationState& ProcessStationState() {
  static StationState state(ProcessLinkState());
  return state;
}

}  // namespace quillon
