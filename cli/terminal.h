#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace dbk::cli {

// Ctrl+C: the first one asks the running job to stop as the forms' Cancel does; the second ends
// the program at once.
void installInterruptHandler();
bool interrupted();
// For the tests of the job logic: as if Ctrl+C had been pressed, or not.
void setInterrupted(bool value);

// Reads a password from the terminal without echo; nullopt when there is no terminal.
std::optional<std::string> promptPassword(const QString& prompt);

// Text on standard error / output, in UTF-8.
void printError(const QString& text);
void printOut(const QString& text);

// The progress of a job on standard error, drawn only when it is a terminal: a bar (when the
// total is known), the rows so far and their rate.
class ProgressBar {
public:
    ProgressBar();
    ~ProgressBar() { finish(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    bool enabled() const { return enabled_; }
    void setTotal(std::optional<uint64_t> total) { total_ = total; }
    void rows(uint64_t rows);
    // A job measured in percent (a script's bytes).
    void percent(int percent);
    // Clears the line.
    void finish();

    // The line for `rows` after `seconds`, `width` characters of bar; for the tests.
    static QString line(uint64_t rows, std::optional<uint64_t> total, double seconds, int width = 30);

private:
    void draw(const QString& text, bool force);
    bool enabled_ = false;
    bool drawn_ = false;
    std::optional<uint64_t> total_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace dbk::cli
