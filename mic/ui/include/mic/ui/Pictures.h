// The artwork of mic by picture number. Every picture is an SVG file; the one table from
// number to file is resources/pictures.qrc (alias = number). Pictures are drawn as vectors at
// the device pixel ratio of the target, so they stay sharp on HiDPI screens.
#pragma once

#include <QRectF>
#include <QSize>

class QPainter;

namespace mic::ui {

// Picture numbers the window uses beyond those of the core's view interface.
enum ExtraPicture : int {
    kPicAppIcon = 128,
    kPicLoadNormal = 192,
    kPicLoadActive = 198,
    kPicStoreNormal = 194,
    kPicStoreActive = 199,
    kPicExitNormal = 196,
    kPicExitAsking = 197,
    kPicLabelRackSelect = 390,
    kPicLabelBrand = 394,
    kPicLabelCommands = 168,
    // Gain displays: four sets of 11 (index = gain step - 3) and a blank one.
    kPicGainStatus1Assigned = 600,
    kPicGainStatus2Assigned = 611,
    kPicGainStatus1Local = 622,
    kPicGainStatus2Local = 633,
    kPicGainBlank = 644,
    // Channel-number digits 0-9.
    kPicDigitNormal = 650,
    kPicDigitUnavailable = 660,
    kPicDigitAssigned = 670,
    kPicRackNumber = 680,  // + rack (0-15)
    kPicStatusBusy = 700,
    kPicStatusRacksPresent = 701,
    kPicStatusNoRacks = 702,
    kPicInfoGain = 710,  // + gain step - 3
    // The big-controls popup.
    kPicPopupBlankDigit = 472,
    kPicPopupBlankSwitch = 376,
    kPicPopupBlankGain = 475,
    kPicPopupPathDigit = 477,
    kPicPopupSideGainDigit = 440,
    kPicPopupMiddleGainDigit = 487,
    kPicPopupPhantomOff = 365,
    kPicPopupPhantomOn = 366,
    kPicPopupPadOff = 373,
    kPicPopupPadOn = 374,
    kPicPopupDirectOff = 363,
    kPicPopupDirectOn = 364,
    kPicPopupPhaseOff = 367,
    kPicPopupPhaseOn = 368,
    kPicPopupGainStatus1 = 528,
    kPicPopupGainStatus2 = 539,
};

// Main thread (the renderers are cached per thread-less process use from the GUI thread).
bool HasPicture(int number);
// Natural size in logical pixels; empty for an unknown number.
QSize PictureSize(int number);
// Draws the picture into `target` (logical coordinates); nothing for an unknown number. Each
// picture is drawn from its vectors once per size and copied after that.
void PaintPicture(QPainter& painter, int number, const QRectF& target);
// How many picture sizes have been drawn from the vectors so far.
int RenderedPictureCount();

}  // namespace mic::ui
