#include "ui/search/searchdialog.h"

#include "device/deviceinfo.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace {
// Beside its title the window manager puts an icon and two or three buttons: a dialog
// as narrow as its two rows would show its title cut.
constexpr int kTitleBarRoom = 140;
} // namespace

SearchDialog::SearchDialog(QWidget *parent)
    : QDialog(parent), formatBox(new QComboBox(this)), addressBox(new QComboBox(this))
{
    setWindowTitle(tr("Добавить устройство"));
    setModal(true);
    setupSelectors();
    auto *form = new QFormLayout;
    form->addRow(tr("Формат: "), formatBox);
    form->addRow(tr("Адрес: "), addressBox);
    auto *add = new QPushButton(tr("Добавить"), this);
    auto *cancel = new QPushButton(tr("Отмена"), this);
    connect(add, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    QFont titleFont = font(); // title bars mostly write in bold
    titleFont.setBold(true);
    const int titleWidth = QFontMetrics(titleFont).horizontalAdvance(windowTitle()) + kTitleBarRoom;
    layout->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Fixed, QSizePolicy::Minimum));
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void SearchDialog::setupSelectors()
{
    for (int code = 0; code < kFormatChoices; ++code)
        formatBox->addItem(DeviceInfo::formatLabel(code), code);
    for (int a = 1; a <= kLastAddress; ++a)
        addressBox->addItem(QString::number(a), a);
}

int SearchDialog::address() const
{
    return addressBox->currentData().toInt();
}

int SearchDialog::frameFormat() const
{
    return formatBox->currentData().toInt();
}

void SearchDialog::setAddress(int address)
{
    addressBox->setCurrentIndex(addressBox->findData(address));
}

void SearchDialog::setFrameFormat(int code)
{
    formatBox->setCurrentIndex(formatBox->findData(code));
}
