#include "ClassSimulation.h"

#include "AnswerCodes.h"
#include "TextFields.h"

#include <kwend/Encoder.h>

#include <algorithm>
#include <numeric>

namespace rfsim {

bool parseAnswerWeights(const std::string &spec, std::vector<double> &weights, std::string &error)
{
    std::vector<double> parsed(answerCodeCount, 0.0);
    for (const std::string &item : splitList(spec, ',')) {
        const std::size_t colon = item.find(':');
        int code = -1;
        double value = 0.0;
        if (colon == std::string::npos || !parseAnswerCode(item.substr(0, colon), code) ||
            !parseDouble(item.substr(colon + 1), value) || value < 0.0) {
            error = "bad answer weight '" + item + "' (expected e.g. a:40)";
            return false;
        }
        parsed[std::size_t(code)] = value;
    }
    if (std::accumulate(parsed.begin(), parsed.end(), 0.0) <= 0.0) {
        error = "answer weights must not all be zero";
        return false;
    }
    weights = parsed;
    return true;
}

bool parseVoteRate(const std::string &text, double &rate)
{
    if (text == "line") {
        rate = 0.0;
        return true;
    }
    return parseDouble(text, rate);
}

bool validateClassSettings(const ClassSettings &settings, std::string &error)
{
    if (settings.remotes == 0) {
        error = "a class needs at least one remote";
        return false;
    }
    if (settings.firstRemote > kwend::kMaxRemoteId ||
        settings.remotes - 1 > kwend::kMaxRemoteId - settings.firstRemote) {
        error = "remote identifiers must stay below 2097152";
        return false;
    }
    if (settings.rate < 0.0) {
        error = "the vote rate must not be negative";
        return false;
    }
    if (settings.weights.empty() || settings.weights.size() > answerCodeCount ||
        std::accumulate(settings.weights.begin(), settings.weights.end(), 0.0) <= 0.0) {
        error = "answer weights must name at least one answer";
        return false;
    }
    return true;
}

ClassSimulation::ClassSimulation(const ClassSettings &settings, Clock::time_point start)
    : settings_(settings), start_(start), random_(settings.seed),
      answers_(settings.weights.begin(), settings.weights.end()),
      total_(settings.count ? settings.count : settings.remotes)
{
    round_.resize(settings_.remotes);
    std::iota(round_.begin(), round_.end(), settings_.firstRemote);
    shuffleRound();
}

bool ClassSimulation::finished() const
{
    return !settings_.endless && produced_ >= total_;
}

ClassSimulation::Clock::time_point ClassSimulation::nextDue() const
{
    if (settings_.rate <= 0.0)
        return start_;
    const std::chrono::duration<double> offset(double(produced_) / settings_.rate);
    return start_ + std::chrono::duration_cast<Clock::duration>(offset);
}

Vote ClassSimulation::next()
{
    if (roundPos_ == round_.size())
        shuffleRound();
    Vote vote;
    vote.remote = round_[roundPos_++];
    vote.answer = answers_(random_);
    ++produced_;
    return vote;
}

void ClassSimulation::shuffleRound()
{
    std::shuffle(round_.begin(), round_.end(), random_);
    roundPos_ = 0;
}

} // namespace rfsim
