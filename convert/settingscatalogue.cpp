#include "convert/settingscatalogue.h"
