#include "cli/terminal_ui.h"

#include <unistd.h>

#include <cstring>
#include <iostream>

#include "cli/interrupt.h"

namespace velkaro::cli {
namespace {

// Message texts separate their lines with a carriage return, as a message box shows them.
std::string forTerminal(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        if (c == '\r')
            c = '\n';
    }
    return line;
}

}  // namespace

TerminalUi::TerminalUi(Options options, std::FILE* out)
    : mOptions(options), mOut(out), mTerminal(isatty(fileno(out)) != 0) {}

TerminalUi::~TerminalUi() {
    endProgressLine();
}

void TerminalUi::showMessage(std::string_view text) {
    mMessages.emplace_back(text);
    if (mOptions.json)
        return;
    endProgressLine();
    std::fprintf(mOut, "%s\n", forTerminal(text).c_str());
    std::fflush(mOut);
}

void TerminalUi::setProgress(int percent) {
    if (percent == mPercent)
        return;
    mPercent = percent;
    if (mTerminal)
        drawProgress();
}

void TerminalUi::setStatusText(std::string_view text) {
    if (text == mStatus)
        return;
    mStatus = text;
    if (mTerminal) {
        drawProgress();
    } else if (!mOptions.quiet && !mOptions.json && !mStatus.empty()) {
        std::fprintf(mOut, "%s\n", mStatus.c_str());
        std::fflush(mOut);
    }
}

bool TerminalUi::cancelRequested() const {
    return InterruptCancel::requested();
}

bool TerminalUi::askOkCancel(std::string_view text) {
    if (mOptions.yes) {
        showMessage(std::string(text) + " (--yes: OK)");
        return true;
    }
    return askOnTerminal(text, "[OK=y / Cancel=n]");
}

bool TerminalUi::askYesNo(std::string_view text, std::string_view caption) {
    std::string question(caption);
    question += ": ";
    question += text;
    return askOnTerminal(question, "[y/n]");
}

void TerminalUi::setCaption(std::string_view text) {
    setStatusText(text);
}

void TerminalUi::endProgressLine() {
    if (!mLineOpen)
        return;
    std::fputc('\n', mOut);
    std::fflush(mOut);
    mLineOpen = false;
}

void TerminalUi::drawProgress() {
    if (mOptions.quiet || mOptions.json)
        return;
    constexpr int kBarWidth = 30;
    const int filled = mPercent * kBarWidth / 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kBarWidth - filled), '.');
    // "\r" and erase-to-end-of-line redraw the same line.
    std::fprintf(mOut, "\r\033[K[%s] %3d%% %s", bar.c_str(), mPercent, mStatus.c_str());
    std::fflush(mOut);
    mLineOpen = true;
}

bool TerminalUi::askOnTerminal(std::string_view text, std::string_view choices) {
    endProgressLine();
    std::fprintf(mOut, "%s %.*s ", forTerminal(text).c_str(), static_cast<int>(choices.size()),
                 choices.data());
    std::fflush(mOut);
    if (!isatty(STDIN_FILENO)) {
        std::fputc('\n', mOut);
        return false;
    }
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    return answer == "y" || answer == "Y" || answer == "yes";
}

}  // namespace velkaro::cli
