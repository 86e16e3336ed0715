# SPDX-License-Identifier: GPL-3.0-or-later
# The engine's test programs, for the native test build and for
# quillon-engine-tests.exe alike.
set(QUILLON_ENGINE_TESTS
  test_block_code test_burst_detector test_containers test_demodulator test_encoder test_fft
  test_filters test_input_processor test_modulator test_rate_converter test_receiver
  test_signal_meter test_soft_decoder test_soft_decoder_bank test_tone_likelihoods test_transform_memo
  test_transmitter)
