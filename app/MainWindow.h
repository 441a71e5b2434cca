#pragma once

#include <QMainWindow>

namespace kovi {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
};

} // namespace kovi
