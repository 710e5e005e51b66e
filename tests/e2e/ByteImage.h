#pragma once
// Moved to tests/support; kept for the targets that include only tests/e2e.
#include "../support/ByteImage.h"
