// dialogs.cpp -- the dialogs of the menu and their input rules; see
// dialogs.h. Main thread only.
#include "app/dialogs.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "app/window.h"
#include "camera/camera.h"
#include "platform/platform.h"
#include "scene/sceneConfig.h"
#include "util/output.h"

int previewColour[3] = {0, 0, 0};
int customColours[16][3] = {};

namespace {

enum DialogItem {
    itemOk = 1,
    itemCancel = 2,
    itemRed = 1000,
    itemGreen = 1001,
    itemBlue = 1002,
    itemChooseColour = 1003,
    itemNearClip = 1008,
    itemFarClip = 1009,
    itemSpeed = 1010,
    itemTolerance = 1011,
};

// Control places in dialog units.
const DialogControl aboutControls[] = {
    {controlTitle, -1, "Morvista", 7, 6, 217, 16},
    {controlLabel, -1, "Terrain and vegetation level-of-detail viewer", 7, 24, 217, 10},
    {controlLabel, -1, "Version 1.0", 7, 36, 217, 10},
    {controlPicture, -1, "", 7, 50, 217, 116},
    {controlButton, itemOk, "OK", 90, 172, 50, 14},
};
const DialogTemplate aboutTemplate = {"About", 231, 193, aboutControls, 5};

const DialogControl backgroundControls[] = {
    {controlLabel, -1, "Red", 7, 7, 30, 8},
    {controlEdit, itemRed, "", 7, 17, 30, 12},
    {controlLabel, -1, "Green", 42, 7, 30, 8},
    {controlEdit, itemGreen, "", 42, 17, 30, 12},
    {controlLabel, -1, "Blue", 77, 7, 30, 8},
    {controlEdit, itemBlue, "", 77, 17, 30, 12},
    {controlSwatch, -1, "", 0, 0, 0, 0},
    {controlButton, itemChooseColour, "Choose Colour", 7, 42, 60, 14},
    {controlButton, itemOk, "OK", 75, 42, 50, 14},
    {controlButton, itemCancel, "Cancel", 129, 42, 50, 14},
};
const DialogTemplate backgroundTemplate = {"Background Colour", 186, 63, backgroundControls, 10};

const DialogControl speedControls[] = {
    {controlLabel, -1, "Camera Speed:", 7, 9, 60, 8},
    {controlEdit, itemSpeed, "", 70, 7, 70, 12},
    {controlButton, itemOk, "OK", 36, 44, 50, 14},
    {controlButton, itemCancel, "Cancel", 91, 44, 50, 14},
};
const DialogTemplate speedTemplate = {"Camera Speed", 148, 65, speedControls, 4};

const DialogControl clipControls[] = {
    {controlLabel, -1, "Near Clipping Distance:", 7, 9, 86, 8},
    {controlEdit, itemNearClip, "", 95, 7, 50, 12},
    {controlLabel, -1, "Far Clipping Distance:", 7, 27, 86, 8},
    {controlEdit, itemFarClip, "", 95, 25, 50, 12},
    {controlButton, itemOk, "OK", 40, 52, 50, 14},
    {controlButton, itemCancel, "Cancel", 95, 52, 50, 14},
};
const DialogTemplate clipTemplate = {"Clipping Planes", 152, 73, clipControls, 6};

const DialogControl toleranceControls[] = {
    {controlLabel, -1, "Error Tolerance (pixels):", 7, 9, 90, 8},
    {controlEdit, itemTolerance, "", 100, 7, 50, 12},
    {controlButton, itemOk, "OK", 45, 44, 50, 14},
    {controlButton, itemCancel, "Cancel", 100, 44, 50, 14},
};
const DialogTemplate toleranceTemplate = {"Error Tolerance", 158, 65, toleranceControls, 4};

void setItemNumber(PlatformDialog* dialog, int identifier, int value) {
    char text[16];
    snprintf(text, sizeof text, "%d", value);
    platformSetDialogItemText(dialog, identifier, text);
}

void showSwatch(PlatformDialog* dialog) {
    // The swatch shows the low 8 bits of each component.
    platformSetSwatchColour(dialog, previewColour[0] & 0xFF, previewColour[1] & 0xFF, previewColour[2] & 0xFF);
}

void aboutProcedure(PlatformDialog* dialog, int message, int identifier) {
    if (message == dialogCommand && (identifier == itemOk || identifier == itemCancel)) {
        platformEndDialog(dialog, identifier);
    }
}

void backgroundProcedure(PlatformDialog* dialog, int message, int identifier) {
    if (message == dialogInit) {
        setItemNumber(dialog, itemRed, backgroundColour[0]);
        setItemNumber(dialog, itemGreen, backgroundColour[1]);
        setItemNumber(dialog, itemBlue, backgroundColour[2]);
        for (int i = 0; i < 3; ++i) previewColour[i] = backgroundColour[i];
        showSwatch(dialog);
        return;
    }
    if (message == dialogFieldChanged && identifier >= itemRed && identifier <= itemBlue) {
        previewColour[identifier - itemRed] =
            readDialogNumber(platformGetDialogItemText(dialog, identifier), false);
        showSwatch(dialog);
        return;
    }
    if (message != dialogCommand) return;
    if (identifier == itemChooseColour) {
        int rgb[3] = {previewColour[0] & 0xFF, previewColour[1] & 0xFF, previewColour[2] & 0xFF};
        if (!platformChooseColour(rgb, customColours)) return;
        for (int i = 0; i < 3; ++i) previewColour[i] = rgb[i];
        showSwatch(dialog);
        setItemNumber(dialog, itemRed, rgb[0]);
        setItemNumber(dialog, itemGreen, rgb[1]);
        setItemNumber(dialog, itemBlue, rgb[2]);
    } else if (identifier == itemOk) {
        std::string texts[3];
        for (int i = 0; i < 3; ++i) texts[i] = platformGetDialogItemText(dialog, itemRed + i);
        int rgb[3];
        if (const char* refusal = backgroundColourRefusal(texts, rgb)) {
            platformDialogMessageBox(dialog, refusal, "Error");
        } else {
            setBackgroundColour(rgb[0], rgb[1], rgb[2]);
            platformEndDialog(dialog, itemOk);
        }
    } else if (identifier == itemCancel) {
        platformEndDialog(dialog, itemCancel);
    }
}

void speedProcedure(PlatformDialog* dialog, int message, int identifier) {
    if (message == dialogInit) {
        platformSetDialogItemText(dialog, itemSpeed, formatSpeedText(getMoveSpeed()).c_str());
        return;
    }
    if (message != dialogCommand) return;
    if (identifier == itemOk) {
        std::string text = platformGetDialogItemText(dialog, itemSpeed).substr(0, 999);
        outputText(text.c_str());
        float speed = strtof(text.c_str(), nullptr);  // text that is no number gives 0
        outputPrintf("speed %f\n", speed);
        // An infinite speed would throw the camera out of the world at once.
        if (speed > 0.0f && std::isfinite(speed)) {
            setMoveSpeedLocked(speed);
            platformEndDialog(dialog, itemOk);
        } else {
            platformDialogMessageBox(dialog, "Camera speed must be greater than 0", "Error");
        }
    } else if (identifier == itemCancel) {
        platformEndDialog(dialog, itemCancel);
    }
}

void clipProcedure(PlatformDialog* dialog, int message, int identifier) {
    if (message == dialogInit) {
        setItemNumber(dialog, itemNearClip, static_cast<int>(nearClip));
        setItemNumber(dialog, itemFarClip, static_cast<int>(farClip));
        return;
    }
    if (message != dialogCommand) return;
    if (identifier == itemOk) {
        int nearValue = 0, farValue = 0;
        const char* refusal = clipDistancesRefusal(platformGetDialogItemText(dialog, itemNearClip),
                                                   platformGetDialogItemText(dialog, itemFarClip), nearValue, farValue);
        if (!refusal) {
            nearClip = static_cast<float>(nearValue);
            farClip = static_cast<float>(farValue);
            // The projection is set for the drawing area, whose size the
            // viewport already has.
            int width = 0, height = 0;
            platformGetClientSize(width, height);
            if (width > 0) resizeView(width, height);
            else resizeView(viewportWidth, viewportHeight);
            platformEndDialog(dialog, itemOk);
        } else {
            platformDialogMessageBox(dialog, refusal, "Error");
        }
    } else if (identifier == itemCancel) {
        platformEndDialog(dialog, itemCancel);
    }
}

void toleranceProcedure(PlatformDialog* dialog, int message, int identifier) {
    if (message == dialogInit) {
        platformSetDialogItemText(dialog, itemTolerance, formatSpeedText(terrainErrorTolerance).c_str());
        return;
    }
    if (message != dialogCommand) return;
    if (identifier == itemOk) {
        float pixels = 0.0f;
        if (readToleranceText(platformGetDialogItemText(dialog, itemTolerance), pixels)) {
            terrainErrorTolerance = pixels;
            platformEndDialog(dialog, itemOk);
        } else {
            platformDialogMessageBox(dialog, "Error tolerance must be a number of pixels, 0 or more", "Error");
        }
    } else if (identifier == itemCancel) {
        platformEndDialog(dialog, itemCancel);
    }
}

}  // namespace

