// The end of a latency measurement is seen on the audio thread: there the editor hooks only leave a request, and
// the main thread's idle tick touches the controls.

#include "support/ui_env.h"

#include <thread>

using namespace uitest;

TEST_F(EditorTest, ReenablingFromTheAudioSideOnlyRaisesARequest)
{
  UIZANIQ& z = OpenReceiver();
  z.Change(ZANIQ::kLinkID, 3);
  z.Command(61); // measurement starts: controls locked on the main thread
  IControl* latency = z.Ctl(ZANIQ::kCtlLatencyField);
  ASSERT_TRUE(latency->IsDisabled());

  std::thread audio([&] {
    z.EnableModeControls(false);
    z.UpdateControlLayout();
    z.SetLinkMenuMode(0);
    z.UpdateMeterDisplays();
  });
  audio.join();
  EXPECT_TRUE(latency->IsDisabled()); // untouched until the main thread runs the work
  EXPECT_NE(z.PendingEditorWork() & ZANIQ::kEditorEnableModeControls, 0u);
  EXPECT_NE(z.PendingEditorWork() & ZANIQ::kEditorLayout, 0u);

  z.OnIdle();
  EXPECT_FALSE(latency->IsDisabled());
  EXPECT_EQ(z.PendingEditorWork(), 0u);
  z.Command(61);
}

TEST_F(EditorTest, ReadoutsReadWhileTheAudioThreadWrites)
{
  UIZANIQ& z = OpenReceiver();
  z.Change(ZANIQ::kLinkID, 4);
  UIZANIQ::Meter first;
  first.preLevel = 0.5;
  z.SetMeter(first);
  std::atomic<bool> stop{false};
  std::thread audio([&] {
    double g = 0.5;
    while (!stop.load())
    {
      UIZANIQ::Meter m;
      m.preLevel = m.postLevel = m.preMax = g;
      m.gainToMatch = m.matchGain = m.preGain = m.preRatio = g;
      z.SetMeter(m);
      g = g == 0.5 ? 0.25 : 0.5;
    }
  });
  for (int i = 0; i < 200; ++i)
  {
    z.UpdateMeterDisplays();
    auto* t = dynamic_cast<ITextControl*>(z.Ctl(ZANIQ::kCtlPreCurrentReadout));
    const std::string text = t->GetStr();
    EXPECT_TRUE(text == "-6.0" || text == "-12.0") << text;
  }
  stop.store(true);
  audio.join();
}
