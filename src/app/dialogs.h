// dialogs.h -- the about box and the background colour, camera speed,
// clipping planes and error tolerance dialogs, and the rules they apply to
// what is typed.
//
// Provides: previewColour, customColours, showAboutBox,
// showBackgroundDialog, showCameraSpeedDialog, showClipDialog,
// showErrorToleranceDialog, readDialogNumber, formatSpeedText,
// validBackgroundColour, backgroundColourRefusal, clipDistancesRefusal,
// readToleranceText.
// Main thread only. The about box does not block: the scene keeps drawing
// behind it and several may be open. The other three are modal and change
// nothing unless their input is accepted.
#pragma once

#include <string>

extern int previewColour[3];       // what the background dialog's swatch shows
extern int customColours[16][3];   // the colour chooser's custom colours, kept for the process

void showAboutBox();
void showBackgroundDialog();
void showCameraSpeedDialog();
void showClipDialog();
// Sets terrainErrorTolerance (screen pixels; 0 the algorithms' fixed rules).
void showErrorToleranceDialog();

// Reads a whole number as dialog fields do: spaces around it are allowed, a
// leading "-" only when isSigned; anything else (or a value out of 32-bit
// range) gives 0 with ok false. Unsigned values above INT_MAX wrap.
int readDialogNumber(const std::string& text, bool isSigned, bool* ok = nullptr);

// "%f" without its trailing zeros, but keeping the digit after the point:
// 0.8 -> "0.8", 1.0 -> "1.0", 2.5 -> "2.5".
std::string formatSpeedText(float speed);

// Each of the three components lies in 0..255.
bool validBackgroundColour(const int rgb[3]);

// What the background colour dialog answers to the three typed components:
// nullptr when they are taken (rgb then holds them), otherwise the text of
// its error box. Text that is not a whole number is refused like a value
// out of range.
const char* backgroundColourRefusal(const std::string texts[3], int rgb[3]);

// What the clipping planes dialog answers to the typed distances: nullptr
// when they are taken (nearValue and farValue then hold them), otherwise
// the text of its error box. Both must be above 0 and near below far.
const char* clipDistancesRefusal(const std::string& nearText, const std::string& farText, int& nearValue,
                                 int& farValue);
// A tolerance as typed: a decimal number with optional spaces around it,
// finite and 0 or more. False (pixels untouched) for anything else.
bool readToleranceText(const std::string& text, float& pixels);
