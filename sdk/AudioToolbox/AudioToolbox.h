// AudioToolbox: the Audio Unit interface (components, units, properties, music devices, notifications).
#pragma once

#include <CoreAudio/CoreAudioTypes.h>
#include <AudioToolbox/AudioComponent.h>
#include <AudioToolbox/AUComponent.h>
#include <AudioToolbox/AudioUnitProperties.h>
#include <AudioToolbox/MusicDevice.h>
#include <AudioToolbox/AudioUnitUtilities.h>
