#include "convert/conversionrun.h"
