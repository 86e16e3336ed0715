// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Everything a station shares between its threads outside the link: the
// adapter's mode record, the transmit audio ring and its staging block, the
// capture ring and its monitor tap, the wanted devices and mode, the active
// modem and the two audio control records. The program has one station (ProcessStationState());
// tests and the command-line tool make as many independent ones as they need.
//
// Who writes and who reads, in the program (threads named as in
// link/LinkState.h, which has the link's rings and flags):
//
//   value                   written by                          read by
//   progdefaults codes      driver (adapter construction)       driver (restart)
//   progdefaults.eight_bit  playback (tx_process)               driver (rx_process)
//   progdefaults.tx_level   driver (tx_init), link (Start)      playback (ModulateXmtr)
//   PBuferG, Psave, Pload,  playback (tx_process, playing)      playback
//     GLbuf, markerGL
//   DTMFbuffer,             capture                             driver
//     DTMF_SAVE_uk
//   DTMF_LOAD_uk            driver                              capture (room test)
//   monitor_tap blocks,     capture                             window (band strip)
//     its write index
//   monitor_tap read index  window (band strip)                 capture (room test)
//   InDECSW, OutDECSW,      window (start, menus)               driver
//     mode_number,
//     listen_all_modes,
//     deep_receive
//   modem                   driver (builds, deletes)            link (Start), playback (tx_process)
//   buf_sound_*.run         window (start, exit), driver        the audio thread
//   buf_sound_*.state       the audio thread (Init: starting)   window, driver, link (playback open?)
//   ptt: backend, timing    window (start, dialog), tool        link (keys), keyer thread (releases)
//   ptt: audio end          playback (AudioEndsAt)              keyer thread
//   ptt: cut request        keyer thread (time limit)           playback (TakeCutRequest)
//   ptt: notice             keyer (limit, device, failures)     driver (status bar)
//   ptt: release now        driver (mode change, exit),         -
//                           playback (device lost)

#include <array>
#include <atomic>
#include <cstdio>

#include "link/LinkState.h"
#include "modem/audio/AudioDevice.h"
#include "modem/AudioRings.h"
#include "engine/ModeTable.h"
#include "modem/ProgDefaults.h"
#include "modem/ptt/PttKeyer.h"
#include "modem/WaveControl.h"

namespace quillon {

class modem;

struct StationState {
  explicit StationState(LinkState& link_state,
                        int transmit_blocks = TransmitAudioRing::kDefaultBlocks);
  StationState(const StationState&) = delete;
  StationState& operator=(const StationState&) = delete;

  // The rings and flags shared with the link controller.
  LinkState& link;

  ProgDefaults progdefaults;

  // Transmit audio: ModulateXmtr stages samples in GLbuf (markerGL of them)
  // and moves every full block into PBuferG. Both belong to the playback
  // thread while it runs; they are not reset between transmissions or modes.
  TransmitAudioRing PBuferG;
  std::array<double, kAudioBlockSamples> GLbuf{};
  int markerGL = 0;

  CaptureRing DTMFbuffer;
  // A copy of each captured block for the window's band strip; never holds
  // up the capture thread (a block the window has no room for is dropped).
  MonitorTap monitor_tap;

  // Written by the shell (device and mode menus), watched by the driver.
  std::atomic<int> InDECSW{-1};   // capture device, -1 = default
  std::atomic<int> OutDECSW{-1};  // playback device, -1 = default
  // The mode number of the settings record (its int 8, 93..111).
  std::atomic<int> mode_number{kDefaultModeNumber};
  // 1: besides the mode number's (which transmits), every other mode's
  // receiver hears the captured audio too.
  std::atomic<int> listen_all_modes{0};
  // 1: the adapter's receiver and every other mode's are the deep receiver.
  std::atomic<int> deep_receive{0};

  // The active adapter; created and deleted by the driver thread, called by
  // the link controller (Start) and the playback thread (tx_process).
  std::atomic<quillon::modem*> modem{nullptr};

  // Where the adapter prints its one diagnostic line when it is built for
  // mode 93: standard output in the program, nullptr for none.
  std::FILE* diagnostic_output = stdout;

  // Keys the transmitter around each transmission (none until configured);
  // it has its own locks, so every thread above may call it. Declared before
  // the audio records, so it outlives the playback thread they join.
  PttKeyer ptt;

  WaveControl buf_sound_in;
  WaveControl buf_sound_out;

  // Back to station start: rings empty, staging block empty, progdefaults
  // zero, devices, mode and keying to their defaults. Only while no thread of the
  // station runs and no adapter exists.
  void Reset();
};

// The one station of the running program, over ProcessLinkState().
StationState& ProcessStationState();

}  // namespace quillon
