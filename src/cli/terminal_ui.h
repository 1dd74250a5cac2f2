#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "link/operation_ui.h"

namespace velkaro::cli {

// The command-line tool's OperationUi. On a terminal it draws one progress line (percent of
// the current region and its status text); otherwise it prints each new status text as a
// plain line. --quiet draws nothing; --json keeps the messages for the JSON result instead
// of printing them. Cancel comes from Ctrl-C (see interrupt.h).
class TerminalUi : public OperationUi {
public:
    struct Options {
        bool quiet = false;
        bool json = false;
        bool yes = false;  // questions with OK and Cancel are answered OK without asking
    };
    // Progress and messages go to `out` (stderr by default).
    explicit TerminalUi(Options options, std::FILE* out = stderr);
    ~TerminalUi() override;

    void showMessage(std::string_view text) override;
    void setProgress(int percent) override;
    void setStatusText(std::string_view text) override;
    void pumpEvents() override {}
    bool cancelRequested() const override;
    // Asks on the terminal; without one the answer is Cancel / No.
    bool askOkCancel(std::string_view text) override;
    bool askYesNo(std::string_view text, std::string_view caption) override;
    void setCaption(std::string_view text) override;

    // Every message shown, in order.
    const std::vector<std::string>& messages() const { return mMessages; }
    // True when a message shown so far contains `text`.
    bool hasShown(std::string_view text) const {
        for (const std::string& m : mMessages) {
            if (m.find(text) != std::string::npos)
                return true;
        }
        return false;
    }
    // Ends an open progress line so that what follows starts on a line of its own.
    void endProgressLine();

private:
    void drawProgress();
    bool askOnTerminal(std::string_view text, std::string_view choices);

    Options mOptions;
    std::FILE* mOut;
    bool mTerminal;
    bool mLineOpen = false;
    int mPercent = 0;
    std::string mStatus;
    std::vector<std::string> mMessages;
};

}  // namespace velkaro::cli
