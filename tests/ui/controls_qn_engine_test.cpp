// The product controls on a real ZANIQ: what a click on each kind does to the engine, through the same delegate
// calls the editor makes (parameter changes from the UI, and commands as OnParamChange with source UI).

#include "ui/IBControlsQN.h"
#include "ui/IBValueControlsQN.h"

#include "controls_qn_rig.h"
#include "engine/support/zaniq_env.h"

using namespace qnrig;
using testsupport::TestZANIQ;

namespace
{

class ControlsQNEngine : public testsupport::ZaniqTest
{
protected:
  TestZANIQ* z = nullptr;
  QNGraphics* g = nullptr;
  std::vector<std::unique_ptr<APIBitmap>> images;

  IBSwitchControlExtraQN* pdc = nullptr;
  IBSwitchControlQN* over = nullptr;
  IBRadioButtonsControl3* match = nullptr;
  IBRadioButtonsControl4Special* snap = nullptr;
  IBClickButtonControlQN* store = nullptr;
  IBPushControlQN* reset = nullptr;
  IBKnobMultiControlQN* drive = nullptr;
  IBCornerResizerControlQN* resizer = nullptr;

  IBitmap Bitmap(int w, int h, int frames)
  {
    images.push_back(std::make_unique<APIBitmap>(1, w, h, 1.f, 1.f));
    return IBitmap(images.back().get(), frames, false, "");
  }

  void SetUp() override
  {
    ZaniqTest::SetUp();
    z = &Make();
    z->SetMakeGraphicsFunc([this] { return new QNGraphics(*z, ZANIQ::kEditorBaseWidth, ZANIQ::kEditorBaseHeight); });
    z->SetLayoutFunc(
        [this](IGraphics* ui)
        {
          if (ui->NControls()) return; // laid out once
          pdc = static_cast<IBSwitchControlExtraQN*>(ui->AttachControl(
              new IBSwitchControlExtraQN(189, 62, Bitmap(20, 40, 2), true, false, IColor(16, 255, 255, 255), 61)));
          over = static_cast<IBSwitchControlQN*>(
              ui->AttachControl(new IBSwitchControlQN(329, 48, Bitmap(30, 60, 2), ZANIQ::kEnableOverProtection)));
          const IRECT m1(114, 488, 144, 508), m2(189, 488, 219, 508), m3(264, 488, 294, 508);
          match = static_cast<IBRadioButtonsControl3*>(ui->AttachControl(new IBRadioButtonsControl3(
              m1.Union(m3), ZANIQ::kMatchMode, m1, Bitmap(30, 40, 2), m2, Bitmap(30, 40, 2), m3, Bitmap(30, 40, 2))));
          std::vector<IRECT> s;
          for (int i = 0; i < 4; ++i)
            s.push_back(IRECT::MakeXYWH(120.f + 40.f * float(i), 552, 30, 20));
          snap = static_cast<IBRadioButtonsControl4Special*>(ui->AttachControl(new IBRadioButtonsControl4Special(
              IRECT(120, 552, 270, 572), ZANIQ::kSnapShot, s[0], Bitmap(30, 60, 3), s[1], Bitmap(30, 60, 3), s[2],
              Bitmap(30, 60, 3), s[3], Bitmap(30, 60, 3), false, 64)));
          store = static_cast<IBClickButtonControlQN*>(
              ui->AttachControl(new IBClickButtonControlQN(277, 552, Bitmap(40, 40, 2), 63)));
          reset = static_cast<IBPushControlQN*>(
              ui->AttachControl(new IBPushControlQN(371, 201, Bitmap(20, 40, 2), ZANIQ::kResetSenderRMS)));
          drive = static_cast<IBKnobMultiControlQN*>(ui->AttachControl(
              new IBKnobMultiControlQN(95, 279, ZANIQ::kDriveFX, Bitmap(80, 160, 2), IText(), IColor(128, 14, 13, 12),
                                       5, kVertical, false, true, false, 1, true, false, 4.0, 0.f)));
          resizer = new IBCornerResizerControlQN(IRECT(0, 0, 424, 610), Bitmap(16, 32, 2), -1, -1, 56, 57, 0.f, 0.f);
          ui->AttachCornerResizer(resizer, EUIResizerMode::Scale, true);
          ZANIQ::EditorControlPositions p;
          p.latencyButton = 0;
          z->SetEditorControlPositions(p);
        });
    (void)z->OpenWindow(nullptr);
    g = static_cast<QNGraphics*>(z->GetUI());
    ASSERT_NE(g, nullptr);
    ASSERT_NE(pdc, nullptr);
  }
  void TearDown() override
  {
    if (z) z->CloseWindow();
    ZaniqTest::TearDown();
  }

