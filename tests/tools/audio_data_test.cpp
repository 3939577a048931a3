// Audio files through the harness: exact float round trips, integer containers, and refusals that name the file.

#include "support/AuhostRun.h"

#include <cmath>

using namespace auhost;
using namespace toolstest;

TEST(AudioData, ContainersRoundTrip)
{
  // Float containers keep every value exactly, beyond full scale too; FLAC holds 24 bits.
  TempFolder temp;
  for (const char* name : {"a.wav", "b.aiff", "c.caf", "d.w64", "E.WAV", "f.flac"})
  {
    const bool flac = name[0] == 'f';
    const AudioData data = Sine(name[0] == 'a' ? 1 : flac ? 2 : 3, 5000, 997.0, flac ? 0.75 : 1.5);
    ASSERT_TRUE(WriteAudioFile(temp / name, data).ok()) << name;
    AudioData read;
    ASSERT_TRUE(ReadAudioFile(temp / name, read).ok()) << name;
    EXPECT_EQ(read.sampleRate, 48000.0);
    ASSERT_EQ(read.NChannels(), data.NChannels());
    ASSERT_EQ(read.NFrames(), data.NFrames());
    double worst = 0.0;
    for (uint32_t c = 0; c < data.NChannels(); ++c)
      for (uint64_t i = 0; i < data.NFrames(); ++i)
        worst = std::max(worst, std::fabs(double(read.channels[c][i]) - data.channels[c][i]));
    EXPECT_LE(worst, flac ? 1.0 / (1 << 23) : 0.0) << name;
  }
}

TEST(AudioData, RefusalsNameTheFile)
{
  TempFolder temp;
  AudioData read;
  Status s = ReadAudioFile(temp / "missing.wav", read);
  EXPECT_EQ(s.message().rfind(temp / "missing.wav" + ": cannot read audio file", 0), 0u) << s.message();

  const AudioData data = Sine(1, 10, 997.0, 1.0, 44100.0);
  s = WriteAudioFile(temp / "out.mp9", data);
  EXPECT_EQ(s.message(), temp / "out.mp9" + ": unknown output format (use .wav, .aiff, .caf, .w64 or .flac)");
  EXPECT_FALSE(WriteAudioFile(temp / "none.wav", AudioData()).ok());
  AudioData ragged = Sine(2, 10, 997.0, 1.0, 44100.0);
  ragged.channels[1].pop_back();
  EXPECT_EQ(WriteAudioFile(temp / "ragged.wav", ragged).message(),
            temp / "ragged.wav" + ": channels of different lengths");
  EXPECT_FALSE(WriteAudioFile(temp / "no/such/folder/x.wav", data).ok());
}
