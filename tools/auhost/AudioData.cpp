// Audio files through libsndfile.

#include "tools/auhost/AudioData.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>

namespace auhost
{

namespace
{

struct SndFileCloser
{
  void operator()(SNDFILE* f) const { sf_close(f); }
};
using SndFilePtr = std::unique_ptr<SNDFILE, SndFileCloser>;

std::string LowerExtension(const std::string& path)
{
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext;
}

constexpr sf_count_t kChunkFrames = 4096;

} // namespace

void AudioData::Resize(uint32_t nChannels, uint64_t nFrames)
{
  channels.assign(nChannels, std::vector<float>(nFrames, 0.0f));
}

Status ReadAudioFile(const std::string& path, AudioData& out)
{
  SF_INFO info = {};
  SndFilePtr file(sf_open(path.c_str(), SFM_READ, &info));
  if (!file) return Status::Error(path + ": cannot read audio file: " + sf_strerror(nullptr));
  if (info.channels <= 0) return Status::Error(path + ": the file has no channels");
  if (static_cast<uint32_t>(info.channels) > kMaxFileChannels)
    return Status::Error(path + ": " + std::to_string(info.channels) + " channels (at most " +
                         std::to_string(kMaxFileChannels) + " are supported)");
  if (info.frames < 0 || static_cast<uint64_t>(info.frames) > kMaxFileFrames)
    return Status::Error(path + ": the file is too long");
  if (info.samplerate <= 0) return Status::Error(path + ": invalid sample rate");

  const auto nCh = static_cast<uint32_t>(info.channels);
  AudioData data;
  data.sampleRate = info.samplerate;
  data.Resize(nCh, static_cast<uint64_t>(info.frames));

  std::vector<float> interleaved(static_cast<size_t>(kChunkFrames) * nCh);
  uint64_t pos = 0;
  while (pos < data.NFrames())
  {
    const sf_count_t want = std::min<sf_count_t>(kChunkFrames, static_cast<sf_count_t>(data.NFrames() - pos));
    const sf_count_t got = sf_readf_float(file.get(), interleaved.data(), want);
    if (got <= 0) break; // a file shorter than its header says: keep what was read
    for (sf_count_t i = 0; i < got; ++i)
      for (uint32_t c = 0; c < nCh; ++c)
        data.channels[c][pos + static_cast<uint64_t>(i)] = interleaved[static_cast<size_t>(i) * nCh + c];
    pos += static_cast<uint64_t>(got);
  }
  for (auto& ch : data.channels) ch.resize(pos);
  out = std::move(data);
  return Status::Ok();
}

Status WriteAudioFile(const std::string& path, const AudioData& data)
{
  const std::string ext = LowerExtension(path);
  int major = 0;
  int subtype = SF_FORMAT_FLOAT;
  if (ext == "wav") major = SF_FORMAT_WAV;
  else if (ext == "aif" || ext == "aiff") major = SF_FORMAT_AIFF;
  else if (ext == "caf") major = SF_FORMAT_CAF;
  else if (ext == "w64") major = SF_FORMAT_W64;
  else if (ext == "flac")
  {
    major = SF_FORMAT_FLAC;
    subtype = SF_FORMAT_PCM_24;
  }
  else
    return Status::Error(path + ": unknown output format (use .wav, .aiff, .caf, .w64 or .flac)");

  const uint32_t nCh = data.NChannels();
  if (nCh == 0 || nCh > kMaxFileChannels) return Status::Error(path + ": cannot write " + std::to_string(nCh) + " channels");
  for (const auto& ch : data.channels)
    if (ch.size() != data.NFrames()) return Status::Error(path + ": channels of different lengths");
  if (!std::isfinite(data.sampleRate) || data.sampleRate < 1.0 || data.sampleRate > 2147483647.0)
    return Status::Error(path + ": invalid sample rate");

  SF_INFO info = {};
  info.samplerate = static_cast<int>(std::lround(data.sampleRate));
  info.channels = static_cast<int>(nCh);
  info.format = major | subtype;
  if (!sf_format_check(&info)) return Status::Error(path + ": the format cannot hold this audio");
  SndFilePtr file(sf_open(path.c_str(), SFM_WRITE, &info));
  if (!file) return Status::Error(path + ": cannot write audio file: " + sf_strerror(nullptr));

  std::vector<float> interleaved(static_cast<size_t>(kChunkFrames) * nCh);
  const uint64_t total = data.NFrames();
  for (uint64_t pos = 0; pos < total;)
  {
    const uint64_t n = std::min<uint64_t>(static_cast<uint64_t>(kChunkFrames), total - pos);
    for (uint64_t i = 0; i < n; ++i)
      for (uint32_t c = 0; c < nCh; ++c) interleaved[i * nCh + c] = data.channels[c][pos + i];
    if (sf_writef_float(file.get(), interleaved.data(), static_cast<sf_count_t>(n)) != static_cast<sf_count_t>(n))
      return Status::Error(path + ": write failed: " + sf_strerror(file.get()));
    pos += n;
  }
  if (sf_close(file.release()) != 0) return Status::Error(path + ": write failed when closing");
  return Status::Ok();
}

} // namespace auhost
