#include <objectkit/Timecode.h>

#include <algorithm>
#include <cstdio>

#include "FileSettings.h"

namespace objectkit {

namespace {
constexpr const char* kTimecodeKey = "Software\\KESTANE\\Kestane Vantor\\Timecode";

int64_t Labels(const CTimecode& tc, int fps) {
    return ((static_cast<int64_t>(tc.hours) * 60 + tc.minutes) * 60 + tc.seconds) * fps + tc.frames;
}
}  // namespace

TimecodeRate ReadConsoleTimecodeRate() {
    constexpr uint32_t kMissing = 0xFFFFFFFF;
    uint32_t code = files::ReadMachineDword(kTimecodeKey, "VantorTimcodeRate", kMissing);
    switch (code) {
        case 0:
            return TimecodeRate::Fps24;
        case 1:
            return TimecodeRate::Fps25;
        case 2:
            return TimecodeRate::Fps2997Drop;
        case 3:
            return TimecodeRate::Fps2997NonDrop;
        case 4:
            return TimecodeRate::Fps30;
        default:
            break;
    }
    switch (files::ReadMachineDword(kTimecodeKey, "VantorTimecodeCurrentFramesPerSec", 25)) {
        case 24:
            return TimecodeRate::Fps24;
        case 30:
            return TimecodeRate::Fps30;
        default:
            return TimecodeRate::Fps25;
    }
}

TimecodeRate EffectiveRate(TimecodeRate consoleRate, bool edlDropFrame) {
    if (edlDropFrame && consoleRate == TimecodeRate::Fps2997NonDrop) {
        return TimecodeRate::Fps2997Drop;
    }
    return consoleRate;
}

int FramesPerSecond(TimecodeRate rate) {
    switch (rate) {
        case TimecodeRate::Fps24:
            return 24;
        case TimecodeRate::Fps25:
            return 25;
        default:
            return 30;
    }
}

int32_t FramesPerDay(TimecodeRate rate) {
    switch (rate) {
        case TimecodeRate::Fps24:
            return 2073600;
        case TimecodeRate::Fps25:
            return 2160000;
        case TimecodeRate::Fps2997Drop:
            return 2589408;
        default:
            return 2592000;
    }
}

int32_t WrapFrames(int64_t frames, TimecodeRate rate) {
    int64_t day = FramesPerDay(rate);
    int64_t r = frames % day;
    return static_cast<int32_t>(r < 0 ? r + day : r);
}

int32_t TimecodeToFrames(const CTimecode& tc, TimecodeRate rate) {
    if (tc.hours < 0) {
        return -1;
    }
    int64_t frames = Labels(tc, FramesPerSecond(rate));
    if (rate == TimecodeRate::Fps2997Drop) {
        int64_t totalMinutes = static_cast<int64_t>(tc.hours) * 60 + tc.minutes;
        frames -= 2 * (totalMinutes - totalMinutes / 10);
    }
    return WrapFrames(frames, rate);
}

int32_t DurationToFrames(const CTimecode& tc, TimecodeRate rate) {
    if (tc.hours < 0) {
        return -1;
    }
    return WrapFrames(Labels(tc, FramesPerSecond(rate)), rate);
}

CTimecode FramesToTimecode(int32_t frames, TimecodeRate rate) {
    int64_t f = WrapFrames(frames, rate);
    const int fps = FramesPerSecond(rate);
    if (rate == TimecodeRate::Fps2997Drop) {
        // Put back the skipped labels: 17,982 frames per ten minutes, 1,798 per later minute.
        int64_t tens = f / 17982;
        int64_t rest = f % 17982;
        f += 18 * tens + (rest < 2 ? 0 : 2 * ((rest - 2) / 1798));
    }
    CTimecode tc;
    tc.frames = static_cast<int>(f % fps);
    tc.seconds = static_cast<int>(f / fps % 60);
    tc.minutes = static_cast<int>(f / fps / 60 % 60);
    tc.hours = static_cast<int>(f / fps / 3600);
    return tc;
}

uint32_t PackTimecode(const CTimecode& tc) {
    auto part = [](int v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); };
    uint32_t hours = tc.hours < 0 ? 0xFF : part(tc.hours);
    return hours << 24 | part(tc.minutes) << 16 | part(tc.seconds) << 8 | part(tc.frames);
}

CTimecode UnpackTimecode(uint32_t value) {
    CTimecode tc;
    tc.hours = (value >> 24) == 0xFF ? -1 : static_cast<int>(value >> 24);
    tc.minutes = static_cast<int>(value >> 16 & 0xFF);
    tc.seconds = static_cast<int>(value >> 8 & 0xFF);
    tc.frames = static_cast<int>(value & 0xFF);
    return tc;
}

std::string FormatTimecode(const CTimecode& tc, bool dropFrame) {
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d%c%02d", tc.hours, tc.minutes, tc.seconds,
                  dropFrame ? ';' : ':', tc.frames);
    return text;
}

}  // namespace objectkit
