// Recorded games on disk, beside the high-score tables (same folder rules): the last game played as
// last.qrp, and the game behind each row of the local tables in the folder "replays", named after the
// row, so that a row can be watched. Files are written whole or not at all; the table files keep their
// format, the replays are extra files.
#pragma once

#include "game/replay_file.h"

#include <cstdint>
#include <set>
#include <string>

bool saveReplayFile(const std::string &path, const replay::Replay &game);
// Reads a replay file; false with the reason when there is none or it is not a whole replay.
bool loadReplayFile(const std::string &path, replay::Replay &game, std::string &why);

std::string lastReplayPath();
void saveLastReplay(const replay::Replay &game);

// The file name of a row's replay: the table (mode), the difficulty, the result and the name.
std::string rowReplayName(long mode, long difficulty, uint32_t value, const char *name);
// The full path of that file ("" when no folder is known for the player's files).
std::string rowReplayPath(long mode, long difficulty, uint32_t value, const char *name);
void keepRowReplay(long mode, long difficulty, uint32_t value, const char *name, const replay::Replay &game);
// Removes the row replays whose names are not among those of the rows the tables hold now.
void forgetRowReplaysExcept(const std::set<std::string> &rowNames);
