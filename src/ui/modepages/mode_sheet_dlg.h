#pragma once

#include <memory>
#include <vector>

#include <QDialog>

#include "modepages/mode_sheet.h"

class QDialogButtonBox;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QtPrompts;
class CModePageWidget;
struct DeviceEntry;

// "Mode Sense Pages": one tab per page the drive reports, in its order.
// Its OK, Cancel and Help buttons carry the ids 1, 2 and 9; the Error
// Recovery tab, once shown, turns OK into "Exit" and hides the others.
class CModeSPages : public QDialog {
    Q_OBJECT

public:
    explicit CModeSPages(QWidget* parent = nullptr);
    ~CModeSPages() override;

    // Reads the drive's pages and adds their tabs; false (nothing to show)
    // when the drive cannot be read.
    bool Open(DeviceEntry* device);

    QTabWidget* Tabs() const { return tabs; }
    std::vector<CModePageWidget*> PageWidgets() const;
    QPushButton* OkButton() const;
    QPushButton* CancelButton() const;
    QPushButton* HelpButton() const;
    // Says what the last save came to (and so does the main window's).
    QStatusBar* StatusBar() const { return statusBar; }

    // Closing while a tab holds edits that were not saved asks first.
    void done(int result) override;

    static constexpr const char* kTitle = "Mode Sense Pages";

private:
    void OnPageShown(CModePageWidget* widget);
    void OnSaveFinished(CModePageWidget* widget, ModeSaveResult result, Column column);

    // The page objects outlive their tabs' widgets.
    std::unique_ptr<CModeSheetPages> pages;
    std::unique_ptr<QtPrompts> prompts;
    QTabWidget* tabs = nullptr;
    QDialogButtonBox* buttonBox = nullptr;
    QStatusBar* statusBar = nullptr;
    DeviceEntry* drive = nullptr;  // the one the sheet was opened on
};
