// An automatic update check that cannot reach the service: the check counts as done, no update is announced and
// nothing is shown. (Checks against a local HTTPS server: the update-check tests.)

#include "engine/support/editor_env.h"

using namespace plugin;
using namespace testsupport;

TEST_F(EditorTest, AFailedAutomaticCheckLeavesNoUpdateAndShowsNothing)
{
  // The whole transfer may take 25 s unless told otherwise; no certificate file of its own.
  UpdateCheck::SetTimeoutMs(0);
  UpdateCheck::SetCAFile(nullptr);
  EXPECT_EQ(std::pair(UpdateCheck::GetTimeoutMs(), std::string(UpdateCheck::GetCAFile())),
            std::pair(25000L, std::string()));

  // Nothing listens on port 1 of this machine: the connection is refused at once.
  UpdateCheck::SetHost("https://127.0.0.1:1");
  UpdateCheck::SetChecked(false);
  UpdateCheck::SetUpdateAvailable(true); // a stale flag from an earlier check is cleared
  EditorZANIQ& z = MakeEditor();
  z.OpenEditor();
  z.Control(EditorZANIQ::kUpdateIcon)->SetValue(1.0);
  z.OnIdle();
  EXPECT_TRUE(UpdateCheck::WasChecked());
  EXPECT_FALSE(UpdateCheck::IsUpdateAvailable());
  EXPECT_EQ(z.GetUpdateStatus(), 7); // CURLE_COULDNT_CONNECT
  EXPECT_TRUE(z.boxes.empty());
  EXPECT_EQ(z.Control(EditorZANIQ::kUpdateIcon)->GetValue(), 0.0);
}
