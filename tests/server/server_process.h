// The real quorix-scored program run by a test (shared with the load tool).
#pragma once

#include "server/testkit/server_process.h"
