#include "convert/commands.h"
