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

    // What a file may hold. Page 1 with every field filled far past what its box shows
    // (200 characters each) is 26.5 kB: 88 rectangles, 115 texts, 186 lines, 4 862 characters
    // (5 846 weighted), 8 fonts, the largest 18 pt, 0.6 sheets filled; with every value at the
    // files' 2 047-character limit, 74.5 kB and 34 142 weighted characters. The bounds leave
    // 8 to 20 times the first, and keep a repaint of the worst file within them under 100 ms
    // (benchmarks/bench_window.cpp); beyond them a file is junk, refused before it is read
    // whole (a device, a FIFO) or drawn for seconds on every repaint.
    struct Bounds {
        static constexpr qint64 FileBytes = 512 * 1024;
        static constexpr qsizetype Rects = 1000;
        static constexpr qsizetype Texts = 1000;
        static constexpr qsizetype Lines = 2000;
        // Characters weighted by the square of their size over 10 pt: the ink of the glyphs.
        static constexpr double Glyphs = 50000.0;
        static constexpr qsizetype Fonts = 32;   // distinct face, size and style
        static constexpr qsizetype FamilyName = 100;
        static constexpr double PointSize = 36.0;
        static constexpr double PenMm = 10.0;
        // Filled rectangles and opaque texts, in sheets of the paper's own area.
        static constexpr double FilledSheets = 16.0;
    };

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
