#ifndef TOOLS_RFSIM_CLASSSIMULATION_H
#define TOOLS_RFSIM_CLASSSIMULATION_H

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace rfsim {

// One key press of one remote: the answer code 0..15 (1 = "a" ... 10 = "j").
struct Vote
{
    std::uint32_t remote = 0;
    int answer = 0;
};

struct ClassSettings
{
    std::uint32_t remotes = 30;
    double rate = 10.0;      // votes per second; 0 = as fast as the line allows
    std::uint64_t count = 0; // votes in total; 0 = one per remote
    bool endless = false;    // keep voting (students change their answers)
    std::uint32_t firstRemote = 100000;
    std::vector<double> weights = std::vector<double>{0, 1, 1, 1, 1}; // index = answer code
    std::uint64_t seed = 1;
};

// Parses answer weights such as "a:40,b:30,c:20,d:10" or "1:5,2:5"; answers are
// letters a..j or codes 0..15. Returns false with a message on bad input or
// when all weights are zero.
bool parseAnswerWeights(const std::string &spec, std::vector<double> &weights, std::string &error);

// Parses a vote rate: votes per second, or "line" (0: as fast as the line
// carries them).
bool parseVoteRate(const std::string &text, double &rate);

// Checks the settings as a whole (remote range fits 21 bits, rate, weights).
bool validateClassSettings(const ClassSettings &settings, std::string &error);

// Produces the votes of a simulated class on a schedule: every remote votes
// once per round, in a fresh random order each round, with an answer drawn
// from the weights. Vote i is due at start + i / rate.
class ClassSimulation
{
public:
    using Clock = std::chrono::steady_clock;

    ClassSimulation(const ClassSettings &settings, Clock::time_point start);

    bool finished() const;
    Clock::time_point nextDue() const;
    Vote next();
    std::uint64_t produced() const { return produced_; }

private:
    void shuffleRound();

    ClassSettings settings_;
    Clock::time_point start_;
    std::mt19937_64 random_;
    std::discrete_distribution<int> answers_;
    std::vector<std::uint32_t> round_;
    std::size_t roundPos_ = 0;
    std::uint64_t total_ = 0;
    std::uint64_t produced_ = 0;
};

} // namespace rfsim

#endif // TOOLS_RFSIM_CLASSSIMULATION_H
