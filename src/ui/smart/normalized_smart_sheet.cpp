#include "ui/smart/normalized_smart_sheet.h"

#include <algorithm>

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/smart/smart_page.h"

namespace {

constexpr int kExitButtonId = 1;  // the sheet's OK button, relabelled
constexpr int kSheetWidth = 860;

}  // namespace

CNormalizedSMART::CNormalizedSMART(const SmartSheet& sheet, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CNormalizedSMART"));
    setWindowTitle(QString::fromLatin1(kSmartSheetTitle));

    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("smartTabs"));
    for (const SmartTab& tab : sheet.tabs) {
        tabs->addTab(new CSmartPage(tab, tabs), QString::fromLatin1(tab.page->caption));
    }
    tabs->setCurrentIndex(0);

    // Nothing on the sheet can be changed, so there is nothing to cancel:
    // the sheet offers only "Exit".
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* exit = buttons->addButton(QStringLiteral("Exit"), QDialogButtonBox::AcceptRole);
    exit->setObjectName(QString::number(kExitButtonId));
    exit->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    // Wide enough for three of the long tab captions at a time; the tab bar
    // scrolls to the others.
    resize(std::max(sizeHint().width(), kSheetWidth), sizeHint().height());
}
