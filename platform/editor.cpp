// Placeholder until the platform layer is written.
#include "platform/editor.h"
