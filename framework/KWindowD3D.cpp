#include "framework/KWindowD3D.h"

void KWindowD3D::processEvents() {}
bool KWindowD3D::isQuit() {
    return _quit;
}
