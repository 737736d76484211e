#include "presets/presetfile.h"
