#pragma once

class QWidget;

namespace velkaro {

class Dialogs;
struct Workspace;

// Before an action that replaces the buffer: true when the buffer holds no changes since
// it was last loaded, saved or read, or when the user agrees (Yes) to discard them.
bool confirmDiscardBuffer(Workspace& workspace, Dialogs& dialogs, QWidget* parent);

}  // namespace velkaro
