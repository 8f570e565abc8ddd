// Moved to the session, which owns the edits and the tree.
#pragma once

#include "session/archive_edits.h"
