// Placeholder until the platform layer is written.
#include "platform/process.h"
