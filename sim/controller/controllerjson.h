#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QVector>

#include <algorithm>
#include <initializer_list>

// What the controller's areas share in reading requests and writing answers.
namespace sim::controllerjson {

// "code" of a refused request whose payload does not fit.
constexpr int BadPayload = -2;

// {"success": ok, "code": 0 or BadPayload}.
inline QJsonObject verdict(bool ok)
{
    return QJsonObject{{QStringLiteral("success"), ok},
                       {QStringLiteral("code"), ok ? 0 : BadPayload}};
}

inline QJsonArray toArray(const QVector<double> &numbers)
{
    QJsonArray array;
    for (double n : numbers)
        array.append(n);
    return array;
}

// An array of numbers whose length is one of `sizes`; anything else reads as nothing.
inline bool readNumbers(const QJsonValue &value, std::initializer_list<int> sizes,
                        QVector<double> *out)
{
    if (!value.isArray())
        return false;
    const QJsonArray array = value.toArray();
    if (std::find(sizes.begin(), sizes.end(), array.size()) == sizes.end())
        return false;
    QVector<double> numbers;
    numbers.reserve(array.size());
    for (const QJsonValue &item : array) {
        if (!item.isDouble())
            return false;
        numbers.append(item.toDouble());
    }
    *out = numbers;
    return true;
}

} // namespace sim::controllerjson
