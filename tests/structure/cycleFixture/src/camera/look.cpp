#include "camera/look.h"
#include "app/keys.h"
