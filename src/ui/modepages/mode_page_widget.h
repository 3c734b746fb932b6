#pragma once

#include <map>
#include <memory>

#include <QWidget>

#include "modepages/edit_field.h"
#include "modepages/mode_page.h"

class UserPrompts;
class QPushButton;

// One tab of the "Mode Sense Pages" sheet, built from its page's field
// table: the numbers with their three columns, the bits as a grid of check
// boxes, and the three buttons. Every control's objectName is its id.
class CModePageWidget : public QWidget, public FieldControls {
    Q_OBJECT

public:
    CModePageWidget(CModePage& page, UserPrompts& prompts, QWidget* parent = nullptr);
    ~CModePageWidget() override;

    CModePage& Page() const { return page; }
    EditField* Edit(int controlId) override;
    CheckField* Check(int controlId) override;
    QPushButton* Button(int controlId) const;
    // Whether the page has been shown (filled and locked) yet.
    bool Initialised() const { return initialised; }

signals:
    // The first time the tab is shown, after its fill and lock.
    void FirstShown(CModePageWidget* widget);
    // After "Save Saveable" (the Saved column) or "Save Current".
    void SaveFinished(CModePageWidget* widget, ModeSaveResult result, Column column);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Build();
    QWidget* BuildNumbers();
    QWidget* BuildBits();

    class LineEditField;
    class CheckBoxField;

    CModePage& page;
    std::map<int, std::unique_ptr<LineEditField>> edits;
    std::map<int, std::unique_ptr<CheckBoxField>> checks;
    std::map<int, QPushButton*> buttons;
    bool initialised = false;
};
