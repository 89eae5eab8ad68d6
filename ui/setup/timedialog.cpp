#include "ui/setup/timedialog.h"

#include <QDateTime>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QPushButton>

#include <limits>

namespace {
constexpr int kWidth = 200;
constexpr int kHeight = 105;
// The device counts unsigned 32-bit seconds: the editor holds no moment it cannot.
constexpr qint64 kLastDeviceSecond = std::numeric_limits<quint32>::max();
} // namespace

TimeDialog::TimeDialog(quint32 deviceTime, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Время"));
    setFixedSize(kWidth, kHeight);
    auto *grid = new QGridLayout(this);
    edit = new QDateTimeEdit(this);
    edit->setObjectName(QStringLiteral("deviceTimeEdit"));
    edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    edit->setDateTimeRange(QDateTime::fromSecsSinceEpoch(0), QDateTime::fromSecsSinceEpoch(kLastDeviceSecond));
    edit->setDateTime(QDateTime::fromSecsSinceEpoch(deviceTime));
    auto *sync = new QPushButton(tr("Синхронизировать"), this);
    sync->setObjectName(QStringLiteral("syncTimeButton"));
    auto *ok = new QPushButton(tr("Ок"), this);
    ok->setObjectName(QStringLiteral("timeOkButton"));
    auto *cancel = new QPushButton(tr("Отмена"), this);
    cancel->setObjectName(QStringLiteral("timeCancelButton"));
    grid->addWidget(edit, 0, 0, 1, 2);
    grid->addWidget(sync, 1, 0, 1, 2);
    grid->addWidget(ok, 2, 0);
    grid->addWidget(cancel, 2, 1);
    connect(sync, &QPushButton::clicked, this, &TimeDialog::syncTime);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TimeDialog::syncTime()
{
    edit->setDateTime(QDateTime::currentDateTime());
}

quint32 TimeDialog::time() const
{
    return quint32(qBound<qint64>(0, edit->dateTime().toSecsSinceEpoch(), kLastDeviceSecond));
}
