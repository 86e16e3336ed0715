// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The whole Olivia receive chain behind one object: rate converter, input
// limiter, demodulator, and a synchroniser that does not know where a block
// of the code starts nor the exact frequency. It runs one soft-decision
// decoder for each of the two time slices per symbol and each trial
// frequency offset; after every symbol each decoder decodes the last block's
// worth of symbols. Each (slice, offset) candidate's signal and noise are
// integrated over SyncBlocks blocks, and once per block, half a block after
// the strongest slice, the characters of the strongest candidate are
// emitted if its signal-to-noise ratio reaches DecodeThreshold. The tone
// burst that ends or opens every transmission starts the synchroniser
// afresh for the blocks after it (SyncEpochs.h). Each emitted character
// carries its block's signal report: the signal power and noise density of
// the input over the block (SignalMeter.h) and the candidate's offset
// refined within its bin. With Deep, the same search feeds the deep
// receiver's decisions instead (deep/DeepDecider.h).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <type_traits>

#include "engine/BurstDetector.h"
#include "engine/Containers.h"
#include "engine/Demodulator.h"
#include "engine/InputProcessor.h"
#include "engine/LowPass3Filter.h"
#include "engine/PowerOfTwo.h"
#include "engine/RateConverter.h"
#include "engine/SignalMeter.h"
#include "engine/SoftDecoder.h"
#include "engine/SoftDecoderBank.h"
#include "engine/SyncEpochs.h"
#include "engine/deep/DeepDecider.h"

namespace quillon {

template <class Type>
class MFSK_Receiver {
  static_assert(std::is_same<Type, double>::value, "the decoder bank runs on doubles");

 public:
  using Decoder = MFSK_SoftDecoder<Type, Type>;
  using Integrator = LowPass3_Filter<Type>;

  bool ReducedCharset;
  unsigned Tones;
  unsigned Bandwidth;      // Hz
  unsigned SearchMargin;   // trial offsets on each side, in FFT bins (half a tone spacing)
  unsigned SyncBlocks;     // integration length in blocks, and depth of the decoded history
  Type DecodeThreshold;    // signal-to-noise ratio at which a block is emitted
  Type SampleRate;         // processing rate, samples per second
  Type InputSampleRate;    // rate of the samples given to Process
  float BandEdge = 0;      // lower band edge (upper with Reverse), in units of SampleRate/16 Hz
  unsigned Reverse;
  // The deep receiver (set before Preset): the same search, with the
  // decisions of the chosen candidate refined (see deep/).
  bool Deep = false;
  DecoderKernel BankKernel;  // the decoder bank's kernel: Auto = the fastest this processor
                             // runs (Preset fails for one it lacks)

  unsigned BitsPerSymbol = 0;  // also characters per block
  unsigned SymbolsPerBlock = 0;
  RateConverter<Type> Converter;
  Seq<Type> InputSamples;  // converted samples waiting to fill a limiter window
  MFSK_InputProcessor<Type> InputProcessor;
  MFSK_Demodulator<Type> Demodulator;
  unsigned SearchWidth = 0;  // trial offsets
  unsigned SliceCount = 0;   // time slices per block
  Decoder ReferenceDecoder;
  // Decoder i * SearchWidth + j holds the outcome for slice phase i and
  // offset index j (DecodedBlock, Signal, NoiseEnergy); its row of the bank
  // keeps the soft values and decodes, so its own window stays unused.
  Array<Decoder> Decoders;
  SoftDecoderBank DecoderRows[2];  // per slice phase: its SearchWidth decoders decoded together
  unsigned SliceIndex = 0;
  CircularBuffer<Integrator> NoiseTable;   // row = slice, column = offset index
  CircularBuffer<Integrator> SignalTable;
  Type SyncWeight = 0;
  Type BestSignal = 0;
  unsigned BestSlice = 0;
  unsigned BestOffset = 0;
  Type SnrValue = 0;
  Array<CircularBuffer<uint64_t>> DecodedBlocks;  // per slice: one word per offset, SyncBlocks rows
  // Beside each decoded word, how firmly its weakest character was decided
  // (the decoder's Weakest).
  Array<CircularBuffer<float>> DecodedStrengths;
  FIFO<uint8_t> OutputQueue;
  FIFO<float> OutputStrengths;  // one per character of OutputQueue
  FIFO<MFSK_BlockSignal> OutputSignals;  // one per character of OutputQueue: its block's measurement
  // Signal power and noise density of the raw input over each decided
  // block's span, from the burst detector's spectra.
  MFSK_SignalMeter<Type> Meter;

