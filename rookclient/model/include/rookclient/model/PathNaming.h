// The thirteen path types of the console, their printed names, their place in the global path
// numbering and the default names a path gets before the user names it.
#pragma once

#include <string>
#include <string_view>

namespace rookclient::model {

enum PathType : int {
    kChannels = 0,
    kGroups = 1,
    kMains = 2,
    kAuxes = 3,
    kListens = 4,
    kTalkbacks = 5,
    kSels = 6,
    kTracks = 7,
    kCues = 8,
    kExternals = 9,
    kFilms = 10,
    kFilmListens = 11,
    kPredubMasters = 12,
};
inline constexpr int kPathTypeCount = 13;

// The console type whose first group is the main mix bus "MM" and whose other groups are
// numbered from 1 after it.
inline constexpr int kLiveConsoleType = 4;

// "Channels", "Groups", ... ; empty outside 0-12.
std::string_view PathTypeName(int type);
// Position of the type in the global path numbering (channels 0, tracks 1, groups 2, ...);
// -1 outside 0-12.
int PathTypeOrder(int type);
// Default name formats: the long one serves numbers below 10, the short one 10 and above, so
// that every default name fits the four characters of a scribble strip.
std::string_view LongNameFormat(int type);
std::string_view ShortNameFormat(int type);

// The default name of path `number` (1-based) of `type` on a console of `consoleType`; empty
// for a type outside the table.
std::string DefaultPathName(int type, int number, int consoleType);

}  // namespace rookclient::model
