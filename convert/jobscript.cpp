#include "convert/jobscript.h"
