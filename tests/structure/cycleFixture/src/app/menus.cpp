#include "app/menus.h"
#include "app/keys.h"
#include "app/leaf.h"
