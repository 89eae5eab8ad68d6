#include "ui/search/networklinedialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
constexpr int kHighestComNumber = 999;
const char *const kSchemes[] = {"modbus-tcp", "tcp", "rfc2217"};
} // namespace

NetworkLineDialog::NetworkLineDialog(int firstFreeNumber, QWidget *parent)
    : QDialog(parent), kindBox(new QComboBox(this)), hostEdit(new QLineEdit(this)), tcpPortBox(new QSpinBox(this)),
      numberBox(new QSpinBox(this))
{
    setWindowTitle(tr("Сетевая линия"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    kindBox->addItems({tr("Шлюз Modbus TCP"), tr("Сервер порта: Modbus RTU поверх TCP"),
                       tr("Сервер порта с управлением (RFC 2217)")});
    // A host name or an address, nothing a URL could be confused by.
    hostEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[A-Za-z0-9.:_-]+")), hostEdit));
    hostEdit->setPlaceholderText(tr("например, 192.168.1.20"));
    tcpPortBox->setRange(1, 65535);
    tcpPortBox->setValue(kModbusTcpPort);
    numberBox->setRange(1, kHighestComNumber);
    numberBox->setPrefix(QStringLiteral("COM"));
    numberBox->setValue(firstFreeNumber);
    auto *form = new QFormLayout;
    form->addRow(tr("Вид линии:"), kindBox);
    form->addRow(tr("Адрес:"), hostEdit);
    form->addRow(tr("Порт TCP:"), tcpPortBox);
    form->addRow(tr("Номер порта в программе:"), numberBox);
    okButton = new QPushButton(tr("ОК"), this);
    auto *cancel = new QPushButton(tr("Отмена"), this);
    okButton->setEnabled(false);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(kindBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &NetworkLineDialog::onKindChanged);
    connect(hostEdit, &QLineEdit::textChanged, this, &NetworkLineDialog::onHostEdited);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(okButton);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    const std::pair<QWidget *, const char *> names[] = {{kindBox, "networkKind"}, {hostEdit, "networkHost"},
                                                        {tcpPortBox, "networkPort"}, {numberBox, "networkComNumber"},
                                                        {okButton, "networkOk"}};
    for (const auto &n : names)
        n.first->setObjectName(QLatin1String(n.second));
}

// A gateway listens on Modbus TCP's own port; device servers on one of their own.
void NetworkLineDialog::onKindChanged(int kind)
{
    tcpPortBox->setValue(kind == ModbusTcp ? kModbusTcpPort : kServerPort);
}

void NetworkLineDialog::onHostEdited()
{
    okButton->setEnabled(!hostEdit->text().trimmed().isEmpty());
}

QString NetworkLineDialog::url() const
{
    return QStringLiteral("%1://%2:%3")
        .arg(QLatin1String(kSchemes[kindBox->currentIndex()]), hostEdit->text().trimmed())
        .arg(tcpPortBox->value());
}

int NetworkLineDialog::portNumber() const
{
    return numberBox->value();
}

void NetworkLineDialog::setLine(Kind kind, const QString &host, int port, int number)
{
    kindBox->setCurrentIndex(kind);
    hostEdit->setText(host);
    tcpPortBox->setValue(port);
    numberBox->setValue(number);
}
