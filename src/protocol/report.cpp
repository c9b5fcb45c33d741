#include "report.h"

#include "sheetstore.h"

#include <QString>

namespace {

enum Flag { Left = 0, Centre = 1, OneLine = 2, Opaque = 4, Framed = 8, LastResistanceRow = 16 };

FontSpec fontFor(char key)
{
    const QString arial = QStringLiteral("Arial");
    const QString timesCyr = QStringLiteral("Times New Roman Cyr");
    switch (key) {
    case 'H': return {arial, 13, true, false};
    case 'T': return {arial, 10, true, false};
    case 'N': return {arial, 9, false, false};
    case 'C': return {timesCyr, 12, false, true};
    case 'V': return {timesCyr, 12, true, false};
    case 'B': return {timesCyr, 18, true, false};
    case 'P': return {QStringLiteral("Times New Roman"), 14, true, false};
    case 'S': return {QStringLiteral("Symbol"), 12, true, false};
    default: return {arial, 10, false, false}; // 'D', the page default
    }
}

// An element placed by its own geometry. Rich texts list their lines separated by '\n'.
struct Free {
    ElementKind kind;
    const char *name;
    double x, y, w, h;
    char font;
    int flags;
    const char *text;
};

// A table cell: a rectangle by its edges, and (when named or with text) its text element,
// inset by 1.3 mm left, right and top, 2.6 mm less high than the cell.
struct Cell {
    ElementKind kind;
    const char *name; // nullptr: a header text without a name of its own
    double left, right, top, bottom;
    char font;
    int flags;
    const char *text; // nullptr: the cell has no text element
};

constexpr double CellInsetMm = 1.3;
// The rich texts of the winding-resistance table's last row stop short of the usual inset.
constexpr double LastResistanceRowTextMm = 19.1;

constexpr ElementKind L = ElementKind::Label;
constexpr ElementKind R = ElementKind::RichText;
constexpr ElementKind Box = ElementKind::Rectangle;
constexpr ElementKind Date = ElementKind::SysDate;

// Column and row edges of the tables, left/top then right/bottom.
constexpr double RatioC[12][2] = {{5.3, 16.1}, {15.9, 32.0}, {31.8, 46.6}, {46.3, 62.4}, {62.2, 77.0},
    {76.7, 92.8}, {92.6, 107.4}, {107.2, 123.3}, {123.0, 137.8}, {137.6, 153.7}, {153.5, 168.3},
    {168.0, 185.5}};
constexpr double RatioR[2][2] = {{103.2, 111.4}, {111.1, 127.2}};

constexpr double IdleC[9][2] = {{5.3, 24.1}, {23.8, 42.6}, {42.3, 61.1}, {60.9, 79.7}, {79.4, 98.2},
    {97.9, 116.7}, {116.4, 135.2}, {134.9, 153.7}, {153.5, 185.5}};
constexpr double IdleR[3][2] = {{142.9, 151.1}, {150.8, 159.0}, {158.8, 167.0}};

constexpr double ShortC[10][2] = {{5.3, 22.8}, {22.5, 40.0}, {39.7, 57.2}, {56.9, 74.4}, {74.1, 91.6},
    {91.3, 108.8}, {108.5, 126.0}, {125.7, 152.4}, {152.1, 168.2}, {168.0, 185.5}};
constexpr double ShortR[3][2] = {{182.6, 190.8}, {190.5, 198.7}, {198.4, 206.6}};

constexpr double ResC[8][2] = {{5.3, 28.1}, {27.8, 50.6}, {50.3, 73.1}, {72.8, 95.6}, {95.2, 118.0},
    {117.7, 140.5}, {140.2, 163.0}, {162.7, 185.5}};
constexpr double ResR[3][2] = {{237.1, 245.3}, {245.0, 253.2}, {252.9, 275.4}};

constexpr double IsoC[6][2] = {{5.3, 34.7}, {34.4, 63.8}, {63.5, 92.9}, {92.6, 122.0}, {121.7, 151.1},
    {150.8, 185.5}};
constexpr double IsoR[5][2] = {{15.9, 24.1}, {23.8, 32.0}, {31.8, 40.0}, {39.7, 47.9}, {47.6, 55.8}};

// Cell spanning columns a..b of `c` and rows p..q of `r`.
#define SPAN(c, a, b, r, p, q) c[a][0], c[b][1], r[p][0], r[q][1]
#define AT(c, a, r, p) SPAN(c, a, a, r, p, p)

// Page 1, top to bottom.
const Free Page1Free[] = {
    // kind  name                x      y     w      h     font flags              text
    {Box,  "TitleBox",           5.3,   5.3, 180.2, 20.4, 'D', Framed,             ""},
    {L,    "QRFirm",             6.6,   6.6, 177.5, 16.9, 'B', Centre,             ""},
    {L,    "QRProtocolNumber",   6.3,  16.1, 178.1,  8.2, 'P', Centre,             ""},
    {L,    "QRLabel6",           6.6,  25.7,  31.8,  6.9, 'C', Left | OneLine,     "Объем работ:"},
    {L,    "QRLabel9",          38.4,  25.7, 146.1, 12.7, 'C', Left,               ""},
    {L,    "QRLabel5",           6.6,  36.0, 177.5,  8.7, 'B', Centre,             "Паспортные данные"},
    {Box,  "RatingBoxLeft",      5.3,  46.3,  90.2, 41.3, 'D', Framed,             ""},
    {Box,  "RatingBoxRight",    95.2,  46.3,  90.2, 41.3, 'D', Framed,             ""},
    {L,    "QRLabel42",          6.6,  47.6,  43.9,  6.9, 'C', Left | OneLine,     "  Тип трансформатора"},
    {L,    "QRName2",           51.6,  47.6,  42.6,  6.9, 'V', Left | OneLine,     ""},
    {L,    "QRLabel1",           6.6,  55.6,  43.9,  6.9, 'C', Left,               "  Заводской №"},
    {L,    "QRRepairNumber",    51.6,  55.6,  42.6,  6.9, 'V', Left,               ""},
    {L,    "QRLabel44",          6.6,  63.5,  43.9,  6.9, 'C', Left,               "  Число фаз"},
    {L,    "QRFasNumber",       51.6,  63.5,  42.6,  6.9, 'V', Left,               ""},
    {L,    "QRLabel45",          6.6,  71.4,  43.9,  6.9, 'C', Left,               "  Вес трансформатора"},
    {L,    "QRTransformerWeight",51.6, 71.4,  42.6,  6.9, 'V', Left,               ""},
    {L,    "QRLabel62",          6.6,  79.4,  43.9,  6.9, 'C', Left,               "  Год ремонта"},
    {L,    "QRYearOfRepair",    51.6,  79.4,  42.6,  6.9, 'V', Left,               ""},
    {L,    "QRLabel68",         96.6,  47.6,  50.5,  5.6, 'C', Left,               "  Номинальная мощность"},
    {L,    "QRPnom",           148.2,  47.6,  36.0,  5.6, 'V', Left,               ""},
    {L,    "QRLabel67",         96.6,  54.2,  50.5,  5.6, 'C', Left,               "  Номинальное напряжение"},
    {L,    "QRUnom",           148.2,  54.2,  36.0,  5.6, 'V', Left,               ""},
    {L,    "QRLabel69",         96.6,  60.9,  50.5,  5.6, 'C', Left,               "  Номинальный ток"},
    {L,    "QRInom",           148.2,  60.9,  36.0,  5.6, 'V', Left,               ""},
    {L,    "QRLabel70",         96.6,  67.5,  50.5,  5.6, 'C', Left,               "  Группа"},
    {L,    "QRGroup",          148.2,  67.5,  36.0,  5.6, 'V', Left | Opaque,      ""},
    {L,    "QRLabel71",         96.6,  74.1,  50.5,  5.6, 'C', Left,               "  Частота"},
    {L,    "QRFreq",           148.2,  74.1,  36.0,  5.6, 'V', Left,               ""},
    {L,    "QRLabel13",         96.6,  80.7,  50.5,  5.6, 'C', Left | Opaque,      "  Схема"},
    {L,    "QRCircuit",        148.2,  80.7,  36.0,  5.6, 'S', Left,               ""},
    {L,    "QRLabel8",           5.3,  92.6, 180.2,  5.6, 'H', Centre | Opaque,    "Коэффициент трансформации"},
    {L,    "QRLabel28",          5.3, 132.3, 180.2,  5.6, 'H', Centre | Opaque,    "Холостой ход"},
    {L,    "QRTemperature",      5.3, 172.0, 180.2,  5.6, 'H', Centre | Opaque,    ""},
    {L,    "QRUkz102",           5.3, 211.7, 180.2,  5.6, 'D', Left,               ""},
    {L,    "QRPkz12",            5.3, 222.2, 180.2,  5.6, 'D', Left,               ""},
    {L,    "QRTemperature1",     5.3, 230.7, 180.2,  5.6, 'H', Centre | Opaque,    ""},
};

const Cell Page1Cells[] = {
    // Transformation ratio: header row, then three-line rich texts.
    {Box, nullptr,        AT(RatioC, 0, RatioR, 0),  'N', 0, nullptr},
    {L,   nullptr,        AT(RatioC, 1, RatioR, 0),  'N', OneLine, "I ступень"},
    {L,   nullptr,        AT(RatioC, 2, RatioR, 0),  'N', OneLine, "K"},
    {L,   nullptr,        AT(RatioC, 3, RatioR, 0),  'N', OneLine, "II ступень"},
    {L,   nullptr,        AT(RatioC, 4, RatioR, 0),  'N', OneLine, "K"},
    {L,   nullptr,        AT(RatioC, 5, RatioR, 0),  'N', OneLine, "III ступень"},
    {L,   nullptr,        AT(RatioC, 6, RatioR, 0),  'N', OneLine, "K"},
    {L,   nullptr,        AT(RatioC, 7, RatioR, 0),  'N', OneLine, "IV ступень"},
    {L,   nullptr,        AT(RatioC, 8, RatioR, 0),  'N', OneLine, "K"},
    {L,   nullptr,        AT(RatioC, 9, RatioR, 0),  'N', OneLine, "V ступень"},
    {L,   nullptr,        AT(RatioC, 10, RatioR, 0), 'N', OneLine, "K"},
    {L,   nullptr,        AT(RatioC, 11, RatioR, 0), 'N', OneLine, "Uнн.ном"},
    {R,   "QRRichText1",  AT(RatioC, 0, RatioR, 1),  'T', 0, "Uab\nUbc\nUca"},
    {R,   "QRUI",         AT(RatioC, 1, RatioR, 1),  'D', 0, ""},
    {R,   "QRKI",         AT(RatioC, 2, RatioR, 1),  'D', 0, ""},
    {R,   "QRUII",        AT(RatioC, 3, RatioR, 1),  'D', 0, ""},
    {R,   "QRKII",        AT(RatioC, 4, RatioR, 1),  'D', 0, ""},
    {R,   "QRUIII",       AT(RatioC, 5, RatioR, 1),  'D', 0, ""},
    {R,   "QRKIII",       AT(RatioC, 6, RatioR, 1),  'D', 0, ""},
    {R,   "QRUIV",        AT(RatioC, 7, RatioR, 1),  'D', 0, ""},
    {R,   "QRKIV",        AT(RatioC, 8, RatioR, 1),  'D', 0, ""},
    {R,   "QRUV",         AT(RatioC, 9, RatioR, 1),  'D', 0, ""},
    {R,   "QRKV",         AT(RatioC, 10, RatioR, 1), 'D', 0, ""},
    {R,   "QRUnn",        AT(RatioC, 11, RatioR, 1), 'D', 0, ""},

    // No-load test.
    {L,   nullptr,        SPAN(IdleC, 0, 2, IdleR, 0, 0), 'T', 0, "U, В"},
    {L,   nullptr,        SPAN(IdleC, 3, 5, IdleR, 0, 0), 'T', 0, "I, А"},
    {L,   nullptr,        SPAN(IdleC, 6, 6, IdleR, 0, 1), 'T', 0, "Ixx, А"},
    {L,   nullptr,        SPAN(IdleC, 7, 7, IdleR, 0, 1), 'T', 0, "Ixx, %"},
    {L,   nullptr,        SPAN(IdleC, 8, 8, IdleR, 0, 1), 'T', 0, "Pхх, Вт"},
    {L,   nullptr,        AT(IdleC, 0, IdleR, 1),         'T', 0, "AB"},
    {L,   nullptr,        AT(IdleC, 1, IdleR, 1),         'T', 0, "BC"},
    {L,   nullptr,        AT(IdleC, 2, IdleR, 1),         'T', 0, "AC"},
    {L,   nullptr,        AT(IdleC, 3, IdleR, 1),         'T', 0, "A"},
    {L,   nullptr,        AT(IdleC, 4, IdleR, 1),         'T', 0, "B"},
    {L,   nullptr,        AT(IdleC, 5, IdleR, 1),         'T', 0, "C"},
    {L,   "QRUab00",      AT(IdleC, 0, IdleR, 2),         'D', 0, ""},
    {L,   "QRUbc00",      AT(IdleC, 1, IdleR, 2),         'D', 0, ""},
    {L,   "QRUca00",      AT(IdleC, 2, IdleR, 2),         'D', 0, ""},
    {L,   "QRIa00",       AT(IdleC, 3, IdleR, 2),         'D', 0, ""},
    {L,   "QRIb00",       AT(IdleC, 4, IdleR, 2),         'D', 0, ""},
    {L,   "QRIc00",       AT(IdleC, 5, IdleR, 2),         'D', 0, ""},
    {L,   "QRIxx00",      AT(IdleC, 6, IdleR, 2),         'D', 0, ""},
    {L,   "QRIxx01",      AT(IdleC, 7, IdleR, 2),         'D', 0, ""},
    {L,   "QRPxx00",      AT(IdleC, 8, IdleR, 2),         'D', 0, ""},

    // Short-circuit test.
    {L,   nullptr,        SPAN(ShortC, 0, 2, ShortR, 0, 0), 'T', 0, "U, В"},
    {L,   nullptr,        SPAN(ShortC, 3, 3, ShortR, 0, 1), 'T', 0, "Uкз, B"},
    {L,   nullptr,        SPAN(ShortC, 4, 6, ShortR, 0, 0), 'T', 0, "Iкз, А"},
    {L,   nullptr,        SPAN(ShortC, 7, 7, ShortR, 0, 1), 'T', 0, "Uкз приведенное к Iном, В"},
    {L,   nullptr,        SPAN(ShortC, 8, 8, ShortR, 0, 1), 'T', 0, "Uкз, %"},
    {L,   nullptr,        SPAN(ShortC, 9, 9, ShortR, 0, 1), 'T', 0, "Pкз, Вт"},
    {L,   nullptr,        AT(ShortC, 0, ShortR, 1),         'T', 0, "AB"},
    {L,   nullptr,        AT(ShortC, 1, ShortR, 1),         'T', 0, "BC"},
    {L,   nullptr,        AT(ShortC, 2, ShortR, 1),         'T', 0, "AC"},
    {L,   nullptr,        AT(ShortC, 4, ShortR, 1),         'T', 0, "А"},
    {L,   nullptr,        AT(ShortC, 5, ShortR, 1),         'T', 0, "В"},
    {L,   nullptr,        AT(ShortC, 6, ShortR, 1),         'T', 0, "С"},
    {L,   "QRUab10",      AT(ShortC, 0, ShortR, 2),         'D', 0, ""},
    {L,   "QRUbc10",      AT(ShortC, 1, ShortR, 2),         'D', 0, ""},
    {L,   "QRUca10",      AT(ShortC, 2, ShortR, 2),         'D', 0, ""},
    {L,   "QRUkz100",     AT(ShortC, 3, ShortR, 2),         'D', 0, ""},
    {L,   "QRIa10",       AT(ShortC, 4, ShortR, 2),         'D', 0, ""},
    {L,   "QRIb10",       AT(ShortC, 5, ShortR, 2),         'D', 0, ""},
    {L,   "QRIc10",       AT(ShortC, 6, ShortR, 2),         'D', 0, ""},
    {L,   "QRUkz101",     AT(ShortC, 7, ShortR, 2),         'D', 0, ""},
    {L,   "QRUkz111",     AT(ShortC, 8, ShortR, 2),         'D', 0, ""},
    {L,   "QRPkz11",      AT(ShortC, 9, ShortR, 2),         'D', 0, ""},

    // Winding resistance; c6 of the last row holds the two overlaid headers below.
    {L,   nullptr,        SPAN(ResC, 0, 0, ResR, 0, 1), 'T', 0, "Фаза"},
    {L,   nullptr,        SPAN(ResC, 1, 5, ResR, 0, 0), 'T', 0, "Положение переключателя"},
    {L,   nullptr,        SPAN(ResC, 6, 7, ResR, 0, 1), 'T', 0, "Обмоток НН, Ом"},
    {L,   nullptr,        AT(ResC, 1, ResR, 1),         'T', 0, "I"},
    {L,   nullptr,        AT(ResC, 2, ResR, 1),         'T', 0, "II"},
    {L,   nullptr,        AT(ResC, 3, ResR, 1),         'T', 0, "III"},
    {L,   nullptr,        AT(ResC, 4, ResR, 1),         'T', 0, "IV"},
    {L,   nullptr,        AT(ResC, 5, ResR, 1),         'T', 0, "V"},
    {R,   "QRRichText13", AT(ResC, 0, ResR, 2), 'T', LastResistanceRow, "AB\nCA\nBC\n%"},
    {R,   "QRResistenceI",   AT(ResC, 1, ResR, 2), 'D', LastResistanceRow, ""},
    {R,   "QRResistenceII",  AT(ResC, 2, ResR, 2), 'D', LastResistanceRow, ""},
    {R,   "QRResistenceIII", AT(ResC, 3, ResR, 2), 'D', LastResistanceRow, ""},
    {R,   "QRResistenceIV",  AT(ResC, 4, ResR, 2), 'D', LastResistanceRow, ""},
    {R,   "QRResistenceV",   AT(ResC, 5, ResR, 2), 'D', LastResistanceRow, ""},
    {Box, nullptr,           AT(ResC, 6, ResR, 2), 'T', 0, nullptr},
    {R,   "QRResistenceHH",  AT(ResC, 7, ResR, 2), 'D', LastResistanceRow, ""},
};

// Laid over c6 of the resistance table's last row; the filling hides one by a width of 0.
const Free Page1Overlay[] = {
    {R, "QRRichText6", 141.6, 254.5, 20.1, 18.8, 'T', Centre, "a0\nb0\nc0\n%"},
    {R, "QRRichText2", 141.6, 254.5, 20.1, 18.8, 'T', Centre, "ab\nca\nbc\n%"},
};

// Page 2, top to bottom.
const Free Page2Free[] = {
    {L,    "QRLabel3",                 5.3,   5.3, 180.2,  5.6, 'H', Centre | Opaque, "Испытание изоляции"},
    {L,    "QROilAnalysis",            5.3,  65.6, 180.2,  5.6, 'H', Centre | Opaque, ""},
    {L,    "QRElectricStrength",       5.3,  76.2,  88.9,  5.6, 'D', Left | Opaque,   ""},
    {L,    "QRWaterContent",          96.6,  76.2,  88.9,  5.6, 'D', Left | Opaque,   ""},
    {L,    "QRMechanicalImpurities",   5.3,  86.8, 180.2,  5.6, 'D', Left | Opaque,   ""},
    {L,    "QRWeightedCoalContent",    5.3,  97.4, 180.2,  5.6, 'D', Left | Opaque,   ""},
    {L,    "QRColor",                  5.3, 108.0,  88.9,  5.6, 'D', Left | Opaque,   ""},
    {L,    "QRAcidNumber",            96.6, 108.0,  88.9,  5.6, 'D', Left | Opaque,   ""},
    {L,    "QRReactionAqueousExtract", 5.3, 118.5,  88.9,  5.6, 'D', Left | Opaque,   ""},
    {L,    "QRFlashTemperature",      96.6, 118.5,  88.9,  5.6, 'D', Left | Opaque,   ""},
    {L,    "QRIsolation",              5.3, 129.1, 180.2, 10.8, 'H', Centre | Opaque, ""},
    {L,    "QRLabel100",               5.3, 145.0, 180.2,  5.6, 'H', Centre | Opaque, "Заключение"},
    {L,    "QRConclusion",             5.3, 155.6, 180.2, 94.5, 'D', Left | Opaque,   ""},
    {Box,  "SignatureBoxLeft",         5.3, 251.4,  59.8, 21.4, 'D', 0,               ""},
    {Box,  "SignatureBoxMiddle",      64.8, 251.4,  61.1, 21.4, 'D', 0,               ""},
    {Box,  "SignatureBoxRight",      125.7, 251.4,  59.8, 21.4, 'D', 0,               ""},
    {L,    "QRLabel2",                 6.6, 252.7,  57.1,  5.6, 'D', Centre,          "Испытан"},
    {Date, "QRSysData1",               6.6, 259.3,  57.1,  5.6, 'D', Centre | OneLine, ""},
    {L,    "QRLabel43",               66.1, 252.7,  58.5,  5.6, 'D', Centre,          "Испытал"},
    {L,    "QRInvestigator",          66.1, 259.3,  58.5,  5.6, 'D', Left,            ""},
    {L,    "QRLabel64",              127.0, 252.7,  57.1,  5.6, 'D', Centre,          ""},
    {L,    "QRChief",                127.0, 259.3,  57.1,  5.6, 'D', Left,            ""},
};

const Cell Page2Cells[] = {
    {L, "QRLabel4",    SPAN(IsoC, 0, 0, IsoR, 0, 1), 'T', 0, " "},
    {L, nullptr,       SPAN(IsoC, 1, 2, IsoR, 0, 0), 'T', 0, "Rизоляции, МОм"},
    {L, nullptr,       SPAN(IsoC, 3, 3, IsoR, 0, 1), 'T', 0, "Кабс 60/15"},
    {L, nullptr,       SPAN(IsoC, 4, 4, IsoR, 0, 1), 'T', 0, "Uпов, кВ"},
    {L, nullptr,       SPAN(IsoC, 5, 5, IsoR, 0, 1), 'T', 0, "t, сек."},
    {L, nullptr,       AT(IsoC, 1, IsoR, 1),         'T', 0, "15 сек."},
    {L, nullptr,       AT(IsoC, 2, IsoR, 1),         'T', 0, "60 сек."},
    {L, nullptr,       AT(IsoC, 0, IsoR, 2),         'T', 0, "ВН - К  "},
    {L, "QRRHigh15",   AT(IsoC, 1, IsoR, 2),         'D', 0, ""},
    {L, "QRRHigh60",   AT(IsoC, 2, IsoR, 2),         'D', 0, ""},
    {L, "QRKabsHigh",  AT(IsoC, 3, IsoR, 2),         'D', 0, ""},
    {L, "QRUhigh",     AT(IsoC, 4, IsoR, 2),         'D', 0, ""},
    {L, "QRThigh",     AT(IsoC, 5, IsoR, 2),         'D', 0, ""},
    {L, nullptr,       AT(IsoC, 0, IsoR, 3),         'T', 0, "НН - К  "},
    {L, "QRRLow15",    AT(IsoC, 1, IsoR, 3),         'D', 0, ""},
    {L, "QRRLow60",    AT(IsoC, 2, IsoR, 3),         'D', 0, ""},
    {L, "QRKabsLow",   AT(IsoC, 3, IsoR, 3),         'D', 0, ""},
    {L, "QRUlow",      AT(IsoC, 4, IsoR, 3),         'D', 0, ""},
    {L, "QRTlow",      AT(IsoC, 5, IsoR, 3),         'D', 0, ""},
    {L, nullptr,       AT(IsoC, 0, IsoR, 4),         'T', 0, "ВН - НН"},
    {L, "QRRHL15",     AT(IsoC, 1, IsoR, 4),         'D', 0, ""},
    {L, "QRRHL60",     AT(IsoC, 2, IsoR, 4),         'D', 0, ""},
    {L, "QRKabsHL",    AT(IsoC, 3, IsoR, 4),         'D', 0, ""},
    {L, "QRUHL",       AT(IsoC, 4, IsoR, 4),         'D', 0, ""},
    {L, "QRTHL",       AT(IsoC, 5, IsoR, 4),         'D', 0, ""},
};

#undef AT
#undef SPAN

ReportElement elementOf(ElementKind kind, const QString &name, const QRectF &geometry, char font,
                        int flags, const char *text)
{
    ReportElement e;
    e.kind = kind;
    e.name = name;
    e.geometryMm = geometry;
    e.font = fontFor(font);
    e.centred = flags & Centre;
    e.wordWrap = !(flags & OneLine);
    e.opaque = flags & Opaque;
    e.framed = flags & Framed;
    const QString content = QString::fromUtf8(text ? text : "");
    if (kind == ElementKind::RichText)
        e.lines = content.isEmpty() ? QStringList() : content.split(QLatin1Char('\n'));
    else if (kind == ElementKind::Label)
        e.caption = content;
    return e;
}

template <size_t N>
void addFree(PageDocument &page, const Free (&rows)[N])
{
    for (const Free &f : rows)
        page.addElement(elementOf(f.kind, QString::fromLatin1(f.name), QRectF(f.x, f.y, f.w, f.h),
                                  f.font, f.flags, f.text));
}

// Rectangles go first in the table, then every text; the engine draws all rectangles first anyway.
template <size_t N>
void addCells(PageDocument &page, const Cell (&rows)[N], const QString &prefix)
{
    int index = 0;
    for (const Cell &c : rows) {
        ++index;
        const QRectF cell(QPointF(c.left, c.top), QPointF(c.right, c.bottom));
        page.addElement(elementOf(ElementKind::Rectangle, prefix + QStringLiteral("Cell%1").arg(index),
                                  cell, c.font, 0, nullptr));
        if (c.kind == ElementKind::Rectangle || !c.text)
            continue;
        const double textHeight = (c.flags & LastResistanceRow) ? LastResistanceRowTextMm
                                                                : cell.height() - 2 * CellInsetMm;
        const QRectF inset(cell.left() + CellInsetMm, cell.top() + CellInsetMm,
                           cell.width() - 2 * CellInsetMm, textHeight);
        const QString name = c.name ? QString::fromLatin1(c.name)
                                    : prefix + QStringLiteral("CellText%1").arg(index);
        page.addElement(elementOf(c.kind, name, inset, c.font, c.flags | Centre, c.text));
    }
}

void setUpPage(PageDocument &page, const QString &band, double bandHeight, bool alignToBottom)
{
    page.setPaperMm(QSizeF(210.0, 297.0));
    page.setOrientation(QPageLayout::Portrait);
    page.setMarginsMm(QMarginsF(10.0, 10.0, 10.0, 10.0));
    page.setBand({band, QSizeF(190.0, bandHeight), alignToBottom});
}

} // namespace

