// a file of the application
#include "app/menus.h"
#include "app/keys.h"
