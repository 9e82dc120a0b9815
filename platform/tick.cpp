#include "platform/tick.h"
