#pragma once

// A file's bytes written and read as they are, and a file size limit that a test can set, for the
// tests of what ends up in the settings file.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

inline void WriteRaw(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The file's bytes; none when it cannot be read.
inline QByteArray ReadRaw(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// Lowers the file size limit of this process, so that a write fails part way; the limit is
// raised again when a test ends, whatever happened in it.
class TFileSizeLimit
{
public:
    explicit TFileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &Saved);
        rlimit limit = Saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFileSizeLimit() { setrlimit(RLIMIT_FSIZE, &Saved); }
    TFileSizeLimit(const TFileSizeLimit &) = delete;
    TFileSizeLimit &operator=(const TFileSizeLimit &) = delete;

private:
    rlimit Saved {};
};
