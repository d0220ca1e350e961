// Which picture each part of a channel strip shows, from the channel's state. Pure functions,
// so the rules can be checked without a window.
#pragma once

#include <cstdint>

namespace mic::ui {

struct DigitPair {
    int tens = 0;
    int units = 0;
};

// Gain display of a channel: the set is chosen by the status (1 or 2) and by whether the
// channel counts as assigned (an assignment while at least one rack is on line); any other
// status shows the blank picture. With console type 1 the assigned sets show steps 3-9 and 11
// with pictures 0, 1, 3, 4, 5, 6, 8, 10 of the set and have no picture (0) for 10, 12 and 13.
int GainDisplayPicture(uint32_t status, uint32_t setting, bool assigned, bool anyRackOnLine,
                       int consoleType);

// Channel-number digits: an unavailable channel (status 0 while a rack is on line) shows its
// number 1-12 in the unavailable set; an assigned channel shows the assignment value in the
// assigned set; any other shows its number in the normal set.
DigitPair ChannelNumberPictures(int channel, uint32_t status, uint32_t assignment,
                                bool anyRackOnLine);

// Rack button picture.
int RackButtonPicture(bool onLine, bool displayed);

// Info area: the picture of a gain step (3-13, clamped), or the default for a negative step.
int InfoPicture(int gainStep);

}  // namespace mic::ui
