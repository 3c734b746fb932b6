#include "ui/legacytest/subtest_select_dlg.h"

#include <QCheckBox>

// The form lives in forms/, outside the folder the workstation globs for
// .ui sources, so that only this target generates its header.
#include "forms/ui_subtest_select_dlg.h"

CSubtestSelectDlg::CSubtestSelectDlg(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::CSubtestSelectDlg>())
{
    ui->setupUi(this);
}

CSubtestSelectDlg::~CSubtestSelectDlg() = default;

void CSubtestSelectDlg::SetSelection(const SubtestSelection& selection)
{
    for (int i = 0; i < kSubtestCount; ++i) {
        if (auto* box = findChild<QCheckBox*>(QString::number(Subtests()[static_cast<size_t>(i)].checkBoxId)))
            box->setChecked(selection.Runs(i));
    }
}

SubtestSelection CSubtestSelectDlg::Selection() const
{
    SubtestSelection selection;
    for (int i = 0; i < kSubtestCount; ++i) {
        const auto* box = findChild<QCheckBox*>(QString::number(Subtests()[static_cast<size_t>(i)].checkBoxId));
        selection.run[static_cast<size_t>(i)] = box != nullptr && box->isChecked() ? 1 : 0;
    }
    return selection;
}
