// Timecode as the console counts it: hours, minutes, seconds, frames, converted to frames at
// the console's timecode rate.
#pragma once

#include <cstdint>
#include <string>

struct CTimecode {
    int hours = 0;  // -1 marks a word that was no timecode
    int minutes = 0;
    int seconds = 0;
    int frames = 0;
    bool operator==(const CTimecode&) const = default;
};

namespace objectkit {

enum class TimecodeRate {
    Fps24,
    Fps25,
    Fps2997Drop,     // 29.97 drop frame: labels 00 and 01 skipped each minute except every tenth
    Fps2997NonDrop,  // 29.97 counted as 30 labels per second
    Fps30,
};

// The console's rate: DWORD "VantorTimcodeRate" under HKEY_LOCAL_MACHINE
// "Software\KESTANE\Kestane Vantor\Timecode" (0 = 24, 1 = 25, 2 = 29.97 drop frame,
// 3 = 29.97 non-drop, 4 = 30). Without it, "VantorTimecodeCurrentFramesPerSec" (24, 25 or 30,
// read as non-drop) decides; without both, 25.
TimecodeRate ReadConsoleTimecodeRate();
// The rate to count an EDL's timecodes at: the console's, switched to drop-frame counting when
// the console runs at 29.97 and the EDL writes its timecodes drop-frame.
TimecodeRate EffectiveRate(TimecodeRate consoleRate, bool edlDropFrame);

int FramesPerSecond(TimecodeRate rate);  // labels per second: 24, 25 or 30
// Frames in one day of timecode: 2,073,600 at 24, 2,160,000 at 25, 2,592,000 at 30 and 29.97
// non-drop, and 2,589,408 at 29.97 drop frame, where each day skips 2,592 labels.
int32_t FramesPerDay(TimecodeRate rate);

// Frames since 00:00:00:00, taken modulo one day (so 24:00:00:00 is frame 0 again and a
// negative count wraps to the day's end). -1 when the timecode is not valid (hours below 0).
int32_t TimecodeToFrames(const CTimecode& tc, TimecodeRate rate);
// A duration in frames as a timecode of whole labels, without drop-frame skipping.
int32_t DurationToFrames(const CTimecode& tc, TimecodeRate rate);
CTimecode FramesToTimecode(int32_t frames, TimecodeRate rate);
// Wraps a frame count into [0, FramesPerDay).
int32_t WrapFrames(int64_t frames, TimecodeRate rate);

// The 32-bit "timecode value" of the binary EDL and cut-list files: hours in the top byte,
// then minutes, seconds, frames (each clamped to 0-255; invalid hours are stored as 0xFF).
uint32_t PackTimecode(const CTimecode& tc);
CTimecode UnpackTimecode(uint32_t value);

std::string FormatTimecode(const CTimecode& tc, bool dropFrame = false);

}  // namespace objectkit
