#include "ui/shell/about_box.h"

#include <QIcon>

#include "ui_about_box.h"

CAboutBox::CAboutBox(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::CAboutBox>())
{
    ui->setupUi(this);
    ui->iconLabel->setPixmap(QIcon(QStringLiteral(":/icons/kestrion.png")).pixmap(48, 48));
    ui->versionLabel->setText(QStringLiteral("Kestrion Version %1").arg(QStringLiteral(KESTRION_VERSION)));
}

CAboutBox::~CAboutBox() = default;
