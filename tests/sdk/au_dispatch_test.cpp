// Host calls reach a factory-made component through Lookup with their arguments intact.
#include <AudioToolbox/AUTesting.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tuple>
#include <vector>

namespace
{

// A small version 2 component: records what its methods receive.
struct FakeUnit
{
  AudioComponentPlugInInterface plugin; // first: the instance handle is this record
  AudioComponentInstance instance = nullptr;
  AudioUnitParameterID paramID = 0;
  AudioUnitScope scope = 99;
  AudioUnitElement element = 99;
  Float32 value = 0;
  UInt32 offset = 0, bus = 0, frames = 0;
  AudioUnitRenderActionFlags* flags = nullptr;
  const AudioTimeStamp* timeStamp = nullptr;
  AudioBufferList* buffers = nullptr;
  OSStatus renderResult = noErr;
  int initializeCalls = 0;
};

int gClosed = 0;
OSStatus gOpenResult = noErr;

FakeUnit* Fake(void* self)
{
  return static_cast<FakeUnit*>(self);
}

OSStatus FakeOpen(void* self, AudioComponentInstance instance)
{
  Fake(self)->instance = instance;
  if (gOpenResult != noErr) delete Fake(self); // nothing built: the record is ours to free
  return gOpenResult;
}
OSStatus FakeClose(void* self)
{
  delete Fake(self);
  ++gClosed;
  return noErr;
}
OSStatus FakeInitialize(void* self)
{
  ++Fake(self)->initializeCalls;
  return kAudioUnitErr_FailedInitialization; // errors pass through unchanged
}
OSStatus FakeSetParameter(void* self, AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                          AudioUnitParameterValue value, UInt32 offset)
{
  FakeUnit* u = Fake(self);
  std::tie(u->paramID, u->scope, u->element, u->value, u->offset) = std::tie(id, scope, element, value, offset);
  return noErr;
}
OSStatus FakeGetParameter(void* self, AudioUnitParameterID, AudioUnitScope, AudioUnitElement,
                          AudioUnitParameterValue* out)
{
  *out = Fake(self)->value;
  return noErr;
}
OSStatus FakeRender(void* self, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* ts, UInt32 bus, UInt32 frames,
                    AudioBufferList* buffers)
{
  FakeUnit* u = Fake(self);
  std::tie(u->flags, u->timeStamp, u->bus, u->frames, u->buffers) = std::tie(flags, ts, bus, frames, buffers);
  *flags |= kAudioUnitRenderAction_OutputIsSilence;
  return u->renderResult;
}

template <typename F> AudioComponentMethod Method(F f)
{
  return reinterpret_cast<AudioComponentMethod>(f);
}
AudioComponentMethod FakeLookup(SInt16 selector)
{
  if (selector == kAudioUnitInitializeSelect) return Method(&FakeInitialize);
  if (selector == kAudioUnitSetParameterSelect) return Method(&FakeSetParameter);
  if (selector == kAudioUnitGetParameterSelect) return Method(&FakeGetParameter);
  if (selector == kAudioUnitRenderSelect) return Method(&FakeRender);
  return nullptr;
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

AudioComponentDescription Desc(OSType subtype)
{
  return {kAudioUnitType_Effect, subtype, 0x51545354, 0, 0};
}

class AUDispatch : public ::testing::Test
{
protected:
  void SetUp() override
  {
    gClosed = 0;
    gOpenResult = noErr;
    const AudioComponentDescription desc = Desc(0x44535031);
    component_ = AudioComponentRegister(&desc, CFSTR("Fake: Dispatch"), 0x00010203, &FakeFactory);
    ASSERT_NE(component_, nullptr);
    ASSERT_EQ(AudioComponentInstanceNew(component_, &unit_), noErr);
  }
  void TearDown() override
  {
    EXPECT_TRUE(!unit_ || AudioComponentInstanceDispose(unit_) == noErr);
    ZQAUUnregisterAllComponents();
  }
  FakeUnit* Record() const { return reinterpret_cast<FakeUnit*>(unit_); }
  AudioComponent component_ = nullptr;
  AudioUnit unit_ = nullptr;
};

TEST_F(AUDispatch, InstanceIsTheRecordAndIsDisposedOnce)
{
  EXPECT_EQ(Record()->instance, unit_);
  EXPECT_EQ(AudioComponentInstanceGetComponent(unit_), component_);
  EXPECT_TRUE(AudioComponentInstanceCanDo(unit_, kAudioUnitRenderSelect));
  EXPECT_FALSE(AudioComponentInstanceCanDo(unit_, kAudioUnitResetSelect));
  EXPECT_EQ(AudioComponentInstanceDispose(unit_), noErr);
  EXPECT_EQ(AudioComponentInstanceDispose(unit_), badComponentInstance); // nothing closed twice
  EXPECT_EQ(gClosed, 1);
  unit_ = nullptr;
}

// Each call goes through its method's exact prototype: floats keep their bits, results pass through unchanged.
TEST_F(AUDispatch, ArgumentsAndResultsPassIntact)
{
  // Values whose bits a double promotion or an integer register would not preserve.
  for (const Float32 v : {0.1f, -3.25e-39f, -0.0f})
  {
    ASSERT_EQ(AudioUnitSetParameter(unit_, 7, kAudioUnitScope_Global, 3, v, 511), noErr);
    EXPECT_EQ(std::memcmp(&Record()->value, &v, sizeof v), 0) << v;
    EXPECT_EQ((std::vector<UInt32>{Record()->paramID, Record()->scope, Record()->element, Record()->offset}),
              (std::vector<UInt32>{7, kAudioUnitScope_Global, 3, 511}));
  }
  Float32 out = 0;
  EXPECT_EQ(AudioUnitGetParameter(unit_, 7, kAudioUnitScope_Global, 0, &out), noErr);
  EXPECT_TRUE(out == 0.0f && std::signbit(out));

  AudioUnitRenderActionFlags flags = kAudioUnitRenderAction_PreRender;
  AudioTimeStamp ts{};
  AudioBufferList list{};
  EXPECT_EQ(AudioUnitRender(unit_, &flags, &ts, 1, 256, &list), noErr);
  EXPECT_EQ(std::tie(Record()->flags, Record()->timeStamp, Record()->buffers, Record()->bus, Record()->frames),
            std::make_tuple(&flags, &ts, &list, 1u, 256u));
  EXPECT_EQ(flags, kAudioUnitRenderAction_PreRender | kAudioUnitRenderAction_OutputIsSilence);
  Record()->renderResult = -12345; // e.g. an upstream status
  EXPECT_EQ(AudioUnitRender(unit_, &flags, &ts, 0, 1, &list), -12345);

  EXPECT_EQ(AudioUnitInitialize(unit_), kAudioUnitErr_FailedInitialization);
  EXPECT_EQ(Record()->initializeCalls, 1);
  EXPECT_EQ(AudioUnitReset(unit_, kAudioUnitScope_Global, 0), badComponentSelector);
  EXPECT_EQ(AudioUnitInitialize(nullptr), kAudio_ParamError);
}

TEST(AUComponentRegistry, FindAndFailures)
{
  const AudioComponentDescription a = Desc(0x44535041), b = Desc(0x44535042);
  AudioComponent ca = AudioComponentRegister(&a, CFSTR("Fake: A"), 7, &FakeFactory);
  AudioComponent cb = AudioComponentRegister(&b, nullptr, 8, &NullFactory);
  EXPECT_EQ(AudioComponentRegister(nullptr, nullptr, 0, &FakeFactory), nullptr);
  EXPECT_EQ(AudioComponentRegister(&a, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(AudioComponentFindNext(nullptr, &a), ca);
  EXPECT_EQ(AudioComponentFindNext(ca, &a), nullptr);
  AudioComponentDescription anySubtype = a;
  anySubtype.componentSubType = 0;
  EXPECT_EQ(AudioComponentFindNext(ca, &anySubtype), cb);
  CFStringRef name = nullptr;
  EXPECT_EQ(AudioComponentCopyName(cb, &name), noErr);
  EXPECT_EQ(name, nullptr);
  int unknown = 0;
  AudioComponentInstance instance = reinterpret_cast<AudioComponentInstance>(&unknown);
  EXPECT_EQ(AudioComponentInstanceNew(cb, &instance), kAudio_MemFullError);
  EXPECT_EQ(instance, nullptr);
  gClosed = 0;
  gOpenResult = kAudioUnitErr_FailedInitialization;
  EXPECT_EQ(AudioComponentInstanceNew(ca, &instance), kAudioUnitErr_FailedInitialization);
  EXPECT_EQ(instance, nullptr);
  EXPECT_EQ(gClosed, 0); // a failed open is not followed by close
  gOpenResult = noErr;
  EXPECT_EQ(ZQAULiveInstanceCount(), 0u);
  ZQAUUnregisterAllComponents();
  EXPECT_EQ(AudioComponentFindNext(nullptr, &a), nullptr);
  EXPECT_EQ(AudioComponentInstanceNew(ca, &instance), kAudio_ParamError);
}

} // namespace