  // Transmissions one after another: the burst that ends or opens one
  // closes the synchroniser's epoch (see SyncEpochs.h).
  MFSK_BurstDetector<Type> BurstDetector;
  SyncEpochs Epochs;
  int64_t PendingBurstEnd = -1;  // a burst end the symbols have not reached yet
  int64_t ConvertedSamples = 0;  // samples converted (and handed to the burst detector) since Reset
  int64_t SymbolClock = 0;       // where the symbol being processed ends, in converted samples
  Array<int64_t> LastPassEnd;    // per slice: SymbolClock at its last pass
  // The offset index of the candidate whose block came out last: the best
  // candidate's, or a closed epoch's while it decides its last blocks.
  unsigned EmittedOffset = 0;

  // The deep receiver's decisions (Deep): the chosen candidate held
  // through a transmission and its blocks decoded again more finely.
  MFSK_DeepDecider<MFSK_Receiver> DeepDecider;

  MFSK_Receiver() {
    ReducedCharset = false;
    Init();
    Default();
  }
  MFSK_Receiver(const MFSK_Receiver&) = delete;
  MFSK_Receiver& operator=(const MFSK_Receiver&) = delete;
  ~MFSK_Receiver() { Free(); }

  void Init() {
    Decoders.reset();
    DecodedBlocks.reset();
    DecodedStrengths.reset();
    LastPassEnd.reset();
  }
  void Default() {
    Tones = 32;
    Bandwidth = 1000;
    SearchMargin = 8;
    SyncBlocks = 4;
    DecodeThreshold = 3.0;
    SampleRate = 8000;
    InputSampleRate = 8000;
    Reverse = 0;
    Deep = false;
    BankKernel = DecoderKernel::Auto;
  }
  void Free() {
    Init();
    DecoderRows[0].Free();
    DecoderRows[1].Free();
    Converter.Free();
    InputSamples.Free();
    InputProcessor.Free();
    Demodulator.Free();
    ReferenceDecoder.Free();
    NoiseTable.Free();
    SignalTable.Free();
    OutputQueue.Free();
    OutputStrengths.Free();
    OutputSignals.Free();
    Meter.Free();
  }

