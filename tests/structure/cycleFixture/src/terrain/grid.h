#pragma once
#include "app/keys.h"
