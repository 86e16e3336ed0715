// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Capture and playback: one thread per direction over an audio stream of 512
// 16-bit samples per block at 8000 samples/s.
//
// The capture thread GoInWave copies every captured block into the capture
// ring. The playback thread GoOutWave plays the transmit audio ring and, when
// the ring is empty while start_prd is set, calls the active modem's
// tx_process until there is audio again, so the transmit chain runs on the
// playback thread, paced by the sound card. An empty ring plays silence and
// sets ZeroYes.
//
// A device that will not open, or that stops taking blocks, leaves its
// thread running in the state kWaveLost: it tries to open the device of the
// same name again every 3 s. While playback is lost, a transmission under
// way is run to its end without sound (DiscardTransmission).
//
// Init and Close may be called from any thread; they are serialised per
// direction. Close joins the thread, so after it returns no audio thread of
// that direction is inside the modem.

#include <cstdint>

#include "modem/audio/AudioDevice.h"
#include "modem/StationState.h"

namespace quillon {

// Start the thread for a device (-1 = default) and wait up to 600 ms for it
// to open the device: 1 opened, 0 failed (the thread keeps trying; or
// already open: nothing is changed), -1 still starting. The device list must outlive the thread.
int InitWaveIn(StationState& station, AudioBackend& devices, int device);
int InitWaveOut(StationState& station, AudioBackend& devices, int device);
// Ask the thread to end and join it: 1 when the direction was open, else 0.
int CloseWaveIn(StationState& station);
int CloseWaveOut(StationState& station);

// Whether the playback thread has its device open: without it nothing that
// goes into the transmit ring can go on air.
bool PlaybackOpen(const StationState& station);

// The thread functions; record is buf_sound_in / buf_sound_out of station.
int GoInWave(StationState& station, WaveControl& record, AudioBackend& devices);
int GoOutWave(StationState& station, WaveControl& record, AudioBackend& devices);

// One playback block: the next block of the transmit audio ring scaled to
// 16 bits (true), or silence when the ring is empty (false). Runs
// tx_process first while start_prd is set and the ring is empty.
bool FillPlaybackBlock(StationState& station, int16_t* block);

// Ends the transmission under way with nowhere to play it: runs the transmit
// chain to its end, drops its audio and lets the transmit indicator go out
// (ZeroYes). On the playback thread, or with no playback thread running.
void DiscardTransmission(StationState& station);

}  // namespace quillon
