#pragma once

#include <QMap>
#include <QString>
#include <algorithm>
#include <vector>

// One figure of quillmere_bench, written like a Google Benchmark entry.
struct BenchResult {
    QString name;
    double ms = 0;
    int iterations = 0;
    QMap<QString, double> counters;
};

inline double median(std::vector<double> values) {
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