  int Preset() {
    if (Tones < 2) Tones = 2;
    if (Tones > 256) Tones = 256;
    if (Bandwidth <= 124) Bandwidth = 125;
    if (Bandwidth > 2000) Bandwidth = 2000;
    if (SearchMargin < 2) SearchMargin = 2;
    if (SyncBlocks < 2) SyncBlocks = 2;
    if (DecodeThreshold < 3.0) DecodeThreshold = 3.0;
    BitsPerSymbol = Log2(Tones);
    Tones = Exp2(BitsPerSymbol);

    // Zero or non-finite rates leave no output length to size the
    // converter's room by.
    const double ratio = SampleRate / InputSampleRate;
    if (!(ratio > 0) || !std::isfinite(ratio)) return Fail();
    Converter.OutputRate = ratio;
    if (Converter.Preset() < 0) return Fail();

    // One FFT bin is half the tone spacing; a symbol period is half the FFT.
    const unsigned k = Log2(Bandwidth / 125);
    Demodulator.BitsPerSymbol = BitsPerSymbol;
    Demodulator.SymbolLen = Exp2(BitsPerSymbol - k + 7);
    Bandwidth = 125 * Exp2(k);
    Demodulator.FirstCarrier = static_cast<unsigned>(static_cast<int>((Demodulator.SymbolLen / 16) * BandEdge)) + 1;
    Demodulator.Reverse = Reverse;
    Demodulator.BinMargin = SearchMargin;
    if (Demodulator.Preset() < 0) return Fail();
    SearchMargin = Demodulator.BinMargin;

    InputProcessor.WindowSize = 16 * Demodulator.SymbolLen;
    InputProcessor.ImpulseClip = Deep ? MFSK_DeepDecider<MFSK_Receiver>::kImpulseClip : 0.0;
    if (InputProcessor.Preset() < 0) return Fail();

    ReferenceDecoder.Default();
    ReferenceDecoder.BitsPerSymbol = BitsPerSymbol;
    ReferenceDecoder.ReducedCharset = ReducedCharset;
    if (ReferenceDecoder.Preset() < 0) return Fail();
    SymbolsPerBlock = ReferenceDecoder.SymbolsPerBlock;

    Decoders.reset();
    DecodedBlocks.reset();
    SearchWidth = 2 * SearchMargin + 1;
    SliceCount = 2 * SymbolsPerBlock;
    if (ReallocArray(Decoders, 2 * SearchWidth) < 0) return Fail();
    for (unsigned i = 0; i < 2 * SearchWidth; ++i) {
      Decoders[i].ReducedCharset = ReducedCharset;
      Decoders[i].Init();
      if (Decoders[i].Preset(ReferenceDecoder) < 0) return Fail();
    }
    for (SoftDecoderBank& row : DecoderRows)
      if (row.Preset(SearchWidth, Decoders[0], BankKernel) < 0) return Fail();
    if (ReallocArray(DecodedBlocks, SliceCount) < 0 || ReallocArray(DecodedStrengths, SliceCount) < 0 ||
        ReallocArray(LastPassEnd, SliceCount) < 0)
      return Fail();
    for (unsigned s = 0; s < SliceCount; ++s) {
      DecodedBlocks[s].Width = DecodedStrengths[s].Width = SearchWidth;
      DecodedBlocks[s].Len = DecodedStrengths[s].Len = SyncBlocks;
      if (DecodedBlocks[s].Preset() < 0 || DecodedStrengths[s].Preset() < 0) return Fail();
      DecodedBlocks[s].Clear();
      DecodedStrengths[s].Clear();
    }
    for (CircularBuffer<Integrator>* table : {&SignalTable, &NoiseTable}) {
      table->Width = SearchWidth;
      table->Len = SliceCount;
      if (table->Preset() < 0) return Fail();
      table->Clear();
    }

    // The burst sounds the band's outer tones, which lie 2 (Tones - 1) bins
    // apart; FirstCarrier is the lower one (the upper one in reverse).
    const double bin = SampleRate / Demodulator.SymbolLen;
    const double span = 2.0 * (Tones - 1) * bin;
    const double first_tone = Demodulator.FirstCarrier * bin;
    BurstDetector.SampleRate = SampleRate;
    BurstDetector.LowTone = Reverse ? first_tone - span : first_tone;
    BurstDetector.HighTone = BurstDetector.LowTone + span;
    BurstDetector.MaxOffset = (SearchMargin + 1) * bin;
    if (BurstDetector.Preset() < 0) return Fail();
    // The meter looks back as far as a block may still be decided: the
    // decoded history, the decision half a block after its slice, the
    // limiter's window, and a closed epoch's last blocks.
    Meter.SampleRate = SampleRate;
    Meter.SpectrumLen = BurstDetector.SegmentLen;
    Meter.BucketLen = std::max<unsigned>(BurstDetector.Step, static_cast<unsigned>(BlockSamples() / 4));
    Meter.Buckets = static_cast<unsigned>((2 * SyncBlocks + 3) * BlockSamples() / Meter.BucketLen + 2);
    if (Meter.Preset() < 0 || MeasureConverterResponse() < 0) return Fail();
    // The audio reaches back over the decided history, the blocks held
    // before it, and a symbol's window; the limiter hands over a whole window
    // ahead of the symbols.
    if (Deep && DeepDecider.Preset(*this) < 0) return Fail();
    BurstDetector.Meter = &Meter;

    SyncWeight = static_cast<Type>(1.0 / SyncBlocks);
    SliceIndex = 0;
    BestSignal = 0;
    BestSlice = 0;
    BestOffset = 0;
    SnrValue = 0;
    ResetEpochs();
    if (InputSamples.EnsureSpace(InputProcessor.WindowSize + 2048) < 0) return Fail();
    OutputQueue.Len = OutputStrengths.Len = OutputSignals.Len = 1024;
    if (OutputQueue.Preset() < 0 || OutputStrengths.Preset() < 0 || OutputSignals.Preset() < 0) return Fail();
    return 0;
  }

