#pragma once
// The projector's alarm sounds as music-macro texts.

#include "sound/Synthesizer.h"

namespace orvanta {

constexpr int kAlarmSoundCount = 4;  // sounds 1..4

// The tune of an alarm sound number; numbers other than 1..4 give one silent whole-note rest.
const AlarmTune& alarmTune(int soundNumber);

}  // namespace orvanta
