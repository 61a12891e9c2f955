#include "cli/terminal.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace dbk::cli {

namespace {

std::atomic<bool> interruptFlag{false};

extern "C" void onInterrupt(int) {
    interruptFlag.store(true);
}

void writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n <= 0)
            return;
        done += n;
    }
}

QString grouped(uint64_t value) {
    QString digits = QString::number(value);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, u',');
    return digits;
}

}  // namespace

void installInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // The second Ctrl+C finds the default action again and ends the program.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
}

bool interrupted() {
    return interruptFlag.load();
}

void setInterrupted(bool value) {
    interruptFlag.store(value);
}

std::optional<std::string> promptPassword(const QString& prompt) {
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    writeAll(fd, prompt.toUtf8());
    termios saved{};
    const bool hasTerminal = tcgetattr(fd, &saved) == 0;
    if (hasTerminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    std::string password;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        password += c;
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    if (hasTerminal)
        tcsetattr(fd, TCSAFLUSH, &saved);
    ::close(fd);
    return password;
}

void printError(const QString& text) {
    writeAll(STDERR_FILENO, (text + u'\n').toUtf8());
}

void printOut(const QString& text) {
    writeAll(STDOUT_FILENO, (text + u'\n').toUtf8());
}

ProgressBar::ProgressBar()
    : enabled_(::isatty(STDERR_FILENO) == 1), start_(std::chrono::steady_clock::now()) {}

QString ProgressBar::line(uint64_t rows, std::optional<uint64_t> total, double seconds, int width) {
    QString text;
    if (total && *total > 0) {
        const uint64_t shown = std::min(rows, *total);
        const int filled = static_cast<int>(static_cast<double>(shown) / static_cast<double>(*total) * width);
        text = u'[' + QString(filled, u'#') + QString(width - filled, u'.') + QStringLiteral("] ") +
               grouped(rows) + u'/' + grouped(*total);
    } else {
        text = grouped(rows);
    }
    const uint64_t rate = seconds > 0 ? static_cast<uint64_t>(static_cast<double>(rows) / seconds) : 0;
    return text + QStringLiteral(" rows  ") + grouped(rate) + QStringLiteral(" rows/s");
}

void ProgressBar::rows(uint64_t rows) {
    if (!enabled_)
        return;
    const auto now = std::chrono::steady_clock::now();
    draw(line(rows, total_, std::chrono::duration<double>(now - start_).count()), rows == 0);
}

void ProgressBar::percent(int percent) {
    if (!enabled_)
        return;
    const int filled = percent * 30 / 100;
    draw(u'[' + QString(filled, u'#') + QString(30 - filled, u'.') + QStringLiteral("] ") +
             QString::number(percent) + u'%',
         percent == 100);
}

void ProgressBar::draw(const QString& text, bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && drawn_ && now - lastDraw_ < std::chrono::milliseconds(100))
        return;
    lastDraw_ = now;
    drawn_ = true;
    writeAll(STDERR_FILENO, (QStringLiteral("\r\033[K") + text).toUtf8());
}

void ProgressBar::finish() {
    if (drawn_)
        writeAll(STDERR_FILENO, QByteArrayLiteral("\r\033[K"));
    drawn_ = false;
}

}  // namespace dbk::cli
