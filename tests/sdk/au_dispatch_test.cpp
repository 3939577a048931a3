// Host calls reach a component through its factory record's Lookup, or through a Component Manager entry as
// parameter blocks. The bundle tests drive both with real plug-ins; here what they cannot see: disposal and failed
// opens, float bits through the prototype, the block layout written out by hand and its bounds.
#include <AudioToolbox/AUTesting.h>
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

namespace
{

// A version 2 component: the instance handle is this record.
struct FakeUnit
{
  AudioComponentPlugInInterface plugin; // first
  AudioComponentInstance instance = nullptr;
  Float32 value = 0;
};

int gClosed = 0;
OSStatus gOpenResult = noErr;

OSStatus FakeOpen(void* self, AudioComponentInstance instance)
{
  static_cast<FakeUnit*>(self)->instance = instance;
  if (gOpenResult != noErr) delete static_cast<FakeUnit*>(self); // nothing built: the record is ours to free
  return gOpenResult;
}
OSStatus FakeClose(void* self)
{
  delete static_cast<FakeUnit*>(self);
  ++gClosed;
  return noErr;
}
OSStatus FakeSetParameter(void* self, AudioUnitParameterID, AudioUnitScope, AudioUnitElement,
                          AudioUnitParameterValue value, UInt32)
{
  static_cast<FakeUnit*>(self)->value = value;
  return noErr;
}
AudioComponentMethod FakeLookup(SInt16 selector)
{
  return selector == kAudioUnitSetParameterSelect ? reinterpret_cast<AudioComponentMethod>(&FakeSetParameter)
                                                   : nullptr;
}
AudioComponentPlugInInterface* FakeFactory(const AudioComponentDescription*)
{
  auto* unit = new FakeUnit;
  unit->plugin = {&FakeOpen, &FakeClose, &FakeLookup, nullptr};
  return &unit->plugin;
}
AudioComponentPlugInInterface* NullFactory(const AudioComponentDescription*)
{
  return nullptr;
}

TEST(AUDispatch, InstancesOpenOnceAndAreDisposedOnce)
{
  gClosed = 0;
  const AudioComponentDescription a{kAudioUnitType_Effect, 0x44535041, 0x51545354, 0, 0};
  AudioComponentDescription b = a;
  b.componentSubType = 0x44535042;
  AudioComponent ca = AudioComponentRegister(&a, CFSTR("Fake: A"), 7, &FakeFactory);
  AudioComponent cb = AudioComponentRegister(&b, nullptr, 8, &NullFactory);
  EXPECT_EQ(AudioComponentRegister(&a, nullptr, 0, nullptr), nullptr);
  AudioComponentDescription anySubtype = a;
  anySubtype.componentSubType = 0;
  EXPECT_EQ(AudioComponentFindNext(ca, &anySubtype), cb);

  AudioUnit unit = nullptr;
  ASSERT_EQ(AudioComponentInstanceNew(ca, &unit), noErr);
  EXPECT_EQ(reinterpret_cast<FakeUnit*>(unit)->instance, unit);
  // Values whose bits a double promotion or an integer register would not preserve.
  for (const Float32 v : {0.1f, -3.25e-39f, -0.0f})
  {
    ASSERT_EQ(AudioUnitSetParameter(unit, 7, kAudioUnitScope_Global, 3, v, 511), noErr);
    EXPECT_EQ(std::memcmp(&reinterpret_cast<FakeUnit*>(unit)->value, &v, sizeof v), 0) << v;
  }
  EXPECT_EQ(AudioUnitReset(unit, kAudioUnitScope_Global, 0), badComponentSelector);
  EXPECT_EQ(AudioComponentInstanceDispose(unit), noErr);
  EXPECT_EQ(AudioComponentInstanceDispose(unit), badComponentInstance); // nothing closed twice
  EXPECT_EQ(gClosed, 1);

  AudioComponentInstance instance = reinterpret_cast<AudioComponentInstance>(&gClosed);
  EXPECT_EQ(AudioComponentInstanceNew(cb, &instance), kAudio_MemFullError);
  EXPECT_EQ(instance, nullptr);
  gOpenResult = kAudioUnitErr_FailedInitialization;
  EXPECT_EQ(AudioComponentInstanceNew(ca, &instance), kAudioUnitErr_FailedInitialization);
  gOpenResult = noErr;
  EXPECT_EQ(instance, nullptr);
  EXPECT_EQ(gClosed, 1) << "a failed open is not followed by close";
  EXPECT_EQ(ZQAULiveInstanceCount(), 0u);
  ZQAUUnregisterAllComponents();
  EXPECT_EQ(AudioComponentInstanceNew(ca, &instance), kAudio_ParamError);
}

// ---- The Component Manager path ----

using Words = std::vector<long>;

struct Call
{
  SInt16 what;
  UInt8 paramSize;
  Words words;
  void* storage;
};
std::vector<Call> gCalls;

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
  gCalls.push_back({p->what, p->paramSize, Words(p->params, p->params + p->paramSize / 8 + 1), storage});
  auto* object = static_cast<FakeObject*>(storage);
  switch (p->what)
  {
  case kComponentOpenSelect:
  {
    auto* made = new FakeObject{Arg<ComponentInstance>(p, 1)};
    SetComponentInstanceStorage(made->instance, reinterpret_cast<Handle>(made));
    return noErr;
  }
  case kComponentCloseSelect:
    delete object;
    return noErr;
  case kComponentVersionSelect:
    return 0x0002020B;
  case kAudioUnitSetParameterSelect:
    object->value = Arg<Float32>(p, 4);
    return noErr;
  case kAudioUnitRenderSelect:
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
    const AudioComponentDescription desc{kAudioUnitType_Effect, 0x434D3031, 0x51545354, 0, 0};
    component_ = ZQAURegisterComponentEntry(&desc, CFSTR("Fake: Entry"), 1, &FakeEntry);
    ASSERT_EQ(AudioComponentInstanceNew(component_, &unit_), noErr);
  }
  void TearDown() override
  {
    EXPECT_TRUE(!unit_ || AudioComponentInstanceDispose(unit_) == noErr);
    ZQAUUnregisterAllComponents();
  }
  FakeObject* Object() const { return reinterpret_cast<FakeObject*>(GetComponentInstanceStorage(unit_)); }
  AudioComponent component_ = nullptr;
  AudioUnit unit_ = nullptr;
};

