// The DEFINE section that the expansion fuzz target hands to its stand-in section reader.
#pragma once

#include "text/text.h"

extern Text fuzzDefineSection;
extern int fuzzDefineCount;
