#include "engine/deletewrongengine.h"
