#include "platform/settings.h"
