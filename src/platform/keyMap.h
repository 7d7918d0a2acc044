// keyMap.h -- Qt key codes to the program's virtual-key codes.
//
// Provides: virtualKeyFromQtKey. Letters and digits are their upper-case
// characters; Escape 0x1B, F1-F24 0x70-0x87, Left/Up/Right/Down 0x25-0x28,
// keypad digits 0x60-0x69, and the other common keys at their usual codes.
// Pure function, any thread.
#pragma once

// qtKey is a Qt::Key value; keypad is true when the key came from the
// numeric keypad. Returns -1 for keys without a code (never 256 or more).
int virtualKeyFromQtKey(int qtKey, bool keypad);
