#include "ui/buffer_question.h"

#include <QString>

#include "app/workspace.h"
#include "ui/dialogs.h"

namespace velkaro {

bool confirmDiscardBuffer(Workspace& workspace, Dialogs& dialogs, QWidget* parent) {
    if (!workspace.bufferModified())
        return true;
    return dialogs.yesNo(parent, QStringLiteral("バッファの変更"),
                         QStringLiteral("バッファに保存されていない変更があります。"
                                        "変更を破棄してよろしいですか？"));
}

}  // namespace velkaro
