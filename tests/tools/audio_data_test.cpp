// Audio files through the harness: exact float round trips, integer containers, and refusals that name the file.

#include "support/TempFolder.h"
#include "tools/auhost/AudioData.h"

#include <sndfile.h>

#include <cmath>
#include <random>

using namespace auhost;
using toolstest::TempFolder;

namespace
{

AudioData Random(uint32_t channels, uint64_t frames, double rate)
{
  AudioData data;
  data.sampleRate = rate;
  data.Resize(channels, frames);
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> dist(-1.5f, 1.5f); // floats keep values beyond full scale
  for (auto& ch : data.channels)
    for (float& s : ch) s = dist(rng);
  return data;
}

} // namespace

TEST(AudioData, FloatContainersRoundTripExactly)
{
  TempFolder temp;
  for (const char* name : {"a.wav", "b.aiff", "c.caf", "d.w64", "E.WAV"})
  {
    const AudioData data = Random(name[0] == 'a' ? 1 : 3, 5000, 48000.0);
    ASSERT_TRUE(WriteAudioFile(temp / name, data).ok()) << name;
    AudioData read;
    const Status s = ReadAudioFile(temp / name, read);
    ASSERT_TRUE(s.ok()) << s.message();
    EXPECT_EQ(read.sampleRate, 48000.0);
    EXPECT_EQ(read.channels, data.channels) << name;
  }
}

TEST(AudioData, FlacHoldsTwentyFourBits)
{
  TempFolder temp;
  AudioData data = Random(2, 1000, 44100.0);
  for (auto& ch : data.channels)
    for (float& s : ch) s *= 0.5f;
  ASSERT_TRUE(WriteAudioFile(temp / "x.flac", data).ok());
  AudioData read;
  ASSERT_TRUE(ReadAudioFile(temp / "x.flac", read).ok());
  ASSERT_EQ(read.NChannels(), 2u);
  ASSERT_EQ(read.NFrames(), 1000u);
  for (uint32_t c = 0; c < 2; ++c)
    for (uint64_t i = 0; i < 1000; ++i) EXPECT_NEAR(read.channels[c][i], data.channels[c][i], 1.0 / (1 << 23));
}

TEST(AudioData, ReadsIntegerFilesAsFloats)
{
  TempFolder temp;
  SF_INFO info = {};
  info.samplerate = 22050;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open((temp / "int.wav").c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr);
  const short frames[] = {16384, -16384, 0, 32767};
  ASSERT_EQ(sf_writef_short(f, frames, 2), 2);
  sf_close(f);
  AudioData read;
  ASSERT_TRUE(ReadAudioFile(temp / "int.wav", read).ok());
  EXPECT_EQ(read.sampleRate, 22050.0);
  ASSERT_EQ(read.NFrames(), 2u);
  EXPECT_EQ(read.channels[0], (std::vector<float>{0.5f, 0.f}));
  EXPECT_EQ(read.channels[1][0], -0.5f);
}

TEST(AudioData, RefusalsNameTheFile)
{
  TempFolder temp;
  AudioData read;
  Status s = ReadAudioFile(temp / "missing.wav", read);
  EXPECT_EQ(s.message().rfind(temp / "missing.wav" + ": cannot read audio file", 0), 0u) << s.message();
  temp.Write("junk.wav", "RIFF....WAVEjunk");
  s = ReadAudioFile(temp / "junk.wav", read);
  EXPECT_FALSE(s.ok());
  EXPECT_EQ(s.message().find('\n'), std::string::npos);

  const AudioData data = Random(1, 10, 44100.0);
  s = WriteAudioFile(temp / "out.mp9", data);
  EXPECT_EQ(s.message(), temp / "out.mp9" + ": unknown output format (use .wav, .aiff, .caf, .w64 or .flac)");
  EXPECT_FALSE(WriteAudioFile(temp / "none.wav", AudioData()).ok());
  AudioData ragged = Random(2, 10, 44100.0);
  ragged.channels[1].pop_back();
  EXPECT_EQ(WriteAudioFile(temp / "ragged.wav", ragged).message(), temp / "ragged.wav" + ": channels of different lengths");
  AudioData badRate = data;
  badRate.sampleRate = std::nan("");
  EXPECT_FALSE(WriteAudioFile(temp / "rate.wav", badRate).ok());
  EXPECT_FALSE(WriteAudioFile(temp / "no/such/folder/x.wav", data).ok());
}
