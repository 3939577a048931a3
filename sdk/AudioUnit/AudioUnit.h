// AudioUnit: the platform's umbrella for the Audio Unit interface, which lives in AudioToolbox.
#pragma once

#include <AudioToolbox/AudioComponent.h>
#include <AudioToolbox/AUComponent.h>
#include <AudioToolbox/AudioUnitProperties.h>
#include <AudioToolbox/MusicDevice.h>
