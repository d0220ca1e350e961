// Delay conversions and the delay memory of the quad MADI cards.
#include <algorithm>
#include <cstdint>

#include "rookclient/model/IOConfigImage.h"

namespace rookclient::model {

namespace {

constexpr int64_t kBaseRate = 48000;
constexpr int64_t kSoundUnitsPerSecond = 330;

// Frames per second as a fraction: 29.97 is 2997 / 100.
struct FrameRate {
    int64_t numerator;
    int64_t denominator;
};

FrameRate FramesPerSecond(int32_t code) {
    switch (code) {
        case 1:
        case 3:
            return {2997, 100};
        case 2:
            return {24, 1};
        case 4:
            return {30, 1};
        default:
            return {25, 1};
    }
}

// A rate of 0 or below (no image yet, or a broken one) is taken as the base rate rather than
// dividing by it.
int64_t Rate(int32_t sampleRate) {
    return sampleRate > 0 ? sampleRate : kBaseRate;
}

int ToInt(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// floor(n / d + 1/2) for d > 0: rounding half up, for negative n as well.
int64_t RoundHalfUp(int64_t n, int64_t d) {
    const int64_t twice = 2 * n + d;
    const int64_t q = twice / (2 * d);
    return (twice % (2 * d) < 0) ? q - 1 : q;
}

// A delay in the user's units is delay_in_seconds * perSecond; as a fraction of 48 kHz
// samples: units = samples * numerator / denominator.
struct UnitScale {
    int64_t numerator;
    int64_t denominator;
};

UnitScale Scale(int units, int32_t sampleRate, int32_t frameRateCode) {
    switch (units) {
        case kDelayMilliseconds:
            return {1000, kBaseRate};
        case kDelayDistance:
            return {kSoundUnitsPerSecond, kBaseRate};
        case kDelayTenthsOfFrame: {
            const FrameRate fps = FramesPerSecond(frameRateCode);
            return {10 * fps.numerator, kBaseRate * fps.denominator};
        }
        default:  // samples at the current rate
            return {Rate(sampleRate), kBaseRate};
    }
}

}  // namespace

// Both conversions work on exact fractions: a floating-point quotient that lands a hair
// below a whole number would otherwise truncate to one less (a delay entered as 4800 samples
// must read back as 4800).
int IOConfigImage::ConvertDelayFromSamples(int samples, int side) const {
    const UnitScale scale = Scale(GetDelayUnits(side), system_.sampleRate, system_.frameRateCode);
    return ToInt(int64_t{samples} * scale.numerator / scale.denominator);  // toward zero
}

int IOConfigImage::ConvertDelayFromUnits(int value, int side) const {
    const UnitScale scale = Scale(GetDelayUnits(side), system_.sampleRate, system_.frameRateCode);
    return ToInt(RoundHalfUp(int64_t{value} * scale.denominator, scale.numerator));
}

int32_t IOConfigImage::CardBudget(int32_t card) const {
    // A card outside the quad MADI cards has no extended memory.
    const bool extended = card >= 0 && card < IOConfigSystem::kMaxQuadMadis &&
                          system_.extendedDelay[static_cast<size_t>(card)] != 0;
    const int32_t shift = std::clamp(system_.delayShift, 0, 31);
    return (extended ? kExtendedDelayBudget : kStandardDelayBudget) >> shift;
}

int64_t IOConfigImage::CardDelays(int32_t card, int side, const PortKey* except) const {
    int64_t used = 0;
    for (const auto& [key, port] : Ports(side)) {
        if (key.Card() != card || (except != nullptr && key == *except)) {
            continue;
        }
        // Both sides of a stereo port take delay memory.
        used += int64_t{std::max(port.delay, 0)} * (port.stereo != 0 ? 2 : 1);
    }
    return used;
}

int IOConfigImage::GetMaxDelay(const StructIOSearch& port, int side) const {
    const PortKey key = PortKey::Of(port);
    const int64_t left = CardBudget(key.Card()) - CardDelays(key.Card(), side, &key);
    return ConvertDelayFromSamples(ToInt(left), side);
}

int IOConfigImage::GetMaxDelay(int card, int side) const {
    const int64_t left = CardBudget(card) - CardDelays(card, side, nullptr);
    return ConvertDelayFromSamples(ToInt(left), side);
}

int IOConfigImage::GetMaxDelay(int side) const {
    int64_t total = 0;
    const int cards = std::clamp(system_.quadMadis, 0, IOConfigSystem::kMaxQuadMadis);
    for (int card = 0; card < cards; ++card) {
        total += GetMaxDelay(card, side);
    }
    return ToInt(total);
}

}  // namespace rookclient::model
