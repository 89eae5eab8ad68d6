#pragma once

#include <QCoreApplication>

#include <memory>

// Programs that write reports paint plots and PDF pages, which needs a
// QApplication: on Qt's offscreen platform where no display is set (a headless box on
// the panel).
class GuiApplication
{
public:
    static std::unique_ptr<QCoreApplication> create(int &argc, char **argv);
};
