#pragma once

#include <QWidget>

// Holder of the protocol's page documents; never shown.
class TForm3 : public QWidget {
    Q_OBJECT
public:
    explicit TForm3(QWidget *parent = nullptr);
};
