#pragma once

#include <string_view>

namespace velkaro {

// Where the core shows a plain message (a message box with OK in the desktop program,
// stderr in the command-line tool, a recorder in tests). The core never prints.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void showMessage(std::string_view text) = 0;
};

// Drops every message; for callers that have nowhere to show them.
class SilentMessageSink : public MessageSink {
public:
    void showMessage(std::string_view) override {}
};

}  // namespace velkaro
