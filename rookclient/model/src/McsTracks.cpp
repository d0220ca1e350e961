// Track numbering and the ready and recording bitmaps of a machine.
//
// Bitmap byte 0 holds the special tracks (bits 0-3), the timecode track (bit 4) and the video
// track (bit 5); bytes 1 to 7 hold ordinary track t at byte 1 + t / 8, bit t mod 8, when the
// machine has such a bitmap (flag bit 7). The k special tracks that exist (flag bits 0-3) are
// numbered last: the j-th of them, counting set flag bits from bit 0, is track n - k + j.
// Counting by position among the set bits keeps the special tracks at n - k .. n - 1 even
// when the flag bits that mark them are not contiguous.
#include <algorithm>
#include <bit>
#include <optional>

#include "rookclient/model/McsCommands.h"
#include "rookclient/model/McsImage.h"
#include "rookclient/model/McsPreference.h"

namespace rookclient::model {

namespace {

constexpr uint8_t kSpecialMask = 0x0F;
constexpr uint8_t kTimecodeBit = 0x10;
constexpr uint8_t kVideoBit = 0x20;
constexpr uint8_t kSafeKeepBit = 0x40;
constexpr uint8_t kOrdinaryBitmapFlag = 0x80;
constexpr int kSpecialTracks = 4;
constexpr size_t kBitmapBytes = 8;
// Ordinary tracks that bytes 1 to 7 can hold.
constexpr int kOrdinaryTracks = 8 * (kBitmapBytes - 1);

struct BitPlace {
    size_t byte;
    uint8_t mask;
};

int SpecialCount(const MCSMachineInfoStruct& m) {
    return std::popcount(static_cast<uint8_t>(m.trackFlags & kSpecialMask));
}

// Where track `track` sits in a bitmap; none for a track the machine does not have there.
// The timecode and video tracks are not placed here.
std::optional<BitPlace> Place(const MCSMachineInfoStruct& m, int track) {
    const int n = m.tracks;
    const int k = SpecialCount(m);
    int j = 0;
    for (int i = 0; i < kSpecialTracks; ++i) {
        if (m.trackFlags & (1u << i)) {
            if (track == n - k + j) {
                return BitPlace{0, static_cast<uint8_t>(1u << i)};
            }
            ++j;
        }
    }
    if ((m.trackFlags & kOrdinaryBitmapFlag) && track >= 0 && track < kOrdinaryTracks) {
        return BitPlace{1 + static_cast<size_t>(track / 8),
                        static_cast<uint8_t>(1u << (track % 8))};
    }
    return std::nullopt;
}

bool TrackState(const MCSMachineInfoStruct& m, const std::array<uint8_t, 8>& bitmap, int track) {
    if (track == McsImage::kTimecodeTrack || track == McsImage::kVideoTrack) {
        const uint8_t bit = track == McsImage::kTimecodeTrack ? kTimecodeBit : kVideoBit;
        return (bitmap[0] & bit) && CanRecordToTCAndVideoTracks();
    }
    const auto place = Place(m, track);
    return place && (bitmap[place->byte] & place->mask);
}

void SetBit(std::array<uint8_t, 8>& bitmap, const BitPlace& place, bool on) {
    if (on) {
        bitmap[place.byte] |= place.mask;
    } else {
        bitmap[place.byte] &= static_cast<uint8_t>(~place.mask);
    }
}

bool Armed(std::span<const bool> tracks, int t) {
    return t >= 0 && static_cast<size_t>(t) < tracks.size() && tracks[static_cast<size_t>(t)];
}

}  // namespace

bool McsImage::IsTrackReady(uint8_t id, int track) const {
    const MCSMachineInfoStruct* m = Find(id);
    return m != nullptr && TrackState(*m, m->trackReady, track);
}

bool McsImage::IsTrackRecording(uint8_t id, int track) const {
    const MCSMachineInfoStruct* m = Find(id);
    return m != nullptr && TrackState(*m, m->trackRecording, track);
}

std::optional<CommsBlock> McsImage::SetTracksReady(uint8_t id, bool timecode, bool video,
                                                   std::span<const bool> tracks) {
    MCSMachineInfoStruct* m = Find(id);
    if (m == nullptr) {
        return std::nullopt;
    }
    SetBit(m->trackReady, {0, kTimecodeBit}, timecode);
    SetBit(m->trackReady, {0, kVideoBit}, video);
    const int n = m->tracks;
    const int k = SpecialCount(*m);
    for (int t = n - k; t < n; ++t) {
        if (const auto place = Place(*m, t); place && place->byte == 0) {
            SetBit(m->trackReady, *place, Armed(tracks, t));
        }
    }
    if (m->trackFlags & kOrdinaryBitmapFlag) {
        for (int t = 0; t < std::min(n - k, kOrdinaryTracks); ++t) {
            SetBit(m->trackReady, *Place(*m, t), Armed(tracks, t));
        }
    }
    return mcs::SetTrackReadyModes(*m);
}

std::optional<CommsBlock> McsImage::SetAllTracksReady(uint8_t id) {
    MCSMachineInfoStruct* m = Find(id);
    if (m == nullptr) {
        return std::nullopt;
    }
    if (CanRecordToTCAndVideoTracks()) {
        m->trackReady[0] |= m->trackFlags & (kTimecodeBit | kVideoBit);
    }
    // One bit per track from the first byte of the ordinary bitmap (from byte 0 for a small
    // machine without one), never past the bitmap's last byte.
    const size_t first = ((m->trackReady[0] & 0x80) || m->tracks > kSpecialTracks) ? 1 : 0;
    const size_t bits = std::min<size_t>(m->tracks, 8 * (kBitmapBytes - first));
    for (size_t b = 0; b < bits; ++b) {
        m->trackReady[first + b / 8] |= static_cast<uint8_t>(1u << (b % 8));
    }
    return mcs::SetTrackReadyModes(*m);
}

std::optional<CommsBlock> McsImage::SetAllTracksSafe(uint8_t id) {
    MCSMachineInfoStruct* m = Find(id);
    if (m == nullptr) {
        return std::nullopt;
    }
    std::fill(m->trackReady.begin() + 1, m->trackReady.end(), uint8_t{0});
    m->trackReady[0] &= kSafeKeepBit;
    return mcs::SetTrackReadyModes(*m);
}

}  // namespace rookclient::model
