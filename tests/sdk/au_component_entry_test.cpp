// Component Manager path: parameter blocks built for a component entry, and per-instance storage.
#include <AudioToolbox/AUTesting.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace
{

struct Call
{
  SInt16 what;
  UInt8 paramSize;
  std::vector<long> words;
  void* storage;
};
std::vector<Call> gCalls;
bool gFailOpen = false;

struct FakeObject
{
  ComponentInstance instance = nullptr;
  Float32 value = 0;
};

template <typename T> T Arg(const ComponentParameters* p, int index)
{
  T value;
  std::memcpy(&value, &p->params[index], sizeof value);
  return value;
}

OSStatus FakeEntry(ComponentParameters* p, void* storage)
{
  Call call{p->what, p->paramSize, {}, storage};
  for (int i = 0; i <= p->paramSize / 8; ++i)
    call.words.push_back(p->params[i]);
  gCalls.push_back(call);
  auto* object = static_cast<FakeObject*>(storage);
  switch (p->what)
  {
  case kComponentOpenSelect:
  {
    if (gFailOpen) return kAudioUnitErr_FailedInitialization;
    auto* made = new FakeObject;
    made->instance = Arg<ComponentInstance>(p, 1);
    SetComponentInstanceStorage(made->instance, reinterpret_cast<Handle>(made));
    return noErr;
  }
  case kComponentCloseSelect:
    delete object;
    return noErr;
  case kComponentCanDoSelect:
  {
    const long selector = p->params[1];
    return selector == kAudioUnitSetParameterSelect || selector == kAudioUnitRenderSelect;
  }
  case kComponentVersionSelect:
    return 0x0002020B;
  case kAudioUnitSetParameterSelect:
    object->value = Arg<Float32>(p, 4);
    return noErr;
  case kAudioUnitRenderSelect:
    if (Arg<UInt32>(p, 4) == 0) return kAudioUnitErr_TooManyFramesToProcess;
    return noErr;
  default:
    return badComponentSelector;
  }
}

long Word(const void* p)
{
  return static_cast<long>(reinterpret_cast<uintptr_t>(p));
}

class AUComponentEntry : public ::testing::Test
{
protected:
  void SetUp() override
  {
    gCalls.clear();
    gFailOpen = false;
    const AudioComponentDescription desc{kAudioUnitType_Effect, 0x434D3031, 0x51545354, 0, 0};
    component_ = ZQAURegisterComponentEntry(&desc, CFSTR("Fake: Entry"), 1, &FakeEntry);
    ASSERT_EQ(AudioComponentInstanceNew(component_, &unit_), noErr);
  }
  void TearDown() override
  {
    if (unit_)
    {
      EXPECT_EQ(AudioComponentInstanceDispose(unit_), noErr);
    }
    ZQAUUnregisterAllComponents();
  }
  FakeObject* Object() const { return reinterpret_cast<FakeObject*>(GetComponentInstanceStorage(unit_)); }

  AudioComponent component_ = nullptr;
  AudioUnit unit_ = nullptr;
};

TEST_F(AUComponentEntry, OpenAndCloseCarryTheInstanceAndStorage)
{
  ASSERT_EQ(gCalls.size(), 1u);
  EXPECT_EQ(gCalls[0].what, kComponentOpenSelect);
  EXPECT_EQ(gCalls[0].words, (std::vector<long>{Word(unit_), Word(unit_)}));
  EXPECT_EQ(gCalls[0].storage, nullptr);
  ASSERT_NE(Object(), nullptr);
  EXPECT_EQ(Object()->instance, unit_);

  void* storage = Object();
  EXPECT_EQ(AudioComponentInstanceDispose(unit_), noErr);
  ASSERT_EQ(gCalls.size(), 2u);
  EXPECT_EQ(gCalls[1].what, kComponentCloseSelect);
  EXPECT_EQ(gCalls[1].words, (std::vector<long>{Word(unit_), Word(unit_)}));
  EXPECT_EQ(gCalls[1].storage, storage);
  EXPECT_EQ(GetComponentInstanceStorage(unit_), nullptr);
  EXPECT_EQ(ZQAULiveInstanceCount(), 0u);
  unit_ = nullptr;
}

TEST_F(AUComponentEntry, AudioUnitCallsBecomeParameterBlocks)
{
  const Float32 value = -0.3f;
  EXPECT_EQ(AudioUnitSetParameter(unit_, 12, kAudioUnitScope_Global, 2, value, 64), noErr);
  const Call& set = gCalls.back();
  EXPECT_EQ(set.what, kAudioUnitSetParameterSelect);
  EXPECT_EQ(set.paramSize, 5 * 8);
  ASSERT_EQ(set.words.size(), 6u);
  EXPECT_EQ(set.words[0], Word(unit_));
  EXPECT_EQ(set.words[1], 12);
  EXPECT_EQ(set.words[2], 0);
  EXPECT_EQ(set.words[3], 2);
  EXPECT_EQ(set.words[5], 64);
  EXPECT_EQ(set.storage, Object());
  EXPECT_EQ(Object()->value, value);

  AudioUnitRenderActionFlags flags = 0;
  AudioTimeStamp ts{};
  AudioBufferList list{};
  EXPECT_EQ(AudioUnitRender(unit_, &flags, &ts, 3, 128, &list), noErr);
  EXPECT_EQ(gCalls.back().words, (std::vector<long>{Word(unit_), Word(&flags), Word(&ts), 3, 128, Word(&list)}));
  EXPECT_EQ(AudioUnitRender(unit_, &flags, &ts, 0, 0, &list), kAudioUnitErr_TooManyFramesToProcess);
  EXPECT_EQ(AudioUnitReset(unit_, kAudioUnitScope_Global, 0), badComponentSelector);
}

TEST_F(AUComponentEntry, CanDoAndVersionSelectors)
{
  EXPECT_TRUE(AudioComponentInstanceCanDo(unit_, kAudioUnitRenderSelect));
  EXPECT_EQ(gCalls.back().what, kComponentCanDoSelect);
  EXPECT_EQ(gCalls.back().words, (std::vector<long>{Word(unit_), kAudioUnitRenderSelect}));
  EXPECT_FALSE(AudioComponentInstanceCanDo(unit_, kAudioUnitRemovePropertyListenerWithUserDataSelect));
  EXPECT_EQ(ZQAUCallComponentInstanceWith(unit_, kComponentVersionSelect), 0x0002020B);
  EXPECT_EQ(gCalls.back().words, (std::vector<long>{Word(unit_)}));
  EXPECT_EQ(gCalls.back().paramSize, 0);
}

TEST_F(AUComponentEntry, RawCallsAreBounded)
{
  const long words[kZQAUMaxComponentWords + 1] = {};
  const size_t before = gCalls.size();
  EXPECT_EQ(ZQAUCallComponent(&FakeEntry, nullptr, 0, words, 0), kAudio_ParamError);
  EXPECT_EQ(ZQAUCallComponent(&FakeEntry, nullptr, 0, words, kZQAUMaxComponentWords + 1), kAudio_ParamError);
  EXPECT_EQ(ZQAUCallComponent(nullptr, nullptr, 0, words, 1), kAudio_ParamError);
  EXPECT_EQ(gCalls.size(), before);
  EXPECT_EQ(ZQAUCallComponent(&FakeEntry, nullptr, 0, words, kZQAUMaxComponentWords), badComponentSelector);
  EXPECT_EQ(gCalls.back().words.size(), static_cast<size_t>(kZQAUMaxComponentWords));
  int notAnInstance = 0;
  EXPECT_EQ(ZQAUCallComponentInstance(reinterpret_cast<ComponentInstance>(&notAnInstance), 0, nullptr, 0),
            badComponentInstance);
}

TEST_F(AUComponentEntry, FailedOpenLeavesNoInstance)
{
  gFailOpen = true;
  AudioUnit other = nullptr;
  EXPECT_EQ(AudioComponentInstanceNew(component_, &other), kAudioUnitErr_FailedInitialization);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(ZQAULiveInstanceCount(), 1u); // only the fixture's
}

TEST(AUComponentStorage, PerInstanceRegistry)
{
  int a = 0, b = 0, sa = 0, sb = 0;
  const auto ia = reinterpret_cast<ComponentInstance>(&a);
  const auto ib = reinterpret_cast<ComponentInstance>(&b);
  EXPECT_EQ(GetComponentInstanceStorage(ia), nullptr);
  SetComponentInstanceStorage(ia, reinterpret_cast<Handle>(&sa));
  SetComponentInstanceStorage(ib, reinterpret_cast<Handle>(&sb));
  EXPECT_EQ(GetComponentInstanceStorage(ia), reinterpret_cast<Handle>(&sa));
  EXPECT_EQ(GetComponentInstanceStorage(ib), reinterpret_cast<Handle>(&sb));
  SetComponentInstanceStorage(ia, reinterpret_cast<Handle>(&sb)); // replaces
  EXPECT_EQ(GetComponentInstanceStorage(ia), reinterpret_cast<Handle>(&sb));
  SetComponentInstanceStorage(ia, nullptr);
  EXPECT_EQ(GetComponentInstanceStorage(ia), nullptr);
  EXPECT_EQ(GetComponentInstanceStorage(ib), reinterpret_cast<Handle>(&sb));
  SetComponentInstanceStorage(nullptr, reinterpret_cast<Handle>(&sa)); // ignored
  EXPECT_EQ(GetComponentInstanceStorage(nullptr), nullptr);
  SetComponentInstanceStorage(ib, nullptr);
}

} // namespace
