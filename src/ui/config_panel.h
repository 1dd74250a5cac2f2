#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QScrollArea;

namespace velkaro {

struct Workspace;

// The configuration words of the main window's right-hand column: ten rows of address
// label and hexadecimal edit, and under the "詳細設定" caption a scroll box of up to 60
// named fields, each a label and a list of options. An option choice rewrites its word;
// a word typed into an edit selects the matching options. The option values themselves
// stay in the workspace's field table.
class ConfigPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWordRows = 10;
    static constexpr int kFieldRows = 60;

    explicit ConfigPanel(Workspace& workspace, QWidget* parent = nullptr);

    // After a device selection: captions and options of the field rows, when the table was
    // rebuilt from another section; the first option selected, unused rows hidden.
    void rebuildRows();
    // The word rows from the image (labels, texts, visibility), then every field row's
    // selection from the words.
    void refresh();

    void VBox1Change(int row);
    void VBoxOnDropDown(int row);
    void edConfig1Exit(int index);

    QLabel* lblCfg[kWordRows] = {};
    QLineEdit* edConfig[kWordRows] = {};
    QLabel* Vlabel[kFieldRows] = {};
    QComboBox* VBox[kFieldRows] = {};

signals:
    // A configuration word of the image changed through this panel.
    void configWordsChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void syncBoxes();
    int dropDownWidth(int row) const;

    Workspace& mWorkspace;
    QScrollArea* ScrollBox = nullptr;
    std::string mShownTable;  // the field table the rows were last filled from
};

}  // namespace velkaro
