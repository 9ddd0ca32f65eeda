#include "driver/run_settings.h"

RunSettings runSettings;
