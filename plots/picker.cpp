#include "plots/picker.h"

#include <qwt_picker_machine.h>
#include <qwt_plot.h>

Picker::Picker(QWidget *canvas, TextFunction text)
    : QwtPlotPicker(QwtPlot::xBottom, QwtPlot::yLeft, QwtPicker::CrossRubberBand, QwtPicker::AlwaysOn, canvas),
      text(std::move(text))
{
    // A click picks the point under the mouse; no dragging needed.
    setStateMachine(new QwtPickerClickPointMachine);
}

QwtText Picker::trackerTextF(const QPointF &position) const
{
    return QwtText(text(position));
}
