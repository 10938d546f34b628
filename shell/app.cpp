#include "shell/app.h"

KWindowD3D *fenetre = nullptr;
