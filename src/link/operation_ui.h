#pragma once

#include <string_view>

#include "catalogue/message_sink.h"

namespace velkaro {

// What a running operation needs from the window (or terminal, or test) that started it.
// Loops call pumpEvents() once per word or block and then test cancelRequested().
class OperationUi : public MessageSink {
public:
    // Gauge, 0..100, of the current region.
    virtual void setProgress(int percent) = 0;
    // Status text naming the current region; empty clears it.
    virtual void setStatusText(std::string_view text) = 0;
    // Lets pending user-interface events run (a Cancel click among them).
    virtual void pumpEvents() = 0;
    virtual bool cancelRequested() const = 0;
    // Information box with OK and Cancel; true when the user chose OK.
    virtual bool askOkCancel(std::string_view text) = 0;
    // The same box with Cancel as its default button, for a question where going on could
    // overwrite the wrong chip or lock one out: Enter alone never goes on.
    virtual bool askOkCancelDefaultCancel(std::string_view text) { return askOkCancel(text); }
    // Yes/No box with its own caption; true for Yes.
    virtual bool askYesNo(std::string_view text, std::string_view caption) = 0;
    // Window caption (the automatic sequence names its step there).
    virtual void setCaption(std::string_view text) = 0;
};

// Shows nothing, never cancels, and declines every question (so nothing proceeds on an
// answer nobody gave). The link uses it until a caller sets a real UI.
class SilentOperationUi : public OperationUi {
public:
    void showMessage(std::string_view) override {}
    void setProgress(int) override {}
    void setStatusText(std::string_view) override {}
    void pumpEvents() override {}
    bool cancelRequested() const override { return false; }
    bool askOkCancel(std::string_view) override { return false; }
    bool askYesNo(std::string_view, std::string_view) override { return false; }
    void setCaption(std::string_view) override {}
};

}  // namespace velkaro
