// The world-wide table: asking the score server whether a result ranks, and submitting it.
#pragma once

extern bool previousState; // the server's answer for the current game

// The server's base address: the first line of scoreserver.txt (the player's own copy first, then the
// one in the data folder: shell/paths.h), or http://127.0.0.1:7717 without one.
const char *scoreServerAddress();

bool isOnlineScore(char *data);
void submitOnlineScore(char *name, char *data);
// Submits the result and enters it into the local table.
void transferHighScore(char *name);
