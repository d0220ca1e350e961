// Delay conversions and the delay memory of the quad MADI cards.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "rookclient/model/IOConfigImage.h"

namespace rookclient::model {

namespace {

constexpr double kBaseRate = 48000.0;
constexpr double kSoundUnitsPerSecond = 330.0;

float FramesPerSecond(int32_t code) {
    switch (code) {
        case 1:
        case 3:
            return 29.97f;
        case 2:
            return 24.0f;
        case 4:
            return 30.0f;
        default:
            return 25.0f;
    }
}

// A rate of 0 or below (no image yet, or a broken one) is taken as the base rate rather than
// dividing by it.
double Rate(int32_t sampleRate) {
    return sampleRate > 0 ? sampleRate : kBaseRate;
}

// Out-of-range and not-a-number results are clamped rather than left undefined.
int ToInt(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    return static_cast<int>(std::clamp(value, double{INT32_MIN}, double{INT32_MAX}));
}

}  // namespace

int IOConfigImage::ConvertDelayFromSamples(int samples, int side) const {
    const float r = static_cast<float>(Rate(system_.sampleRate));
    // Samples at the current rate, in single precision as the console computes them.
    const float t = static_cast<float>(samples) / static_cast<float>(kBaseRate) * r;
    float value = t;
    switch (GetDelayUnits(side)) {
        case kDelayMilliseconds:
            value = t / r * 1000.0f;
            break;
        case kDelayDistance:
            value = t / r * static_cast<float>(kSoundUnitsPerSecond);
            break;
        case kDelayTenthsOfFrame:
            value = t / r * 10.0f * FramesPerSecond(system_.frameRateCode);
            break;
        default:
            break;
    }
    return ToInt(std::trunc(value));
}

int IOConfigImage::ConvertDelayFromUnits(int value, int side) const {
    const double r = Rate(system_.sampleRate);
    double x = value;
    switch (GetDelayUnits(side)) {
        case kDelayMilliseconds:
            x = r / 1000.0 * value;
            break;
        case kDelayDistance:
            x = value / kSoundUnitsPerSecond * r;
            break;
        case kDelayTenthsOfFrame:
            x = value / 10.0 / FramesPerSecond(system_.frameRateCode) * r;
            break;
        default:
            break;
    }
    return ToInt(std::floor(x / r * kBaseRate + 0.5));
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
    return ConvertDelayFromSamples(ToInt(static_cast<double>(left)), side);
}

int IOConfigImage::GetMaxDelay(int card, int side) const {
    const int64_t left = CardBudget(card) - CardDelays(card, side, nullptr);
    return ConvertDelayFromSamples(ToInt(static_cast<double>(left)), side);
}

int IOConfigImage::GetMaxDelay(int side) const {
    int64_t total = 0;
    const int cards = std::clamp(system_.quadMadis, 0, IOConfigSystem::kMaxQuadMadis);
    for (int card = 0; card < cards; ++card) {
        total += GetMaxDelay(card, side);
    }
    return ToInt(static_cast<double>(total));
}

}  // namespace rookclient::model
