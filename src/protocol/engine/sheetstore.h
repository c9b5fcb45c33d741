#pragma once

#include "sheet.h"

#include <QObject>
#include <QString>

#include <optional>

// Holds the generated sheet of a page document. While generation runs the store is not
// complete; an emptied store (after a failed load) holds no sheet.
class SheetStore : public QObject {
    Q_OBJECT
public:
    explicit SheetStore(QObject *parent = nullptr);

    bool isComplete() const { return m_complete; }
    bool hasSheet() const { return m_sheet.has_value(); }
    // The first sheet; nullptr while there is none.
    const Sheet *sheet() const { return m_sheet ? &*m_sheet : nullptr; }

    void beginGeneration();
    void setSheet(const Sheet &sheet);
    void clear();

    // Writes a complete store atomically; a store that is not complete is skipped
    // (returns true, writes nothing). On failure the old file stays and `error` says why.
    bool save(const QString &path, QString *error = nullptr) const;
    // Replaces the contents from a file; on failure the store is emptied and `error` says why.
    bool load(const QString &path, QString *error = nullptr);

    // The file format, for tools and tests.
    static QByteArray serialize(const Sheet &sheet);
    static std::optional<Sheet> deserialize(const QByteArray &data, QString *error = nullptr);

signals:
    // Generation began, a sheet arrived, or the store was emptied or loaded.
    void changed();

private:
    std::optional<Sheet> m_sheet;
    bool m_complete = true;
};
