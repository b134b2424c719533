// A terminal progress bar for the bulk commands: rows done, total, rate and time left,
// redrawn on one line on a terminal, printed as periodic plain lines otherwise.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "store/CPicture.h"

namespace kelvo::cli {

class ProgressBar {
  public:
    using Clock = std::chrono::steady_clock;

    // `interactive`: redraw in place with "\r" (a terminal); else plain lines.
    ProgressBar(std::FILE* out, bool interactive);
    ~ProgressBar();

    // One step of a phase named `msg`. `pos` may count up (rows) or down (files left).
    void Update(const std::string& msg, std::int32_t pos, std::int32_t total,
                Clock::time_point now = Clock::now());
    // Ends the current line, if one is open.
    void Finish();

    // The text of one bar line (no "\r", no newline).
    static std::string Line(const std::string& msg, std::int64_t done, std::int64_t total,
                            double seconds);

  private:
    void startPhase(const std::string& msg, std::int32_t pos, Clock::time_point now);

    std::FILE* out_;
    bool interactive_;
    bool lineOpen_ = false;
    std::string phase_;
    std::int32_t firstPos_ = 0;
    bool countsDown_ = false;
    Clock::time_point phaseStart_, lastPrint_;
};

// Feeds a store's ConversionProgress events to a bar.
class ProgressListener : public CPictureEvents {
  public:
    explicit ProgressListener(ProgressBar& bar) : bar_(bar) {}
    void ConversionProgress(std::string& msg, std::int32_t& Pos, std::int32_t& TotalRecs) override {
        bar_.Update(msg, Pos, TotalRecs);
    }

  private:
    ProgressBar& bar_;
};

// Whether `out` is a terminal.
bool IsTerminal(std::FILE* out);

}  // namespace kelvo::cli
