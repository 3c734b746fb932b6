#include "ui/smart/smart_page.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

CSmartPage::CSmartPage(const SmartTab& tab, QWidget* parent) : QWidget(parent), pageTable(*tab.page)
{
    setObjectName(QString::fromLatin1(pageTable.className));
    setProperty("dialogId", pageTable.dialogId);

    auto* layout = new QFormLayout(this);
    layout->setRowWrapPolicy(QFormLayout::DontWrapRows);
    layout->setLabelAlignment(Qt::AlignLeft);
    for (size_t i = 0; i < pageTable.fields.size(); ++i) {
        const SmartFieldSpec& field = pageTable.fields[i];
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::number(field.controlId));
        edit->setReadOnly(true);
        edit->setMaximumWidth(120);
        if (i < tab.values.size()) edit->setText(QString::fromStdString(tab.values[i]));
        auto* label = new QLabel(QString::fromLatin1(field.label), this);
        label->setBuddy(edit);
        layout->addRow(label, edit);
    }
}
