// The heavy headers of the windows, parsed once per library instead of once per file.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QObject>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>
