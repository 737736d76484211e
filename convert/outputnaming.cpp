#include "convert/outputnaming.h"
