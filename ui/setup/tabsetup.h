#pragma once

#include "device/configfields.h"
#include "ui/dataeventlistener.h"

#include <QWidget>

#include <memory>

class ConfigPacket;
class MainControl;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QSpinBox;
class SettingsFile;

// Tab "Настройка": reads, edits, checks and writes the device's protection settings,
// sets its clock, clears its logs and running hours, opens the idle-protection diagram,
// and keeps settings in files. It never talks to the device: every command is a
// request of the main window; results come back as data events.
class TabSetup : public QWidget, public DataEventListener
{
    Q_OBJECT
public:
    explicit TabSetup(MainControl *main, QWidget *parent = nullptr);
    ~TabSetup() override;

    void onDataEvent(const DataEvent *event) override;

    // A block of the connected modification's class filled from the editors.
    std::unique_ptr<ConfigPacket> buildConfiguration() const;
    // Into the editors only, never the device; false when nothing was loaded. The
    // outcome (what was left out, or why nothing was loaded) goes to the status bar
    // and, unless quiet, to a message box.
    bool loadSettingsFile(const QString &path, bool quiet = false);
    bool saveSettingsFile(const QString &path);

    QWidget *editor(ConfigFields::Id id) const { return editors[id]; }
    QLabel *label(ConfigFields::Id id) const { return labels[id]; }
    // Whether the editor's value differs from the block last read from the device.
    bool differsFromDevice(ConfigFields::Id id) const;
    // The device's clock in the connection's newest monitoring block; 0 before one.
    quint32 deviceTime() const;

private slots:
    void onBtnReadConfigClicked();
    void onBtnWriteConfigClicked();
    void onBtnWriteTimeClicked();
    void onBtnResetCrashProtocolClicked();
    void onBtnResetWorkProtocol();
    void onBtnResetWorkTime();
    void onBtnShowIdlePlot();
    void onSetupChanged();
    void onBtnSaveFileClicked();
    void onBtnLoadFileClicked();

private:
    static constexpr int kCommandCount = 6; // "Диаграмма" and the file buttons are not commands

    void setupEditors(QGridLayout *left, QGridLayout *right);
    QWidget *addRow(QGridLayout *grid, ConfigFields::Id id);
    QWidget *makeEditor(ConfigFields::Id id);
    QWidget *buttonGrid();
    QPushButton *button(const QString &text, const char *objectName, void (TabSetup::*slot)());
    void connectSignals();

    void onConnected();
    void onConfiguration(const ConfigPacket &block, int result);
    void fillFrom(const ConfigPacket &block);
    bool passesGate();
    void setCommandsEnabled(bool enabled);
    int editorWord(ConfigFields::Id id) const;
    void setEditorWord(ConfigFields::Id id, int word);
    void setChoiceWord(ConfigFields::Id id, int word);
    int currentScale() const;
    // The connection's block last read from the device; null before the first.
    const ConfigPacket *deviceBlock() const;
    void updateDifferenceMarks();
    void applyToolTip(ConfigFields::Id id);
    bool applySettingsFile(const SettingsFile &file, QString &message);
    void report(const QString &message, bool failed, bool quiet);

    MainControl *mainControl;
    QWidget *editors[ConfigFields::Count] = {};
    QLabel *labels[ConfigFields::Count] = {};
    QPushButton *commandButtons[kCommandCount] = {};
    QPushButton *writeButton = nullptr;
    QPushButton *idlePlotButton = nullptr;
    bool keepEdits = false;                    // a write failed: the editors hold the user's values
    int deviceModification = 0;                // of the device connected last; its block layout
    QString ruleTips[ConfigFields::Count];     // the rules a field breaks, one sentence each
    QString differenceTips[ConfigFields::Count];
};
