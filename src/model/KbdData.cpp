#include "model/KbdData.h"
