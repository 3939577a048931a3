#pragma once

// Planar 32-bit float audio and its files (libsndfile).

#include "tools/auhost/Status.h"

#include <cstdint>
#include <string>
#include <vector>

namespace auhost
{

struct AudioData
{
  double sampleRate = 44100.0;
  std::vector<std::vector<float>> channels; // one vector per channel, all the same length

  uint32_t NChannels() const { return static_cast<uint32_t>(channels.size()); }
  uint64_t NFrames() const { return channels.empty() ? 0 : channels.front().size(); }
  // Makes nChannels channels of nFrames zeros.
  void Resize(uint32_t nChannels, uint64_t nFrames);
};

// Limits for files the harness reads: enough for any test or product run, small enough that sizes stay exact.
inline constexpr uint32_t kMaxFileChannels = 64;
inline constexpr uint64_t kMaxFileFrames = uint64_t(1) << 31;

// [main thread] Reads any format libsndfile knows into floats. Failure: one line with the path and the reason
// (missing, unreadable, no channels, more than kMaxFileChannels channels or kMaxFileFrames frames, non-finite
// or non-positive sample rate).
Status ReadAudioFile(const std::string& path, AudioData& out);

// [main thread] Writes the data as 32-bit float; the container follows the extension (.wav, .aif/.aiff, .caf,
// .flac (24-bit integer), .w64; anything else is refused). Failure: one line with the path and the reason.
Status WriteAudioFile(const std::string& path, const AudioData& data);

} // namespace auhost
