#include "metrics/MetricFamilies.h"

#include <QLocale>

#include <cmath>

namespace {
QByteArray number(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Inf" : "-Inf";
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

const char* typeName(MetricFamilies::Type type)
{
    switch (type) {
    case MetricFamilies::Type::Counter:
        return "counter";
    case MetricFamilies::Type::Gauge:
        return "gauge";
    case MetricFamilies::Type::Histogram:
        return "histogram";
    }
    return "untyped";
}

/// `{a="x",b="y"}` with @p extra (a histogram's le) last; "" without labels.
QByteArray labelText(const MetricFamilies::Labels& labels, const QByteArray& extra = {})
{
    QByteArray out;
    for (const auto& [name, value] : labels)
        out += (out.isEmpty() ? "{" : ",") + QByteArray(name) + "=\"" + MetricFamilies::escapedLabel(value) + '"';
    if (!extra.isEmpty())
        out += (out.isEmpty() ? "{" : ",") + extra;
    return out.isEmpty() ? out : out + '}';
}

/// HELP text escapes only backslash and line feed.
QByteArray helpText(const char* help)
{
    return QByteArray(help).replace('\\', "\\\\").replace('\n', "\\n");
}
} // namespace

QByteArray MetricFamilies::escapedLabel(const QString& value)
{
    QByteArray out;
    for (const char c : value.left(MaxLabelChars).toUtf8()) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

void MetricFamilies::declare(const char* name, Type type, const char* help, std::vector<double> bounds)
{
    if (family(name))
        return;
    m_families.push_back({name, type, helpText(help), std::move(bounds), {}});
}

MetricFamilies::Family* MetricFamilies::family(const char* name)
{
    for (Family& family : m_families) {
        if (family.name == name)
            return &family;
    }
    return nullptr;
}

MetricFamilies::Series* MetricFamilies::series(const char* name, const Labels& labels)
{
    Family* found = family(name);
    if (!found)
        return nullptr;
    const QByteArray key = labelText(labels);
    const auto it = found->series.find(key);
    if (it != found->series.end())
        return &it->second;
    if (int(found->series.size()) >= MaxSeries) {
        ++m_dropped;
        return nullptr;
    }
    Series& made = found->series[key];
    made.labels = labels;
    made.buckets.assign(found->bounds.size(), 0);
    return &made;
}

void MetricFamilies::add(const char* name, const Labels& labels, double amount)
{
    if (Series* s = series(name, labels))
        s->value += amount;
}

void MetricFamilies::set(const char* name, const Labels& labels, double value)
{
    if (Series* s = series(name, labels))
        s->value = value;
}

void MetricFamilies::setOnly(const char* name, const Labels& labels)
{
    if (Family* found = family(name)) {
        for (auto& [key, s] : found->series)
            s.value = 0;
    }
    set(name, labels, 1);
}

void MetricFamilies::observe(const char* name, const Labels& labels, double value)
{
    Family* found = family(name);
    Series* s = found ? series(name, labels) : nullptr;
    if (!s)
        return;
    s->value += value;
    ++s->count;
    for (size_t i = 0; i < found->bounds.size(); ++i) {
        if (value <= found->bounds[i]) {
            ++s->buckets[i];
            break;
        }
    }
}

QByteArray MetricFamilies::text() const
{
    QByteArray out;
    for (const Family& family : m_families) {
        out += "# HELP " + family.name + ' ' + family.help + '\n';
        out += "# TYPE " + family.name + ' ' + typeName(family.type) + '\n';
        for (const auto& [key, s] : family.series) {
            if (family.type != Type::Histogram) {
                out += family.name + key + ' ' + number(s.value) + '\n';
                continue;
            }
            quint64 cumulative = 0;
            for (size_t i = 0; i < family.bounds.size(); ++i) {
                cumulative += s.buckets[i];
                out += family.name + "_bucket" + labelText(s.labels, "le=\"" + number(family.bounds[i]) + '"') +
                       ' ' + QByteArray::number(cumulative) + '\n';
            }
            out += family.name + "_bucket" + labelText(s.labels, "le=\"+Inf\"") + ' ' +
                   QByteArray::number(s.count) + '\n';
            out += family.name + "_sum" + key + ' ' + number(s.value) + '\n';
            out += family.name + "_count" + key + ' ' + QByteArray::number(s.count) + '\n';
        }
    }
    out += "# HELP vistrel_metrics_dropped_series_total Label sets not kept: a family held its most already.\n"
           "# TYPE vistrel_metrics_dropped_series_total counter\n"
           "vistrel_metrics_dropped_series_total " +
           QByteArray::number(m_dropped) + '\n';
    return out;
}