TEST_F(AUComponentEntry, OpenAndCloseCarryTheInstanceAndStorage)
{
  ASSERT_EQ(gCalls.size(), 1u);
  EXPECT_EQ(std::tie(gCalls[0].what, gCalls[0].words, gCalls[0].storage),
            std::make_tuple(SInt16(kComponentOpenSelect), Words{Word(unit_), Word(unit_)}, nullptr));
  void* storage = Object();
  EXPECT_EQ(AudioComponentInstanceDispose(unit_), noErr);
  EXPECT_EQ(std::tie(gCalls[1].what, gCalls[1].words, gCalls[1].storage),
            std::make_tuple(SInt16(kComponentCloseSelect), Words{Word(unit_), Word(unit_)}, storage));
  EXPECT_EQ(GetComponentInstanceStorage(unit_), nullptr);
  unit_ = nullptr;
}

TEST_F(AUComponentEntry, AudioUnitCallsBecomeParameterBlocks)
{
  EXPECT_EQ(AudioUnitSetParameter(unit_, 12, kAudioUnitScope_Global, 2, -0.3f, 64), noErr);
  Call set = gCalls.back();
  EXPECT_EQ(set.what, kAudioUnitSetParameterSelect);
  EXPECT_EQ(set.paramSize, 5 * 8);
  ASSERT_EQ(set.words.size(), 6u);
  set.words[4] = 0; // the value, checked as it arrived
  EXPECT_EQ(set.words, (Words{Word(unit_), 12, 0, 2, 0, 64}));
  EXPECT_EQ(set.storage, Object());
  EXPECT_EQ(Object()->value, -0.3f);
  AudioUnitRenderActionFlags flags = 0;
  AudioTimeStamp ts{};
  AudioBufferList list{};
  EXPECT_EQ(AudioUnitRender(unit_, &flags, &ts, 3, 128, &list), noErr);
  EXPECT_EQ(gCalls.back().words, (Words{Word(unit_), Word(&flags), Word(&ts), 3, 128, Word(&list)}));
  EXPECT_EQ(AudioUnitReset(unit_, kAudioUnitScope_Global, 0), badComponentSelector);
  EXPECT_EQ(ZQAUCallComponentInstanceWith(unit_, kComponentVersionSelect), 0x0002020B);
  EXPECT_EQ(gCalls.back().words, (Words{Word(unit_)}));
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

} // namespace
