#pragma once

#include <QString>

// Where the archive lives. Without a section "Archive" in varnek.ini it is the SQLite
// file "varnek.db" beside the executable; a workshop points every bench at one
// PostgreSQL server with
//
//   [Archive]
//   Driver=PostgreSQL          (or SQLite, with Database naming the file)
//   Host=...   Port=5432   Database=...   User=...
//   PasswordFile=...           (optional; default "varnek.pass" beside the executable)
//
// The password is never read from varnek.ini: only from the password file, and only
// when nobody but its owner may read or write it.
struct ArchiveSettings {
    enum class Driver { SQLite, PostgreSQL };

    Driver driver = Driver::SQLite;
    QString host;
    int port = 5432;
    QString database;     // SQLite: the file's full path
    QString user;
    QString passwordFile; // PostgreSQL only; a missing file means no password
    QString problem;      // non-empty when the section cannot be used; the text says why

    bool isServer() const { return driver == Driver::PostgreSQL; }
    // A short description for messages: the file, or user@host:port/database.
    QString description() const;

    static inline const QString Section = QStringLiteral("Archive");
    static inline const QString DefaultFileName = QStringLiteral("varnek.db");
    static inline const QString DefaultPasswordFileName = QStringLiteral("varnek.pass");

    // SQLite "varnek.db" in the records folder.
    static ArchiveSettings sqliteDefault();
    // The settings of varnek.ini (section "Archive"), or sqliteDefault() without one.
    static ArchiveSettings fromSettingsFile();
};

// The password of `path`: its first line without the line end. Empty with no problem
// when the file does not exist; a problem text when it is readable or writable by its
// group or others, or cannot be read.
struct PasswordFileResult {
    QString password;
    QString problem;
};
PasswordFileResult readPasswordFile(const QString &path);
