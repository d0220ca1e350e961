// Conform: rebuilding a mix's automation so that it follows a new picture cut.
//
// The engine reads a binary EDL (the console's "GENERIC" form) whose events each say: take the
// automation of a source reel from `source in` for the event's length and place it at
// `record in`. For every event, in EDL order, on the mix being conformed:
//   - the reel's automation inside the source range is moved to the record range (quarter
//     frames: four per frame);
//   - at the record in point every control the source had set takes the value it had at the
//     source in point, so the cut starts from the source's state and not from a jump; the
//     source's events exactly at its in point arrive there as they are, flags included, and
//     the controls set only before it get generated events with flags 0 (the events that set
//     them lie outside the edit and are not moved);
//   - the mix's own events inside the record range are replaced; one quarter frame after the
//     range each control returns to the value the mix has there, so what follows the edit
//     plays on as before;
//   - events outside every edited range are left untouched.
// An edit also brings the per-path data of every path it takes automation for (each path the
// source sets up to the end of the source range): that path's records in the groups' control
// and route arrays of both sets, in the console's control and route parameters and in the three
// vector-data arrays come from the source's package, the last edit in EDL order winning.
// Paths that no edit touches, and paths the source holds no record for (black, or a reel
// without those arrays), keep the mix's own; the path map, link and gang maps, automation
// sizes, cut A/B list and the package's single values always stay the mix's.
// The automation is worked on a copy and only replaces the mix's events and data when every
// edit applied, so a failed conform leaves the mix as it was.
//
// Reels: a reel name gives the source package file reel + ".aut" in the directory of the EDL
// (or cut list) that was conformed, read in either stored form under the names the mix gives
// its parts, so both forms bring the same data; the reel "..." (an empty reel in the binary form)
// is the mix itself as it was before the conform; the reels "BL", "BLK" and "BLACK" are black: no
// source automation, so the record range is cleared (controls hold their value from before
// it). A reel whose package cannot be loaded, or whose console layout differs from this
// console's, fails the conform.
#pragma once

#include <string>

#include <objectkit/AutomationPackage.h>
#include <objectkit/EDL.h>

enum enConformStatus : int {
    CONFORM_SUCCESS = 0,
    CONFORM_READ_FAILED = -1,  // the cut list or text file could not be read
    CONFORM_OPEN_EDL = 4,      // the EDL could not be opened
    CONFORM_PREPARE = 5,       // the destination could not be prepared
    CONFORM_APPLY = 6,         // an edit could not be applied
};

// Conforms the package to an EDL, a cut list (".cut", any case) or a text EDL (".txt", or a
// name without an extension). Cut lists and text EDLs are first written to the temporary
// binary EDL. Throws CFileException when a cut list or text file cannot be opened.
enConformStatus DoConform(CAutomationPackage* package, std::string& edlFile);

// Copies the mix's automation of the source item's range to the destination item's start.
enConformStatus CopyConformLogicStyle(CAutomationPackage* package, CSourceDestItem* source,
                                      CSourceDestItem* destination);
// As copy, then clears the part of the source range that the destination does not cover.
enConformStatus MoveConformLogicStyle(CAutomationPackage* package, CSourceDestItem* source,
                                      CSourceDestItem* destination);
// Clears the item's range: controls hold the value they had at its start, and return to the
// mix's values after it.
enConformStatus DeleteConformLogicStyle(CAutomationPackage* package, CSourceDestItem* item);

namespace objectkit {

// "<data directory>/edl files/KTL RESERVED TEMP.edl"; the data directory is $KESTANE_DATA_DIR
// or /var/lib/kestane/vantor.
std::string TemporaryEDLPath();

// Runs the engine on a binary EDL. sourceDirectory is where reel packages are looked for;
// singleEdit marks the runs of the copy, move and delete styles (their reels are the mix).
enConformStatus RunConformEngine(CAutomationPackage& package, const std::string& edlFile,
                                 const std::string& sourceDirectory, bool singleEdit);

}  // namespace objectkit