  // Transforms shared with the other receivers `memo` serves (null: none),
  // from now on; the memo must outlive this receiver's use of it.
  void ShareTransforms(TransformMemo<Type>* memo) {
    InputProcessor.ShareTransforms(memo);
    Demodulator.ShareTransforms(memo);
    BurstDetector.ShareTransforms(memo);
  }

  // Another decoder bank kernel from now on, everything heard kept; -1, and
  // nothing changed, where this build or this processor lacks it.
  int UseBankKernel(DecoderKernel kernel) {
    if (!SoftDecoderBank::Supports(kernel)) return -1;
    BankKernel = kernel;
    for (SoftDecoderBank& row : DecoderRows) row.UseKernel(kernel);
    return 0;
  }

  void Reset() {
    if (!Converter.Proverka()) Converter.Preset();
    Converter.Reset();
    InputSamples.Clear();
    if (!InputProcessor.InputTap) InputProcessor.Preset();
    InputProcessor.Reset();
    DecoderRows[0].Reset();
    DecoderRows[1].Reset();
    for (unsigned s = 0; s < SliceCount; ++s) {
      DecodedBlocks[s].Clear();
      DecodedStrengths[s].Clear();
    }
    SignalTable.Clear();
    NoiseTable.Clear();
    SliceIndex = 0;
    BestSignal = 0;
    BestSlice = 0;
    BestOffset = 0;
    SnrValue = 0;
    OutputQueue.Reset();
    OutputStrengths.Reset();
    OutputSignals.Reset();
    BurstDetector.Reset();
    Meter.Reset();
    ResetEpochs();
  }

  // Consumes all samples at InputSampleRate; -1 when the converted samples
  // find no room (those waiting are then lost).
  int Process(const Type* samples, unsigned count) {
    const unsigned before = InputSamples.Len;
    if (Converter.Process(samples, count, InputSamples) < 0) return -1;
    const unsigned added = InputSamples.Len - before;
    if (BurstDetector.Process(InputSamples.Elem.get() + before, added))
      PendingBurstEnd = static_cast<int64_t>(BurstDetector.BurstEnd);
    ConvertedSamples += added;
    ProcessInputBuffer();
    return 0;
  }

  int GetChar(uint8_t& c) {
    float strength = 0;
    return GetChar(c, strength);
  }
  // With the strength of the block the character was decided in.
  int GetChar(uint8_t& c, float& strength) {
    MFSK_BlockSignal signal;
    return GetChar(c, strength, signal);
  }
  // With its block's signal measurement too.
  int GetChar(uint8_t& c, float& strength, MFSK_BlockSignal& signal) {
    if (!OutputQueue.Read(c)) return 0;
    if (!OutputStrengths.Read(strength)) strength = 0;
    if (!OutputSignals.Read(signal)) signal = MFSK_BlockSignal{};
    return 1;
  }

  Type SignalToNoiseRatio() const { return SnrValue; }

  // Hz, of the candidate whose block came out last; one offset step is one
  // FFT bin, half the tone spacing.
  Type FrequencyOffset() const {
    const int bins = static_cast<int>(EmittedOffset) - static_cast<int>(SearchWidth / 2);
    return bins * SampleRate / Demodulator.SymbolLen;
  }

