#include "ui/changed_values_highlighter.h"

#include "image/listing.h"

namespace velkaro {

ChangedValuesHighlighter::ChangedValuesHighlighter(QTextDocument* document,
                                                   const Workspace& workspace, Memory memory)
    : QSyntaxHighlighter(document), mWorkspace(workspace), mMemory(memory) {
    mChanged.setForeground(QColor(0xC0, 0x00, 0x00));
    mChanged.setFontWeight(QFont::Bold);
}

void ChangedValuesHighlighter::highlightBlock(const QString& text) {
    const MemoryImage& now = mWorkspace.image;
    const MemoryImage& before = mWorkspace.savedImage;
    if (mMemory == Memory::Program)
        markChanged(text, now.ProgMemory, before.ProgMemory, kProgramWordsPerLine, 4);
    else
        markChanged(text, now.DataMemory, before.DataMemory, kDataBytesPerLine, 2);
}

// A line is the address, ':', then " value" per entry; the address may be wider than four
// digits, so the values are found from the colon.
template <typename T>
void ChangedValuesHighlighter::markChanged(const QString& text, const std::vector<T>& now,
                                           const std::vector<T>& before, size_t perLine,
                                           int digits) {
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    const int line = currentBlock().blockNumber();
    if (colon < 0 || line < 0)
        return;
    const size_t first = static_cast<size_t>(line) * perLine;
    for (size_t i = 0; i < perLine && first + i < now.size(); ++i) {
        const size_t at = first + i;
        if (at < before.size() && now[at] == before[at])
            continue;
        const auto column = static_cast<int>(colon) + 2 + static_cast<int>(i) * (digits + 1);
        setFormat(column, digits, mChanged);
    }
}

}  // namespace velkaro
