#pragma once

#include <QString>

// Style sheets shared by the window and the tabs, created once.
namespace Styles {
QString green();
QString red();
QString yellow();
QString plain();
QString progressBar();
} // namespace Styles
