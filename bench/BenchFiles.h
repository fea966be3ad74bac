#pragma once

#include <QDir>
#include <QString>

// A video of the benchmark folder (CUEBOARD_BENCH_DIR; bench/run_bench.sh fills it).
inline QString BenchFile(const char* name) {
    return QDir(qEnvironmentVariable("CUEBOARD_BENCH_DIR", QStringLiteral(".")))
        .filePath(QString::fromLatin1(name));
}