  // Pushes the waiting samples through, padded with silence, then enough
  // silence (SyncBlocks blocks, doubled) to bring the last blocks to a
  // decision.
  void Flush() {
    ProcessInputBuffer();
    const unsigned window = InputProcessor.WindowSize;
    if (InputSamples.EnsureSpace(window) < 0) return;
    for (unsigned i = InputSamples.Len; i < window; ++i) InputSamples[static_cast<int>(i)] = 0;
    // The silence counts as input: the synchroniser's clock runs on.
    ConvertedSamples += window - InputSamples.Len;
    InputSamples.Len = window;
    ProcessInputBuffer();
    ClearArray(InputSamples.Elem.get(), window);
    const unsigned target = 2 * Demodulator.SymbolStep * SymbolsPerBlock * SyncBlocks;
    for (unsigned total = 0; total < target; total += window) {
      InputSamples.Len = window;
      ConvertedSamples += window;
      ProcessInputBuffer();
    }
  }

  void ProcessInputBuffer() {
    const unsigned window = InputProcessor.WindowSize;
    while (InputSamples.Len >= window) {
      InputProcessor.Process(InputSamples.Elem.get());
      // The limiter's overlap-add gives its output half a window late.
      const int64_t output_start = ConvertedSamples - InputSamples.Len - window / 2;
      // The deep decisions keep the input itself, on the same clock.
      if (Deep) DeepDecider.Store(InputSamples.Elem.get(), window, output_start + window / 2);
      InputSamples.Delete(0, window);
      for (unsigned k = 0; k < window; k += Demodulator.SymbolStep) {
        SymbolClock = output_start + k + Demodulator.SymbolStep;
        ProcessSymbol(InputProcessor.Output.get() + k);
      }
    }
  }

  // One symbol period: both slices, every trial offset, one decision check
  // per slice.
  void ProcessSymbol(const Type* samples) {
    if (PendingBurstEnd >= 0 && SymbolClock >= PendingBurstEnd) CloseEpoch();
    Demodulator.Process(samples);
    for (unsigned phase = 0; phase < 2; ++phase) {
      const unsigned s = SliceIndex;
      Integrator* noise = NoiseTable.AbsPtr(s);
      Integrator* signal = SignalTable.AbsPtr(s);
      uint64_t* decoded = DecodedBlocks[s].CurrPtr();
      float* strengths = DecodedStrengths[s].CurrPtr();
      Decoder* bank = Decoders.get() + phase * SearchWidth;
      const int centre = static_cast<int>(SearchWidth / 2);
      Type local_best = 0;
      unsigned local_best_index = 0;
      SoftDecoderBank& row = DecoderRows[phase];
      // The soft values of all offsets go straight into the row's lanes.
      Demodulator.SoftDecodeRow(row.CurrentSlot(), row.BitStride(), phase, -centre, SearchWidth);
      row.Advance();
      row.Process(bank);  // Process() of every decoder of the row
      for (unsigned j = 0; j < SearchWidth; ++j) {
        Decoder& decoder = bank[j];
        decoder.Output(decoded[j]);
        strengths[j] = decoder.Weakest;
        noise[j].Process(decoder.NoiseEnergy, SyncWeight, 0.1);
        signal[j].Process(decoder.Signal, SyncWeight, 0.1);
        if (signal[j].Stage3 > local_best) {  // ties keep the lower offset index
          local_best = signal[j].Stage3;
          local_best_index = j;
        }
      }
      DecodedBlocks[s] += 1;
      DecodedStrengths[s] += 1;
      LastPassEnd[s] = SymbolClock;
      UpdateBestCandidate(s, local_best, local_best_index);
      Epochs.Decide(
          s, SliceCount, EpochOverlap(), DecodeThreshold, [this](unsigned slice) { return OldestRowEnd(slice); },
          [this](unsigned slice, unsigned offset) {
            if (Deep)
              DeepDecider.EmitClosedEpochBlock(*this, slice, offset);
            else
              EmitOldestRow(slice, offset);
          });
      if (Deep)
        DeepDecider.Pass(*this, s);
      else
        Decide(s);
      ++SliceIndex;
    }
    if (SliceIndex >= SliceCount) SliceIndex -= SliceCount;
  }

 private:
  friend class MFSK_DeepDecider<MFSK_Receiver>;

