#include "server/score_store.h"

#include "server/postgres_store.h"
#include "server/sqlite_store.h"

#include <cctype>

namespace scored {

bool isPostgresLocation(const std::string &location) {
    if (location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0)
        return true;
    // "host=/run/postgresql dbname=scores": a keyword, then '='.
    size_t i = 0;
    while (i < location.size() && std::isspace(static_cast<unsigned char>(location[i])))
        ++i;
    size_t start = i;
    while (i < location.size() &&
           (std::islower(static_cast<unsigned char>(location[i])) || location[i] == '_'))
        ++i;
    while (i < location.size() && location[i] == ' ')
        ++i;
    return i > start && i < location.size() && location[i] == '=';
}

std::unique_ptr<ScoreStore> openScoreStore(const std::string &location, const StoreSettings &settings) {
    if (isPostgresLocation(location))
        return std::make_unique<PostgresStore>(location, settings);
    return std::make_unique<SqliteStore>(location, settings);
}

} // namespace scored
