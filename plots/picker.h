#pragma once

#include <qwt_plot_picker.h>

#include <functional>

// The plots' tracker: a cross following the mouse with a text the plot composes
// for the position (time axis, left axis coordinates); a click selects a point.
class Picker : public QwtPlotPicker
{
    Q_OBJECT
public:
    using TextFunction = std::function<QString(const QPointF &)>;

    Picker(QWidget *canvas, TextFunction text);

protected:
    QwtText trackerTextF(const QPointF &position) const override;

private:
    TextFunction text;
};
