#pragma once
// The paste routine lives in the shell, where the digit keys use it too.
#include "shell/PasteRoutine.h"
