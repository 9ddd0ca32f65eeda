#include "util/run_settings.h"

RunSettings runSettings;
