// KeyMapTest.cpp -- Qt keys become the virtual-key codes the program's key
// table and the movement thread use.
#include <gtest/gtest.h>

#include <Qt>

#include "platform/keyMap.h"

TEST(KeyMap, KeysOfTheKeyTableAndMovement) {
    struct Case {
        int qtKey;
        bool keypad;
        int expected;
    };
    const Case cases[] = {
        {Qt::Key_A, false, 'A'},      {Qt::Key_S, false, 'S'},       {Qt::Key_Z, false, 'Z'},
        {Qt::Key_W, false, 0x57},     {Qt::Key_D, false, 0x44},      {Qt::Key_0, false, '0'},
        {Qt::Key_7, false, '7'},      {Qt::Key_Escape, false, 0x1B}, {Qt::Key_F12, false, 0x7B},
        {Qt::Key_F1, false, 0x70},    {Qt::Key_Left, false, 0x25},   {Qt::Key_Up, false, 0x26},
        {Qt::Key_Right, false, 0x27}, {Qt::Key_Down, false, 0x28},   {Qt::Key_Space, false, 0x20},
        {Qt::Key_Return, false, 0x0D}, {Qt::Key_Shift, false, 0x10},
        // Keypad digits have codes of their own, so they do not switch algorithms.
        {Qt::Key_1, true, 0x61},      {Qt::Key_9, true, 0x69},
        // Arrows on the keypad (NumLock off) are still arrows.
        {Qt::Key_Up, true, 0x26},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(virtualKeyFromQtKey(c.qtKey, c.keypad), c.expected) << "Qt key 0x" << std::hex << c.qtKey;
    }
}

TEST(KeyMap, UnknownKeysHaveNoCodeAndNoneReaches256) {
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_unknown, false), -1);
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_Eacute, false), -1);
    EXPECT_EQ(virtualKeyFromQtKey(0, false), -1);
    for (int key : {int(Qt::Key_F24), int(Qt::Key_NumLock), int(Qt::Key_Slash), int(Qt::Key_Delete)}) {
        int code = virtualKeyFromQtKey(key, false);
        EXPECT_GE(code, 0);
        EXPECT_LT(code, 256);
    }
}
