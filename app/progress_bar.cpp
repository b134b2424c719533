// Drawing of the bulk commands' progress bar.
#include "progress_bar.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace kelvo::cli {
namespace {

constexpr int kBarWidth = 30;
constexpr auto kPlainInterval = std::chrono::seconds(2);

std::string clockText(double seconds) {
    long s = std::lround(std::max(0.0, seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

}  // namespace

bool IsTerminal(std::FILE* out) {
    return isatty(fileno(out)) == 1;
}

ProgressBar::ProgressBar(std::FILE* out, bool interactive) : out_(out), interactive_(interactive) {}

ProgressBar::~ProgressBar() {
    Finish();
}

std::string ProgressBar::Line(const std::string& msg, std::int64_t done, std::int64_t total,
                              double seconds) {
    total = std::max<std::int64_t>(total, done);
    int filled = total > 0 ? static_cast<int>(kBarWidth * done / total) : kBarWidth;
    double rate = seconds > 0 ? done / seconds : 0;
    std::string line =
        msg + " [" + std::string(filled, '#') + std::string(kBarWidth - filled, ' ') + "] ";
    char numbers[128];
    std::snprintf(numbers, sizeof numbers, "%lld/%lld  %.1f/s  left %s",
                  static_cast<long long>(done), static_cast<long long>(total), rate,
                  rate > 0 ? clockText((total - done) / rate).c_str() : "?");
    return line + numbers;
}

void ProgressBar::startPhase(const std::string& msg, std::int32_t pos, Clock::time_point now) {
    Finish();
    phase_ = msg;
    firstPos_ = pos;
    // The store counts deleted files down from the row count; rows count up.
    countsDown_ = msg.rfind("Deleting", 0) == 0;
    phaseStart_ = now;
    lastPrint_ = Clock::time_point{};
}

void ProgressBar::Update(const std::string& msg, std::int32_t pos, std::int32_t total,
                         Clock::time_point now) {
    if (msg != phase_) startPhase(msg, pos, now);
    // A phase that counts down (files deleted) runs from its first position to 0.
    std::int64_t done = countsDown_ ? std::int64_t{firstPos_} - pos + 1 : pos;
    std::int64_t all = countsDown_ ? std::int64_t{firstPos_} + 1 : total;
    double seconds = std::chrono::duration<double>(now - phaseStart_).count();
    std::string line = Line(msg, done, all, seconds);
    if (interactive_) {
        std::fprintf(out_, "\r%s\033[K", line.c_str());
        lineOpen_ = true;
    } else if (now - lastPrint_ >= kPlainInterval || done >= all) {
        std::fprintf(out_, "%s\n", line.c_str());
        lastPrint_ = now;
    }
    std::fflush(out_);
}

void ProgressBar::Finish() {
    if (lineOpen_) std::fputc('\n', out_);
    lineOpen_ = false;
    std::fflush(out_);
}

}  // namespace kelvo::cli
