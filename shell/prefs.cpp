#include "shell/prefs.h"

sPrefs prefs = kDefaultPrefs;
