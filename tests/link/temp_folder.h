#pragma once
// Moved to tests/support; kept for tests written against the old place.
#include "support/temp_folder.h"
