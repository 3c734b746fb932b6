#pragma once

#include <memory>

#include <QDialog>

#include "legacytest/subtest_selection.h"

namespace Ui {
class CSubtestSelectDlg;
}

// "Subtest Selection" (133): one check box per subtest, by control id.
class CSubtestSelectDlg : public QDialog {
    Q_OBJECT

public:
    explicit CSubtestSelectDlg(QWidget* parent = nullptr);
    ~CSubtestSelectDlg() override;

    // Index i of the selection to the check box of row i, and back
    // (checked is 1, unchecked 0).
    void SetSelection(const SubtestSelection& selection);
    SubtestSelection Selection() const;

private:
    std::unique_ptr<Ui::CSubtestSelectDlg> ui;
};