TForm3::TForm3(QObject *parent)
    : QObject(parent), StendReport(QStringLiteral("StendReport")), StendReport2(QStringLiteral("StendReport2"))
{
    setObjectName(QStringLiteral("Form3"));

    setUpPage(StendReport, QStringLiteral("DetailBand1"), 279.9, true);
    addFree(StendReport, Page1Free);
    addCells(StendReport, Page1Cells, QStringLiteral("Page1"));
    addFree(StendReport, Page1Overlay);

    setUpPage(StendReport2, QStringLiteral("DetailBand2"), 278.6, false);
    addFree(StendReport2, Page2Free);
    addCells(StendReport2, Page2Cells, QStringLiteral("Page2"));
}

TForm3::~TForm3() = default;

bool TForm3::setCaption(const QString &name, const QString &text)
{
    return StendReport.setCaption(name, text) || StendReport2.setCaption(name, text);
}

bool TForm3::setLines(const QString &name, const QStringList &lines)
{
    return StendReport.setLines(name, lines) || StendReport2.setLines(name, lines);
}

bool TForm3::setWidthPx(const QString &name, double layoutPx)
{
    return StendReport.setWidthPx(name, layoutPx) || StendReport2.setWidthPx(name, layoutPx);
}

const ReportElement *TForm3::element(const QString &name) const
{
    const ReportElement *e = StendReport.element(name);
    return e ? e : StendReport2.element(name);
}

void TForm3::previewStendReport(const QDate &today)
{
    auto store = std::make_shared<SheetStore>();
    store->beginGeneration();
    m_store1 = store;
    if (StendReportPreview)
        StendReportPreview(store);
    StendReport.generateInto(*store, today);
}

std::shared_ptr<SheetStore> TForm3::prepareStendReport2(const QDate &today)
{
    auto store = std::make_shared<SheetStore>();
    StendReport2.generateInto(*store, today);
    m_store2 = store;
    return store;
}
