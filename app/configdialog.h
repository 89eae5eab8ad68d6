#pragma once

#include "storage/appsettings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QRadioButton;
class QSpinBox;

// "Параметры": auto-connection, the current axis of the time-current characteristic,
// the time span of the plots, the line's timing and the interface's language. The
// caller reads the choices after acceptance.
class ConfigDialog : public QDialog
{
    Q_OBJECT
public:
    ConfigDialog(bool autoConnect, int axisScale, int plotInterval, QWidget *parent = nullptr);

    bool autoConnect() const;
    // 0 linear, 1 logarithmic.
    int axisScale() const;
    // Seconds, in whole minutes.
    int plotInterval() const;

    // How replies on the line end, the pause before each request and the allowance
    // added to time-outs on network lines.
    void setLinkSettings(AppSettings::Framing framing, int extraPauseMs, int networkAllowanceMs);
    AppSettings::Framing framing() const;
    int extraPauseMs() const;
    int networkAllowanceMs() const;

    // History: days at full resolution, then days as one row a minute.
    void setHistoryPeriods(int fullDays, int minuteDays);
    int historyFullDays() const;
    int historyMinuteDays() const;

    // A value outside the enumeration shows as the system's language. Taken at the next start.
    void setLanguage(AppSettings::Language language);
    AppSettings::Language language() const;

private:
    QWidget *setupAxisGroup(int axisScale);
    QLayout *setupIntervalRow(int plotInterval);
    QGroupBox *setupLinkGroup();
    QLayout *setupLanguageRows();
    QGroupBox *setupHistoryGroup();
    QLayout *setupButtons();

    QCheckBox *autoConnectBox;
    QRadioButton *linearButton = nullptr;
    QRadioButton *logarithmicButton = nullptr;
    QSpinBox *hoursBox = nullptr;
    QSpinBox *minutesBox = nullptr;
    QRadioButton *lengthFramingButton = nullptr;
    QRadioButton *gapFramingButton = nullptr;
    QSpinBox *pauseBox = nullptr;
    QSpinBox *networkBox = nullptr;
    QComboBox *languageBox = nullptr;
    QSpinBox *fullDaysBox = nullptr;
    QSpinBox *minuteDaysBox = nullptr;
};
