// The whole program run: launcher, window, loading, the menu, and the orderly end.
#pragma once

int runQuorix();
