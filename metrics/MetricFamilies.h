#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <map>
#include <utility>
#include <vector>

/// Counters, gauges and histograms by name and labels, written out in the Prometheus text format (version 0.0.4).
/// Bounded: a family holds at most MaxSeries label sets (a new one past that is dropped and counted in
/// vistrel_metrics_dropped_series_total), label values are cut to MaxLabelChars and escaped, and nothing is kept
/// of a scrape.
class MetricFamilies
{
public:
    static constexpr int MaxSeries = 64;
    static constexpr qsizetype MaxLabelChars = 120;

    enum class Type
    {
        Counter,
        Gauge,
        Histogram,
    };
    /// Label names and values, in the order written.
    using Labels = QList<std::pair<const char*, QString>>;

    /// Names a family before its first value; @p bounds are a histogram's upper bounds, rising (+Inf is added).
    void declare(const char* name, Type type, const char* help, std::vector<double> bounds = {});

    void add(const char* name, const Labels& labels, double amount = 1);
    void set(const char* name, const Labels& labels, double value);
    void observe(const char* name, const Labels& labels, double value);
    /// Sets one series of the gauge @p name to 1 and the others to 0 (a state among several).
    void setOnly(const char* name, const Labels& labels);

    /// Every family in the text format, families in the order declared.
    QByteArray text() const;

    /// @p value as a label value: backslash, double quote and line feed escaped, cut to MaxLabelChars.
    static QByteArray escapedLabel(const QString& value);

private:
    struct Series
    {
        Labels labels;
        double value = 0; // a counter's or gauge's value, a histogram's sum
        quint64 count = 0;
        std::vector<quint64> buckets; // cumulative counts are summed when written
    };
    struct Family
    {
        QByteArray name;
        Type type = Type::Gauge;
        QByteArray help;
        std::vector<double> bounds;
        std::map<QByteArray, Series> series; // by the written label set
    };
    Series* series(const char* name, const Labels& labels);
    Family* family(const char* name);

    std::vector<Family> m_families;
    quint64 m_dropped = 0;
};
