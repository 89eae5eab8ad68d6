#pragma once

#include "device/curvepoints.h"
#include "device/protectionmodel.h"
#include "plots/currentaxis.h"

#include <qwt_plot.h>

#include <QVector>

#include <atomic>
#include <memory>

class QThread;
class QwtPlotCurve;
class Worker;

// The time-current plot of the characteristic tab: the start characteristic the
// device recorded, the protection characteristic computed from the settings, and a
// vertical line at the rated current. Times on a logarithmic axis; the current axis
// logarithmic or linear as the settings say.
class RunConfigPlot : public QwtPlot
{
    Q_OBJECT
public:
    enum class BuildMode { Threaded, Synchronous };
    enum CurveIndex { StartCurve = 0, ProtectionCurve = 1, RatedCurve = 2, CurveCount = 3 };

    explicit RunConfigPlot(CurrentAxis axis = CurrentAxis::Logarithmic, QWidget *parent = nullptr);
    // A still copy: the settings, scale, start characteristic and axis mode of
    // other, without parent; the protection characteristic is built at once.
    explicit RunConfigPlot(const RunConfigPlot &other);
    // A running build is asked to stop and waited for.
    ~RunConfigPlot() override;

    void setCurrentScale(int scale) { scale_ = scale; }
    int currentScale() const { return scale_; }
    // Settings that arrive during a threaded build are built once it ends.
    void setProtectionSettings(const ProtectionSettings &settings);
    const ProtectionSettings &protectionSettings() const { return model.settings(); }
    // Points in amperes and seconds (RunConfigPacket::characteristic()).
    void setStartCharacteristic(const CurvePoints &points);
    const CurvePoints &startCharacteristic() const { return start; }
    void setCurrentAxisScale(CurrentAxis axis);
    CurrentAxis currentAxisScale() const { return logarithmic ? CurrentAxis::Logarithmic : CurrentAxis::Linear; }
    bool currentAxisLogarithmic() const { return logarithmic; }

    // Ignored while a threaded build runs.
    void buildProtectionGraph(BuildMode mode = BuildMode::Threaded);
    bool isBuilding() const { return buildThread != nullptr; }
    const QwtPlotCurve *curve(CurveIndex index) const { return curves[index]; }

signals:
    void buildProtectionGraphFinished();

public slots:
    void onBuildProtectionGraphFinished(QVector<double> x, QVector<double> y);

private:
    void setupAxes();
    void setupCurves();
    void startThreadedBuild();
    void releaseThread();
    void showRatedLine();
    void fitCurrentAxis(double low);
    QString trackerText(const QPointF &position) const;

    double ratedLineX[2] = {0.0, 0.0};
    CurvePoints start;
    QwtPlotCurve *curves[CurveCount] = {};
    ProtectionModel model; // holds the settings
    int scale_ = 0;
    bool logarithmic = true;
    // The running build: its thread (the marker), its worker and what it was given.
    std::unique_ptr<QThread> buildThread;
    std::unique_ptr<Worker> worker;
    ProtectionSettings buildSettings;
    int buildScale = 0;
    std::atomic<bool> stopBuild {false};
    bool newerSettings = false; // arrived while the build ran
};
