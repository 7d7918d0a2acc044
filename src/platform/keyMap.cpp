// keyMap.cpp -- Qt key codes to virtual-key codes; see keyMap.h.
#include "platform/keyMap.h"

#include <Qt>

namespace {

struct KeyPair {
    int qtKey;
    int virtualKey;
};

const KeyPair namedKeys[] = {
    {Qt::Key_Backspace, 0x08}, {Qt::Key_Tab, 0x09},       {Qt::Key_Backtab, 0x09},
    {Qt::Key_Clear, 0x0C},     {Qt::Key_Return, 0x0D},    {Qt::Key_Enter, 0x0D},
    {Qt::Key_Shift, 0x10},     {Qt::Key_Control, 0x11},   {Qt::Key_Alt, 0x12},
    {Qt::Key_Pause, 0x13},     {Qt::Key_CapsLock, 0x14},  {Qt::Key_Escape, 0x1B},
    {Qt::Key_Space, 0x20},     {Qt::Key_PageUp, 0x21},    {Qt::Key_PageDown, 0x22},
    {Qt::Key_End, 0x23},       {Qt::Key_Home, 0x24},      {Qt::Key_Left, 0x25},
    {Qt::Key_Up, 0x26},        {Qt::Key_Right, 0x27},     {Qt::Key_Down, 0x28},
    {Qt::Key_Print, 0x2C},     {Qt::Key_Insert, 0x2D},    {Qt::Key_Delete, 0x2E},
    {Qt::Key_Meta, 0x5B},      {Qt::Key_Menu, 0x5D},      {Qt::Key_NumLock, 0x90},
    {Qt::Key_ScrollLock, 0x91}, {Qt::Key_Asterisk, 0x6A}, {Qt::Key_Plus, 0xBB},
    {Qt::Key_Comma, 0xBC},     {Qt::Key_Minus, 0xBD},     {Qt::Key_Period, 0xBE},
    {Qt::Key_Slash, 0xBF},     {Qt::Key_Semicolon, 0xBA}, {Qt::Key_Equal, 0xBB},
};

}  // namespace

int virtualKeyFromQtKey(int qtKey, bool keypad) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
        return keypad ? 0x60 + (qtKey - Qt::Key_0) : qtKey;  // keypad digits have codes of their own
    }
    if (keypad) {
        switch (qtKey) {
        case Qt::Key_Asterisk: return 0x6A;
        case Qt::Key_Plus: return 0x6B;
        case Qt::Key_Minus: return 0x6D;
        case Qt::Key_Period: return 0x6E;
        case Qt::Key_Slash: return 0x6F;
        default: break;
        }
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return qtKey;  // 'A'-'Z' in either case
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 0x70 + (qtKey - Qt::Key_F1);
    for (const KeyPair& pair : namedKeys) {
        if (pair.qtKey == qtKey) return pair.virtualKey;
    }
    return -1;
}
