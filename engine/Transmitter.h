// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The whole Olivia transmit chain behind one object: characters go into the
// input queue; every Output() call gives the audio of one symbol period at
// the output rate, scaled to a peak of 1.0. Characters are cut into blocks
// of BitsPerSymbol, each block is coded by the encoder, its symbols are sent
// one per call through the modulator, and the modulator's output is
// resampled by the converter.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/Containers.h"
#include "engine/Encoder.h"
#include "engine/Modulator.h"
#include "engine/PowerOfTwo.h"
#include "engine/RateConverter.h"

namespace quillon {

template <class Type>
class MFSK_Transmitter {
 public:
  enum : int { kRunning = 1, kStopRequested = 16 };

  bool ReducedCharset;
  unsigned Tones = 0;      // corrected by Preset to a power of two in 2..256
  unsigned Bandwidth = 0;  // hertz; corrected by Preset to 125 * 2^L up to 2000
  double SampleRate = 0;   // the modulator's rate, hertz
  double OutputSampleRate = 0;
  float BandEdge = 0;  // in units of SampleRate / 16; lower edge, or upper edge when reversed
  unsigned Reverse = 0;
  unsigned BitsPerSymbol = 0;
  unsigned SymbolsPerBlock = 0;
  unsigned MaxOutLen = 0;  // most samples one Output() call returns
  int State = 0;           // kRunning | kStopRequested bits; 0 = stopped
  FIFO<uint8_t> InputQueue;
  uint8_t InputBlock[8] = {};
  MFSK_Encoder Encoder;
  unsigned SymbolPtr = 0;  // next symbol of Encoder.SymbolBlock to send
  MFSK_Modulator<Type> Modulator;
  Array<Type> ModulatorOutput;
  RateConverter<Type> Converter;
  Array<Type> ConverterOutput;

  MFSK_Transmitter() {
    ReducedCharset = false;
    Init();
  }
  MFSK_Transmitter(const MFSK_Transmitter&) = delete;
  MFSK_Transmitter& operator=(const MFSK_Transmitter&) = delete;
  ~MFSK_Transmitter() { Free(); }

  void Init() {
    ModulatorOutput.reset();
    ConverterOutput.reset();
  }

  void Free() {
    InputQueue.Free();
    Encoder.Free();
    Modulator.Free();
    ModulatorOutput.reset();
    Converter.Free();
    ConverterOutput.reset();
  }

  int Preset() {
    if (Tones < 2) Tones = 2;
    if (Tones > 256) Tones = 256;
    if (Bandwidth < 125) Bandwidth = 125;
    if (Bandwidth > 2000) Bandwidth = 2000;
    BitsPerSymbol = Log2(Tones);
    Tones = Exp2(BitsPerSymbol);

    InputQueue.Len = 1024;
    if (InputQueue.Preset() < 0) return Fail();

    Encoder.ReducedCharset = ReducedCharset;
    Encoder.BitsPerSymbol = BitsPerSymbol;
    if (Encoder.Preset() < 0) return Fail();
    SymbolsPerBlock = Encoder.SymbolsPerBlock;

    // The window gives a tone spacing of 2 * SampleRate / SymbolLen, which
    // is Bandwidth / Tones, and one symbol every SymbolLen / 2 samples.
    Modulator.Default();
    Modulator.BitsPerSymbol = BitsPerSymbol;
    const unsigned width_steps = Log2(Bandwidth / 125);
    Modulator.SymbolLen = 1u << (BitsPerSymbol - width_steps + 7);
    Bandwidth = 125 * Exp2(width_steps);
    Modulator.FirstCarrier = static_cast<int>((Modulator.SymbolLen / 16) * BandEdge) + 1;
    Modulator.Reverse = Reverse;
    if (Modulator.Preset() < 0) return Fail();
    if (ReallocArray(ModulatorOutput, Modulator.SymbolStep) < 0) return Fail();

    // Zero or non-finite rates leave no output length to size the buffer by.
    const double ratio = OutputSampleRate / SampleRate;
    if (!(ratio > 0) || !std::isfinite(ratio)) return Fail();
    Converter.OutputRate = ratio;
    if (Converter.Preset() < 0) return Fail();
    // One symbol period of input; the first call after Preset also gives the
    // outputs of the converter's first input interval.
    MaxOutLen = Converter.OutputRoom(Modulator.SymbolStep);
    if (ReallocArray(ConverterOutput, MaxOutLen) < 0) return Fail();

    SymbolPtr = 0;
    State = 0;
    return 0;
  }

  void Start() { State |= kRunning; }
  // The block being sent and everything queued still go out.
  void Stop() { State |= kStopRequested; }
  int Running() const { return State & kRunning; }
  int DoPostambleYet() const { return State == 0 ? 1 : 0; }
  int PutChar(uint8_t character) { return InputQueue.Write(character); }
  int GetReadReady() const { return InputQueue.ReadReady(); }

  // buffer must hold MaxOutLen samples.
  int Output(Type* buffer) {
    if (SymbolPtr == 0) {
      if ((State & kStopRequested) && InputQueue.Empty()) {
        State = 0;
      } else if (State & kRunning) {
        // A running transmitter with nothing queued sends NUL characters.
        const unsigned count = std::min<unsigned>(BitsPerSymbol, sizeof InputBlock);
        for (unsigned i = 0; i < count; ++i)
          if (!InputQueue.Read(InputBlock[i])) InputBlock[i] = 0;
        Encoder.EncodeBlock(InputBlock);
      }
    }
    if (State & kRunning) {
      Modulator.Send(Encoder.SymbolBlock[SymbolPtr]);
      if (++SymbolPtr >= SymbolsPerBlock) SymbolPtr = 0;
    }
    const unsigned n = Modulator.Output(ModulatorOutput.get());
    const int m = Converter.Process(ModulatorOutput.get(), n, ConverterOutput.get());
    if (m < 0) return m;

    Type peak = 0;
    for (int i = 0; i < m; ++i) peak = std::max<Type>(peak, std::abs(ConverterOutput[i]));
    // Silence has no peak to scale by and goes out unchanged.
    for (int i = 0; i < m; ++i) buffer[i] = (peak > 0) ? ConverterOutput[i] / peak : ConverterOutput[i];
    return m;
  }

 private:
  int Fail() {
    Free();
    return -1;
  }
};

}  // namespace quillon
