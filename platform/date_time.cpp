#include "platform/date_time.h"
