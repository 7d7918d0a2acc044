#include "app/leaf.h"