  void Click(IControl* c, float x, float y, const IMouseMod& mod = kNone)
  {
    c->OnMouseDown(x, y, mod);
    c->OnMouseUp(x, y, mod);
  }
};

} // namespace

TEST_F(ControlsQNEngine, LatencyButtonStartsAndStopsTheMeasurementAndTheEngineLightsIt)
{
  EXPECT_FALSE(z->IsMeasurementRunning());
  Click(pdc, 195, 70);
  EXPECT_TRUE(z->IsMeasurementRunning());
  EXPECT_EQ(pdc->GetValue(), 1.0);
  Click(pdc, 195, 70);
  EXPECT_FALSE(z->IsMeasurementRunning());
  EXPECT_EQ(pdc->GetValue(), 0.0);
}

TEST_F(ControlsQNEngine, SwitchesRadioGroupsAndPushButtonsReachTheEngine)
{
  Click(over, 335, 55);
  EXPECT_EQ(z->GetMirrorInt(ZANIQ::kEnableOverProtection), 1);
  Click(over, 335, 55);
  EXPECT_EQ(z->GetMirrorInt(ZANIQ::kEnableOverProtection), 0);

  for (const auto& [x, mode] : std::vector<std::pair<float, int>>{{270, 2}, {120, 0}, {195, 1}})
  {
    Click(match, x, 495);
    EXPECT_EQ(z->GetMirrorInt(ZANIQ::kMatchMode), mode) << x;
    EXPECT_EQ(z->Value(ZANIQ::kMatchMode), mode);
  }

  // The push button is 1 only while held.
  reset->OnMouseDown(375, 205, kNone);
  EXPECT_EQ(z->Value(ZANIQ::kResetSenderRMS), 1.0);
  reset->OnMouseUp(375, 205, kNone);
  EXPECT_EQ(z->Value(ZANIQ::kResetSenderRMS), 0.0);
}

TEST_F(ControlsQNEngine, SnapshotButtonsSelectBeforeTheRecallCommand)
{
  // Store the current drive in snapshot 2, change it, then recall by clicking snapshot 2 again.
  drive->SetValue(z->GetParam(ZANIQ::kDriveFX)->ToNormalized(3.0));
  drive->SetDirty(true);
  ASSERT_TRUE(testsupport::Holds(*z, ZANIQ::kDriveFX, 3.0));
  Click(snap, 165, 560);
  EXPECT_EQ(z->GetMirrorInt(ZANIQ::kSnapShot), 1);
  Click(store, 280, 560);
  EXPECT_EQ(z->GetMirrorInt(ZANIQ::kStoreSetFlag0 + 3), 1);

  z->Change(ZANIQ::kDriveFX, -5.0);
  Click(snap, 125, 560); // snapshot 1 is empty: nothing recalled
  EXPECT_EQ(z->GetMirror(ZANIQ::kDriveFX), -5.0);
  Click(snap, 165, 560);
  EXPECT_EQ(z->GetMirror(ZANIQ::kDriveFX), 3.0);
}

TEST_F(ControlsQNEngine, KnobWheelOnDriveAndResizerResetReachTheEngine)
{
  z->Change(ZANIQ::kDriveFX, 0.0);
  drive->SetValue(0.5);
  drive->OnMouseWheel(130, 300, kNone, 1.f); // 0.01 of 48 dB
  EXPECT_NEAR(z->Value(ZANIQ::kDriveFX), 0.48, 1e-9);

  // Double click on the scale-only resizer: GUI scale back to 100 %, a rescale pending.
  z->Change(ZANIQ::kGUIScale, 1.5);
  resizer->OnMouseDblClick(420, 605, kNone);
  EXPECT_EQ(z->GetMirror(ZANIQ::kGUIScale), 1.0);
  EXPECT_TRUE(z->IsRescalePending());
  EXPECT_EQ(g->GetResizerMode(), EUIResizerMode::Scale);
}
