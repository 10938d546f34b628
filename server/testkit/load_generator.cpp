#include "server/testkit/load_generator.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <thread>

namespace loadgen {

namespace {

using Clock = std::chrono::steady_clock;

bool better(scored::GameId game, uint32_t a, uint32_t b) {
    return game.lowerIsBetter() ? a < b : a > b;
}

} // namespace

double Result::percentile(double fraction) const {
    if (latenciesMs.empty())
        return 0;
    size_t index = static_cast<size_t>(fraction * static_cast<double>(latenciesMs.size() - 1) + 0.5);
    return latenciesMs[std::min(index, latenciesMs.size() - 1)];
}

Result run(const Settings &settings) {
    Clock::time_point start = Clock::now();
    Clock::time_point deadline = start + std::chrono::seconds(settings.timeLimitSeconds);
    auto msSinceStart = [&] {
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
    std::atomic<int> nextRequest{0};
    std::atomic<int> answered{0};
    std::atomic<bool> finished{false};
    std::mutex resultLock;
    Result total;

    std::thread controller([&] {
        if (!settings.midway)
            return;
        while (answered < settings.requests / 2 && !finished && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (!finished)
            settings.midway();
    });

    std::vector<std::thread> clients;
    for (int id = 0; id < settings.clients; ++id) {
        clients.emplace_back([&, id] {
            Result mine;
            std::mt19937 random(settings.seed * 7919u + static_cast<unsigned>(id));
            size_t portIndex = static_cast<size_t>(id) % settings.ports.size();
            std::unique_ptr<httplib::Client> client;
            auto connect = [&] {
                client = std::make_unique<httplib::Client>("127.0.0.1", settings.ports[portIndex]);
                client->set_keep_alive(true);
                client->set_tcp_nodelay(true);
                client->set_connection_timeout(2);
                client->set_read_timeout(10);
            };
            for (int request; (request = nextRequest++) < settings.requests;) {
                scored::GameId game = settings.games[random() % settings.games.size()];
                uint32_t score = static_cast<uint32_t>(random() % settings.scoreRange);
                bool submission = request % 2 == 0;
                std::string desc = game.lowerIsBetter() ? "desc" : "";
                for (int attempt = 0;; ++attempt) {
                    if (Clock::now() > deadline) {
                        mine.outOfTime = true;
                        break;
                    }
                    if (!client)
                        connect();
                    Submitted sent{game,
                                   "c" + std::to_string(id) + "r" + std::to_string(request) + "a" +
                                       std::to_string(attempt),
                                   score, msSinceStart()};
                    std::string target =
                        submission
                            ? "/universe/scoresubmitter" + desc + ".php?name=" + sent.name +
                                  "&score=" + std::to_string(score) + "&computer=M&gamename=" + game.name()
                            : "/universe/ishighscore" + desc + ".php?gamename=" + game.name() +
                                  "&submtdscore=" + std::to_string(score);
                    httplib::Result answer = client->Get(target);
                    double now = msSinceStart();
                    if (answer && answer->status == 200) {
                        mine.latenciesMs.push_back(now - sent.sentMs);
                        ++answered;
                        if (submission && answer->body == "ok") {
                            sent.answeredMs = now;
                            mine.acknowledged.push_back(sent);
                        } else if (submission || (answer->body != "yes" && answer->body != "no")) {
                            ++mine.unexpected;
                        }
                        break;
                    }
                    // No promise was made: a submission may or may not be stored, and is sent again
                    // under a new name so that every stored row can be told apart.
                    if (submission)
                        mine.uncertain.push_back(sent);
                    if (answer && answer->status != 503) {
                        ++mine.unexpected;
                        break;
                    }
                    if (answer) {
                        ++mine.unavailable;
                    } else {
                        ++mine.noAnswer;
                        client.reset();
                        portIndex = (portIndex + 1) % settings.ports.size();
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
                if (mine.outOfTime)
                    break;
            }
            std::lock_guard guard(resultLock);
            total.latenciesMs.insert(total.latenciesMs.end(), mine.latenciesMs.begin(),
                                     mine.latenciesMs.end());
            total.acknowledged.insert(total.acknowledged.end(), mine.acknowledged.begin(),
                                      mine.acknowledged.end());
            total.uncertain.insert(total.uncertain.end(), mine.uncertain.begin(), mine.uncertain.end());
            total.unavailable += mine.unavailable;
            total.noAnswer += mine.noAnswer;
            total.unexpected += mine.unexpected;
            total.outOfTime = total.outOfTime || mine.outOfTime;
        });
    }
    for (std::thread &client : clients)
        client.join();
    finished = true;
    controller.join();
    total.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::sort(total.latenciesMs.begin(), total.latenciesMs.end());
    return total;
}

std::vector<std::string> checkTables(scored::ScoreStore &store, const Result &load,
                                     const std::vector<scored::GameId> &games) {
    std::vector<std::string> faults;
    for (scored::GameId game : games) {
        std::map<std::string, const Submitted *> acknowledged, uncertain;
        for (const Submitted &row : load.acknowledged)
            if (row.game == game)
                acknowledged[row.name] = &row;
        for (const Submitted &row : load.uncertain)
            if (row.game == game)
                uncertain[row.name] = &row;
        std::vector<scored::ScoreRow> rows = store.top(game, 1 << 20);
        std::string where = game.name() + ": ";
        if (rows.size() > static_cast<size_t>(scored::kTableSize) || store.count(game) > scored::kTableSize)
            faults.push_back(where + std::to_string(rows.size()) + " rows kept");

        // Every stored row was sent once; the reference is every acknowledged row plus the uncertain
        // ones that did get stored.
        std::set<std::string> seen;
        std::vector<uint32_t> reference;
        for (const auto &[name, row] : acknowledged)
            reference.push_back(row->score);
        for (const scored::ScoreRow &row : rows) {
            if (!seen.insert(row.name).second)
                faults.push_back(where + row.name + " is stored twice");
            if (uncertain.count(row.name))
                reference.push_back(row.score);
            else if (!acknowledged.count(row.name))
                faults.push_back(where + row.name + " was never sent");
        }
        std::sort(reference.begin(), reference.end(),
                  [&](uint32_t a, uint32_t b) { return better(game, a, b); });
        reference.resize(std::min(reference.size(), static_cast<size_t>(scored::kTableSize)));
        std::vector<uint32_t> stored;
        for (const scored::ScoreRow &row : rows)
            stored.push_back(row.score);
        if (stored != reference)
            faults.push_back(where + "the scores differ from a single process's table");

        // An acknowledged row that beats the last place must be there.
        bool full = rows.size() >= static_cast<size_t>(scored::kTableSize);
        for (const auto &[name, row] : acknowledged)
            if ((!full || better(game, row->score, rows.back().score)) && !seen.count(name))
                faults.push_back(where + name + " was acknowledged, ranks, and is missing");

        // Ties keep the order of arrival: a row acknowledged before another was sent comes first.
        for (size_t i = 0; i < rows.size(); ++i) {
            for (size_t j = i + 1; j < rows.size() && rows[j].score == rows[i].score; ++j) {
                auto first = acknowledged.find(rows[i].name), second = acknowledged.find(rows[j].name);
                if (first != acknowledged.end() && second != acknowledged.end() &&
                    second->second->answeredMs < first->second->sentMs)
                    faults.push_back(where + rows[j].name + " arrived first but is listed after " +
                                     rows[i].name);
            }
        }
    }
    return faults;
}

} // namespace loadgen
