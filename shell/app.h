// The objects that live for the whole run of the program.
#pragma once

class KWindowD3D;

// The one game window; null until the shell creates it (and in tests of the rules).
extern KWindowD3D *fenetre;
