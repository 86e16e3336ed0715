// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The receiving station of the decoder: the adapter's receive side and the
// link's frame receive machine, fed with a recording block by block, noting
// for every finished frame where in the audio its start marker and its check
// byte were decided and what the receiver's synchroniser reported.

#include <functional>
#include <memory>
#include <vector>

#include "engine/TransformMemo.h"
#include "engine/kernels/DecoderKernel.h"
#include "link/FrameReceiver.h"
#include "link/FrameSignal.h"
#include "tools/Station.h"
#include "tools/wav/WavIo.h"

namespace quillon {

struct DecodedFrame {
  const OliviaMode* mode = nullptr;
  ReceivedFrame frame;
  // End of the audio block whose decision completed the start marker, and
  // the same for the check byte; decisions made after the recording ended
  // count as at its end.
  double start_s = 0.0;
  double end_s = 0.0;
  double snr = 0.0;      // receiver signal-to-noise ratio, mean over the frame's decisions
  // Signal-to-noise ratio in dB in 2500 Hz over the frame's blocks; NaN
  // when none was measured.
  double snr_db = 0.0;
  // Hz, the refined offset of the frame's blocks (the receiver's bin-level
  // offset when none was measured).
  double freq_offset_hz = 0.0;
};

class FrameDecoder {
 public:
  // `deep_receiver`: the station's receiver is the deep one.
  explicit FrameDecoder(const OliviaMode& mode, bool deep_receiver = false);

  // Blocks of 512 samples at 8000 samples/s, then Finish once: a quiet
  // channel for 4 blocks of the mode, then rx_flush.
  void Hear(const int16_t* samples, int count);
  void Finish();
  // The first part of Finish on its own: at most `count` samples of the
  // quiet channel still due (whole blocks); false once none is due.
  bool HearQuiet(long long count);
  // The whole recording: Hear in blocks of 512, then Finish.
  void HearAll(const Audio& audio);

  // The frames finished since the last call, in order.
  std::vector<DecodedFrame> TakeFrames();
  // No frame found from now on starts before this time: the start of the
  // frame being collected, or else the end of the audio heard so far.
  double EarliestStartToCome() const;

  // The station's adapter, whose receiver the speed benchmark gives the
  // decoder kernel it measures.
  olivia& Adapter() { return station_.Adapter(); }

 private:
  // Takes what the receive ring holds; `elapsed_s` of audio passed since the last call.
  void DrainReceiveRing(double now_s, double elapsed_s);
  void Note(const ReceiveEvents& events, double now_s);

  Station station_;
  FrameReceiver receiver_;
  long long samples_heard_ = 0;
  long long quiet_due_ = -1;  // samples of the quiet channel still due; -1: not begun
  bool collecting_ = false;
  bool frame_heard_ = false;  // a frame ended during this drain
  bool check_noted_ = false;  // the frame's check byte has come: end_s_ and freq_offset_hz_ hold
  double start_s_ = 0.0;
  double end_s_ = 0.0;
  double freq_offset_hz_ = 0.0;
  FrameSignal signal_;
  double snr_sum_ = 0.0;
  int snr_count_ = 0;
  std::vector<DecodedFrame> frames_;
};

// Every mode's receiver over the same audio, on up to `threads` worker
// threads. The receivers on one thread share the transforms they would
// repeat (a TransformMemo per thread): each thread takes whole groups of
// receivers with equally long symbols, and hears the audio in rounds short
// enough for the memo to keep what the first of a group worked out until the
// last takes it.
class ModeDecoders {
 public:
  // kByStart: each frame goes to `report` in order of its start, then of its
  // mode's place in `modes`, as soon as no receiver can still find one that
  // starts earlier (a recording). kAsDecided: each frame as soon as it is
  // decided (live audio, where a frame another mode is still collecting,
  // perhaps one begun by noise, could hold it back for minutes).
  enum class Order { kByStart, kAsDecided };
  using Report = std::function<void(const DecodedFrame&)>;

  // `deep_receiver`: every receiver is the deep one.
  ModeDecoders(const std::vector<const OliviaMode*>& modes, int threads, Order order, Report report,
               bool deep_receiver = false);
  ~ModeDecoders();

  // The receiver of the mode at `place` in `modes`.
  FrameDecoder& Decoder(std::size_t place) { return *decoders_.at(place); }

  void Hear(const int16_t* samples, std::size_t count);
  // Every receiver's decoder bank runs `kernel` from now on; false, and
  // nothing changed, where this build or this processor lacks it.
  bool UseBankKernel(DecoderKernel kernel);
  // The audio has ended: the last frames are decided and reported.
  void Finish();

 private:
  void ReportBefore(double before_s);
  void AssignShards(int threads);

  // The receivers one thread runs, in order, and the memo they share.
  struct Shard {
    std::vector<FrameDecoder*> decoders;
    std::unique_ptr<TransformMemo<double>> memo;
  };

  struct Waiting {
    DecodedFrame frame;
    std::size_t mode_place;
  };
  std::vector<std::unique_ptr<FrameDecoder>> decoders_;
  int threads_;
  Order order_;
  Report report_;
  std::vector<Waiting> waiting_;
  std::vector<Shard> shards_;
};

// Samples of a recording handed to every receiver at a time: about 8 s.
constexpr std::size_t kDecodePieceSamples = 65536;

// Every mode's receiver over a recording (or live audio), read piece by
// piece: in order of start for a file, as decided for a live source.
void DecodeRecording(const std::vector<const OliviaMode*>& modes, AudioReader& audio, int threads,
                     const ModeDecoders::Report& report, bool deep_receiver = false);

// Worker threads for parallel work: the machine's cores, at least one.
int WorkerThreads();

// work(0) .. work(count - 1), each exactly once, on up to `threads` threads
// (the calling one among them).
void ParallelFor(std::size_t count, int threads, const std::function<void(std::size_t)>& work);

}  // namespace quillon