void showAboutBox() { platformShowModelessDialog(aboutTemplate, aboutProcedure); }
void showBackgroundDialog() { platformRunModalDialog(backgroundTemplate, backgroundProcedure); }
void showCameraSpeedDialog() { platformRunModalDialog(speedTemplate, speedProcedure); }
void showClipDialog() { platformRunModalDialog(clipTemplate, clipProcedure); }
void showErrorToleranceDialog() { platformRunModalDialog(toleranceTemplate, toleranceProcedure); }

bool readToleranceText(const std::string& text, float& pixels) {
    const char* begin = text.c_str();
    char* end = nullptr;
    double value = strtod(begin, &end);
    if (end == begin) return false;
    while (*end != '\0' && isspace(static_cast<unsigned char>(*end))) ++end;
    if (*end != '\0' || !std::isfinite(value) || value < 0.0) return false;
    pixels = static_cast<float>(value);
    return true;
}

int readDialogNumber(const std::string& text, bool isSigned, bool* ok) {
    if (ok) *ok = false;
    size_t i = 0;
    while (i < text.size() && isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (isSigned && i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
    }
    size_t digitsStart = i;
    uint64_t value = 0;
    while (i < text.size() && isdigit(static_cast<unsigned char>(text[i]))) {
        value = value * 10 + static_cast<uint64_t>(text[i] - '0');
        if (value > 0xFFFFFFFFull) return 0;
        ++i;
    }
    if (i == digitsStart) return 0;
    while (i < text.size() && isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i != text.size()) return 0;
    if (isSigned) {
        if (negative ? value > 2147483648ull : value > 2147483647ull) return 0;
        if (ok) *ok = true;
        return negative ? static_cast<int>(-static_cast<int64_t>(value)) : static_cast<int>(value);
    }
    if (ok) *ok = true;
    return static_cast<int>(static_cast<uint32_t>(value));
}

std::string formatSpeedText(float speed) {
    char text[64];
    snprintf(text, sizeof text, "%f", speed);
    std::string result = text;
    size_t point = result.find('.');
    if (point == std::string::npos) return result;
    // Trailing zeros go, but never the digit right after the point.
    while (result.size() > point + 2 && result.back() == '0') result.pop_back();
    return result;
}

bool validBackgroundColour(const int rgb[3]) {
    for (int i = 0; i < 3; ++i) {
        if (rgb[i] < 0 || rgb[i] > 255) return false;
    }
    return true;
}

const char* backgroundColourRefusal(const std::string texts[3], int rgb[3]) {
    bool whole = true;
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        rgb[i] = readDialogNumber(texts[i], true, &ok);
        whole = whole && ok;
    }
    if (!whole) return "Colours must be whole numbers in range 0 - 255";
    if (!validBackgroundColour(rgb)) return "Colours must be in range 0 - 255";
    return nullptr;
}

const char* clipDistancesRefusal(const std::string& nearText, const std::string& farText, int& nearValue,
                                 int& farValue) {
    nearValue = readDialogNumber(nearText, true);
    farValue = readDialogNumber(farText, true);
    if (nearValue <= 0 || farValue <= 0) return "Clipping distances must be greater than 0";
    // A near plane at or beyond the far one leaves nothing to draw.
    if (nearValue >= farValue) return "Near clipping distance must be less than far clipping distance";
    return nullptr;
}
