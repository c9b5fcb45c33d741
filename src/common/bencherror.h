#pragma once

#include <QString>
#include <stdexcept>

// An error that ends the running handler and is shown by the general error report.
class BenchError : public std::runtime_error {
public:
    explicit BenchError(const QString &text)
        : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString &text() const noexcept { return m_text; }

private:
    QString m_text;
};
