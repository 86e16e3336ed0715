// SPDX-License-Identifier: GPL-3.0-or-later
// The choice of the deep receiver reaches every receiver a station or a
// tool builds, before the receiver is preset, and stays through its presets
// again when the band centre moves.

#include <gtest/gtest.h>

#include <vector>

#include "engine/Receiver.h"
#include "modem/Olivia.h"
#include "modem/ReceiveChain.h"
#include "tools/FrameDecoder.h"

namespace quillon {
namespace {

TEST(DeepReceiverChoice, ReachesTheAdapterTheChainsAndTheDecoders) {
  LinkState link;
  StationState station(link);
  station.diagnostic_output = nullptr;
  for (const bool deep : {false, true}) {
    SCOPED_TRACE(deep ? "deep" : "standard");
    const std::unique_ptr<olivia> adapter = MakeOliviaModem(101, station, deep);
    EXPECT_EQ(adapter->DeepReceiver(), deep);
    EXPECT_EQ(adapter->Receiver().Deep, deep);
    // A new band centre presets the receiver again on the next block.
    const float edge = adapter->Receiver().BandEdge;
    adapter->set_freq(1600.0);
    const std::vector<double> block(kAudioBlockSamples, 0.0);
    adapter->rx_process(block.data(), kAudioBlockSamples);
    EXPECT_NE(adapter->Receiver().BandEdge, edge);
    EXPECT_EQ(adapter->Receiver().Deep, deep);

    OtherModeReceivers others(101, station, deep);
    ASSERT_EQ(others.Chains().size(), kOliviaModes.size() - 1);
    for (const auto& chain : others.Chains()) EXPECT_EQ(chain->Receiver().Deep, deep) << chain->Mode().label;

    FrameDecoder decoder(ModeByNumber(98), deep);
    EXPECT_EQ(decoder.Adapter().Receiver().Deep, deep);
    const std::vector<const OliviaMode*> modes{&ModeByNumber(93), &ModeByNumber(101), &ModeByNumber(111)};
    ModeDecoders decoders(modes, 2, ModeDecoders::Order::kByStart, [](const DecodedFrame&) {}, deep);
    for (std::size_t place = 0; place < modes.size(); ++place)
      EXPECT_EQ(decoders.Decoder(place).Adapter().Receiver().Deep, deep) << modes[place]->label;
  }
}

}  // namespace
}  // namespace quillon
