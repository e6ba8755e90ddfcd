// Placeholder until the platform layer is written.
#include "platform/codepage.h"
