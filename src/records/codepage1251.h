#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

// Windows-1251, the code page of the key/value files. Our own table: Qt reaches this
// code page only through ICU, which not every Qt build carries.
//
// Every byte decodes to its own character (the one unassigned byte, 0x98, to U+0098),
// so bytes that go through a decode and an encode come back unchanged.
QString decodeWindows1251(QByteArrayView bytes);

// A character the code page lacks becomes one '?' (a surrogate pair counts as one).
QByteArray encodeWindows1251(QStringView text);

// True when every character of `text` has a byte of its own in the code page.
bool isWindows1251Text(QStringView text);

// The characters of `text` that the code page cannot hold, each once, in the order of
// their first appearance; a surrogate pair stays one character. Empty when the whole
// text can be stored.
QStringList unstorableCharacters(QStringView text);