  int Fail() {
    Free();
    return -1;
  }

  // The best slice always takes its own fresh value, even a lower one;
  // another slice must beat it strictly.
  void UpdateBestCandidate(unsigned s, Type local_best, unsigned local_best_index) {
    if (s == BestSlice) {
      BestSignal = local_best;
      BestOffset = local_best_index;
    } else if (local_best > BestSignal) {
      BestSignal = local_best;
      BestSlice = s;
      BestOffset = local_best_index;
    }
  }

  // Half a block after the best slice. The noise reference is the slice
  // after s at the lowest offset; after the last slice the ring of slices
  // continues at slice 0.
  void Decide(unsigned s) {
    int d = static_cast<int>(s) - static_cast<int>(BestSlice);
    if (d < 0) d += static_cast<int>(SliceCount);
    if (static_cast<unsigned>(d) != SliceCount / 2) return;
    const unsigned next = (s + 1 < SliceCount) ? s + 1 : 0;
    // Digital silence leaves no noise reference, and the integrator's
    // feedback can carry a decaying value a little below zero: no ratio to
    // judge by, so the decision emits nothing, whatever the threshold.
    const Type noise_energy = NoiseTable.AbsPtr(next)[0].Stage3;
    if (!(noise_energy > 0)) {
      SnrValue = 0;
      return;
    }
    SnrValue = BestSignal / std::sqrt(noise_energy);
    // Blocks decoded before this epoch began are the closed epochs' to decide.
    if (SnrValue >= DecodeThreshold && Epochs.InCurrent(OldestRowEnd(BestSlice), EpochOverlap()))
      EmitOldestRow(BestSlice, BestOffset);
    if (SnrValue > 100) SnrValue = 0;  // the characters of this decision are already out
  }

  void ResetEpochs() {
    Epochs.Reset();
    EmittedOffset = SearchWidth / 2;
    PendingBurstEnd = -1;
    ConvertedSamples = 0;
    SymbolClock = 0;
    ClearArray(LastPassEnd, SliceCount);
    if (Deep) DeepDecider.Reset();
  }

  // Offset index `offset` of `slice` from the centre, refined within its bin.
  double OffsetBins(unsigned slice, unsigned offset) {
    return static_cast<int>(offset) - static_cast<int>(SearchWidth / 2) + OffsetWithinBin(slice, offset);
  }

  // The ring was advanced after writing: its current row is the oldest,
  // SyncBlocks - 1 blocks before the newest.
  void EmitOldestRow(unsigned slice, unsigned offset) {
    EmittedOffset = offset;
    EmitWord(DecodedBlocks[slice].CurrPtr()[offset], DecodedStrengths[slice].CurrPtr()[offset],
             MeasureBlock(OldestRowEnd(slice), OffsetBins(slice, offset)));
  }

  void EmitWord(uint64_t word, float strength, const MFSK_BlockSignal& signal) {
    for (unsigned c = 0; c < BitsPerSymbol; ++c, word >>= 8) {
      if (OutputQueue.Write(static_cast<uint8_t>(word & 0xFF))) {
        OutputStrengths.Write(strength);
        OutputSignals.Write(signal);
      }
    }
  }

  // The candidate's offset to a fraction of a bin: the integrated signals of
  // its slice at the offsets beside it fall off either side of the true
  // frequency, and the vertex of the parabola through the three points lies
  // near it. Out of -0.5..+0.5 bin (or at the edge of the search) it says
  // nothing the bin does not. Through the channel simulator the vertex
  // misses by at most 0.03 of a tone spacing on average in every mode
  // measured (bench report), so it needs no correction of its bias.
  Type OffsetWithinBin(unsigned slice, unsigned offset) {
    if (offset == 0 || offset + 1 >= SearchWidth) return 0;
    const Integrator* row = SignalTable.AbsPtr(slice) + offset;
    const Type left = row[-1].Stage3, centre = row[0].Stage3, right = row[1].Stage3;
    const Type curvature = left - 2 * centre + right;
    if (!(curvature < 0)) return 0;
    const Type vertex = Type(0.5) * (left - right) / curvature;
    return std::max(Type(-0.5), std::min(Type(0.5), vertex));
  }

