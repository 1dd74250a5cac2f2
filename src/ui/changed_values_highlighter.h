#pragma once

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

#include "app/workspace.h"

namespace velkaro {

// Colours the values of a listing that differ from the buffer as it was last loaded,
// saved or read (Workspace::savedImage): the words of the program listing or the bytes of
// the data listing. It reads the workspace on every block it draws; call rehighlight()
// when only the reference changed (a save, a read).
class ChangedValuesHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    enum class Memory { Program, Data };
    ChangedValuesHighlighter(QTextDocument* document, const Workspace& workspace, Memory memory);

protected:
    void highlightBlock(const QString& text) override;

private:
    template <typename T>
    void markChanged(const QString& text, const std::vector<T>& now, const std::vector<T>& before,
                     size_t perLine, int digits);

    const Workspace& mWorkspace;
    Memory mMemory;
    QTextCharFormat mChanged;
};

}  // namespace velkaro
