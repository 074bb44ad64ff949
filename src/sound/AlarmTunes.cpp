#include "sound/AlarmTunes.h"

namespace orvanta {

namespace {

// Each sound has a lead and a quieter, slightly later echo on the other side.
constexpr AlarmTune kBeeps = {
    "t152 @80 v120 p64 o6 l8 r8      aaaarrrr aaaarrrr aaaarrrr rrrrrrrr",
    "t152 @80 v40  p64 o6 l8 r8 r32. aaaarrrr aaaarrrr aaaarrrr rrrrrrrr",
};

constexpr AlarmTune kChime = {
    "t120 @81 v120 p64 o6 l1 r8 a r",
    "t120 @81 v120 p64 o7 l1 r8 e r",
};

constexpr AlarmTune kBell = {
    "t180 @11 v120 p56 o4 l1 r8      a r",
    "t180 @11 v40  p72 o4 l1 r8 r16. a r",
};

constexpr AlarmTune kArpeggio = {
    "t180 @10 v120 p56 o5 l2 r8      r r r c&c r1", "t180 @10 v120 p56 o4 l2 r8      r r g&g r r1",
    "t180 @10 v120 p56 o4 l2 r8      r e&e r r r1", "t180 @10 v120 p56 o4 l2 r8      c&c r r r r1",
    "t180 @10 v40  p72 o5 l2 r8 r16. r r r c&c r1", "t180 @10 v40  p72 o4 l2 r8 r16. r r g&g r r1",
    "t180 @10 v40  p72 o4 l2 r8 r16. r e&e r r r1", "t180 @10 v40  p72 o4 l2 r8 r16. c&c r r r r1",
};

constexpr AlarmTune kSilence = {"t120 @0 r1"};

}  // namespace

const AlarmTune& alarmTune(int soundNumber) {
    switch (soundNumber) {
        case 1:
            return kBeeps;
        case 2:
            return kChime;
        case 3:
            return kBell;
        case 4:
            return kArpeggio;
        default:
            return kSilence;
    }
}

}  // namespace orvanta
