// Layout of the automation data file's streams, shared by the array's Save/Load and the
// package code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <vector>

#include <objectkit/AutomationEvent.h>

class CAutomationEventArray;
namespace platform::storage {
class CompoundFile;
}

namespace objectkit::files {

inline constexpr const char* kPathModeStream = "Path Mode";
inline constexpr const char* kFileVersionStream = "File Version";
inline constexpr const char* kTimeAndDateStream = "Time And Date";
inline constexpr const char* kAutomationDataStream = "AutomationData";

inline constexpr size_t kRecordSize = 20;
inline constexpr size_t kFileVersionSize = 40;
inline constexpr size_t kTimeAndDateSize = 16;
inline constexpr uint32_t kRecordTag = 0x00010000;

// One 20-byte record; path mode 1 stores 16-bit paths, every other mode 8-bit paths.
void EncodeRecord(const CAutomationEvent& event, int pathMode, uint8_t* record);
void DecodeRecord(const uint8_t* record, int pathMode, CAutomationEvent& event);

std::vector<uint8_t> FileVersionStream(const std::tm& local, uint8_t major, uint8_t minor);
std::vector<uint8_t> TimeAndDateStream(const std::tm& local, int milliseconds);

// Adds the four streams of an event array (path mode, version 1.4, time, records) to a
// compound file opened for writing. False when the records cannot be written.
bool WriteEventStreams(platform::storage::CompoundFile& storage, const CAutomationEventArray& array,
                       int pathMode);

// 16-byte event records of the block file, in the event's field order: module, control,
// value, path, timeStamp, flags, one byte of padding, oldValue.
inline constexpr size_t kBlockRecordSize = 16;
void EncodeBlockRecord(const CAutomationEvent& event, uint8_t* record);
void DecodeBlockRecord(const uint8_t* record, CAutomationEvent& event);

}  // namespace objectkit::files
