#pragma once

#include <QWidget>

// Preview window of the protocol.
class TForm4 : public QWidget {
    Q_OBJECT
public:
    explicit TForm4(QWidget *parent = nullptr);
};