  // The rate converter's response, from an impulse through a converter set
  // up as ours, so that the meter measures the audio as it came in.
  int MeasureConverterResponse() {
    RateConverter<Type> probe;
    probe.TapLen = Converter.TapLen;
    probe.OverSampling = Converter.OverSampling;
    probe.UpperFreq = Converter.UpperFreq;
    probe.OutputRate = Converter.OutputRate;
    if (probe.Preset() < 0) return -1;
    Type impulse[64] = {};  // the filter spans TapLen (16) inputs
    impulse[0] = 1;
    Seq<Type> response;
    if (probe.Process(impulse, 64, response) < 0) return -1;
    Meter.SetResponse(response.Elem.get(), response.Len);
    return 0;
  }

  // The signal report of the block that ended at `end`, at an offset of
  // `offset_bins` from the centre.
  MFSK_BlockSignal MeasureBlock(int64_t end, double offset_bins) {
    const double bin = SampleRate / Demodulator.SymbolLen;
    const double offset_hz = offset_bins * bin;
    // The outer tones lie 2 (Tones - 1) bins apart; FirstCarrier is the
    // lower one (the upper one in reverse), and the offset moves both.
    const double span = 2.0 * (Tones - 1) * bin;
    const double first_tone = Demodulator.FirstCarrier * bin + (Reverse ? -offset_hz : offset_hz);
    const double low_tone = Reverse ? first_tone - span : first_tone;
    MFSK_BlockSignal signal = Meter.Measure(end - BlockSamples(), end, low_tone, low_tone + span, 2 * bin);
    signal.offset_hz = offset_hz;
    return signal;
  }

  int64_t BlockSamples() const { return static_cast<int64_t>(Demodulator.SymbolStep) * SymbolsPerBlock; }
  // A block ending less than half a block after a burst holds mostly the
  // burst (the burst's end is known to within a quarter of a 256 ms tone).
  int64_t EpochOverlap() const { return BlockSamples() / 2; }
  // Where the block in the oldest row of a slice's history ended.
  int64_t OldestRowEnd(unsigned slice) const {
    return LastPassEnd[slice] - static_cast<int64_t>(SyncBlocks - 1) * BlockSamples();
  }

  // At a burst's end: the current choice and its ratio go on deciding the
  // blocks before the burst; no candidate keeps more integrated signal than
  // the table's mean, so what the last transmission built up no longer
  // outweighs the next one, while the level that noise alone holds (a
  // transmission after silence) stays as it was.
  void CloseEpoch() {
    const unsigned reference = (BestSlice + SliceCount / 2 + 1) % SliceCount;
    const Type noise_energy = NoiseTable.AbsPtr(reference)[0].Stage3;
    const double snr = noise_energy > 0 ? BestSignal / std::sqrt(noise_energy) : 0.0;
    // A deep receiver's hold decides the blocks before the burst itself.
    const bool held = Deep && DeepDecider.EpochClosed(*this, PendingBurstEnd);
    // (The station's threshold is 0, so a ratio of 0 would still pass it.)
    Epochs.Close(BestSlice, BestOffset, held ? -std::numeric_limits<double>::infinity() : snr, PendingBurstEnd);
    PendingBurstEnd = -1;
    const unsigned count = SliceCount * SearchWidth;
    Integrator* all = SignalTable.AbsPtr(0);
    Type mean[3] = {0, 0, 0};
    for (unsigned i = 0; i < count; ++i) {
      mean[0] += all[i].Stage1;
      mean[1] += all[i].Stage2;
      mean[2] += all[i].Stage3;
    }
    for (Type& m : mean) m /= count;
    for (unsigned i = 0; i < count; ++i) {
      all[i].Stage1 = std::min(all[i].Stage1, mean[0]);
      all[i].Stage2 = std::min(all[i].Stage2, mean[1]);
      all[i].Stage3 = std::min(all[i].Stage3, mean[2]);
    }
    BestSignal = 0;
  }
};

}  // namespace quillon
