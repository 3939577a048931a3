#include "graphics/IGraphics.h"

#include "controls/IControl.h"
#include "framework/IGEditorDelegate.h"
#include "framework/PluginMidi.h"

#include <algorithm>

namespace plugin::igraphics
{

// ---------------------------------------------------------------------------------------------------------------
// Gesture regions
// ---------------------------------------------------------------------------------------------------------------

void IGraphics::AttachGestureRecognizer(EGestureType type)
{
  if (std::find(mRegisteredGestures.begin(), mRegisteredGestures.end(), type) == mRegisteredGestures.end())
    mRegisteredGestures.push_back(type);
}

void IGraphics::AttachGestureRecognizerToRegion(const IRECT& bounds, EGestureType type, IGestureFunc func)
{
  mGestureRegions.Add(bounds);
  AttachGestureRecognizer(type);
  mGestureRegionFuncs[mGestureRegions.Size() - 1] = std::move(func);
}

void IGraphics::ClearGestureRegions()
{
  mGestureRegions.Clear();
  mGestureRegionFuncs.clear();
}

bool IGraphics::RespondsToGesture(float x, float y)
{
  const IControl* control = GetMouseControl(x, y, false);
  if (control && control->HasGestures() && !control->GetAnimationFunction()) return true;
  for (int i = 0; i < mGestureRegions.Size(); ++i)
    if (mGestureRegions.Get(i).Contains(x, y)) return true;
  return false;
}

void IGraphics::OnGestureRecognized(const IGestureInfo& info)
{
  CallScope scope(*this);
  IControl* control = GetMouseControl(info.x, info.y, false);
  if (control && control->HasGestures() && !control->GetAnimationFunction())
  {
    control->OnGesture(info);
    return;
  }
  for (int i = 0; i < mGestureRegions.Size(); ++i)
  {
    if (!mGestureRegions.Get(i).Contains(info.x, info.y)) continue;
    const auto it = mGestureRegionFuncs.find(i);
    if (it != mGestureRegionFuncs.end() && it->second) it->second(nullptr, info);
    return;
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Computer keyboard as a note keyboard
// ---------------------------------------------------------------------------------------------------------------

namespace
{

// One keyboard for the whole process, as there is one computer keyboard.
struct QwertyState
{
  int baseNote = 48;
  bool held[128] = {};
};

QwertyState& Qwerty()
{
  static QwertyState state;
  return state;
}

// Offset from the base note of each letter key, -1 for keys that play nothing.
int NoteOffset(int vk)
{
  switch (vk)
  {
  case 'A':
    return 0;
  case 'W':
    return 1;
  case 'S':
    return 2;
  case 'E':
    return 3;
  case 'D':
    return 4;
  case 'F':
    return 5;
  case 'T':
    return 6;
  case 'G':
    return 7;
  case 'Y':
    return 8;
  case 'H':
    return 9;
  case 'U':
    return 10;
  case 'J':
    return 11;
  case 'K':
    return 12;
  case 'O':
    return 13;
  case 'L':
    return 14;
  default:
    return -1;
  }
}

} // namespace

void IGraphics::SetQwertyMidiKeyHandlerFunc(IMidiQwertyFunc func)
{
  mKeyHandlerFunc = [this, func](const IKeyPress& key, bool isUp)
  {
    QwertyState& q = Qwerty();
    const auto send = [&](uint8_t status, int note, uint8_t velocity)
    {
      const IMidiMsg msg(0, status, static_cast<uint8_t>(note), velocity);
      mDelegate->SendMidiMsgFromUI(msg);
      if (func) func(msg);
    };

    const int offset = NoteOffset(key.VK);
    if (offset >= 0)
    {
      const int note = q.baseNote + offset;
      if (note >= 0 && note < 128)
      {
        if (!isUp && !q.held[note])
        {
          q.held[note] = true;
          send(0x90, note, 127);
        }
        else if (isUp && q.held[note])
        {
          q.held[note] = false;
          send(0x80, note, 0);
        }
      }
    }
    else if (!isUp && (key.VK == 'Z' || key.VK == 'X'))
    {
      q.baseNote =
          key.VK == 'Z' ? std::min(std::max(q.baseNote, 36), 108) - 12 : std::min(std::max(q.baseNote, 12), 84) + 12;
      // The flag goes with the note-off, so the next press of that key plays again.
      for (int note = 0; note < 128; ++note)
      {
        if (!q.held[note]) continue;
        q.held[note] = false;
        send(0x80, note, 0);
      }
    }
    return true;
  };
}

} // namespace plugin::igraphics
