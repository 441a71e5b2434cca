#pragma once

#include <QPixmap>

namespace kovi {

// The program's 180 x 54 logo.
QPixmap DrawLogo();

} // namespace kovi
