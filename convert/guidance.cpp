#include "convert/guidance.h"
