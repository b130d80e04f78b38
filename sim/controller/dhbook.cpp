#include "dhbook.h"

#include "controllerjson.h"

#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

const QString kGetDhLink = QStringLiteral("factory.get_DH_params_link");
const QString kSetDhAll = QStringLiteral("factory.set_DH_params_all");
const QString kSetDhLink = QStringLiteral("factory.set_DH_params_link");
const QString kSetZero = QStringLiteral("ethercat.set_precision_compensation_zero");
const QString kDhSupport = QStringLiteral("factory.get_dh_params_support");

using controllerjson::readNumbers;
using controllerjson::toArray;
using controllerjson::verdict;

// No robot has a link of a kilometre or an angle of many turns; such numbers are typing errors,
// and from 2^53 on no client could even read them back.
bool arePlausible(const QVector<double> &numbers)
{
    return std::all_of(numbers.cbegin(), numbers.cend(),
                       [](double n) { return std::abs(n) <= DhBook::MaxMagnitude; });
}

bool readPlausible(const QJsonValue &value, std::initializer_list<int> sizes,
                   QVector<double> *out)
{
    QVector<double> numbers;
    if (!readNumbers(value, sizes, &numbers) || !arePlausible(numbers))
        return false;
    *out = numbers;
    return true;
}

// A DH payload may leave out the last link group: it then keeps its stored values.
void replaceLeading(QVector<double> *target, const QVector<double> &values)
{
    for (int i = 0; i < values.size() && i < target->size(); ++i)
        (*target)[i] = values.at(i);
}

} // namespace

const QString DhBook::RowsKey = kSetDhLink;

void DhBook::reset(const QVector<double> &dh, int axes)
{
    m_axes = axes;
    m_dh = dh;
    m_productDh = dh;
    m_zero = QVector<double>(axes, 0.0);
    m_productZero = m_zero;
}

bool DhBook::handles(const QString &command)
{
    return command == kGetDhLink || command == kSetDhAll || command == kSetDhLink
           || command == kSetZero;
}

bool DhBook::isReading(const QString &command)
{
    return command == kGetDhLink;
}

QJsonValue DhBook::runCommand(const QString &command, const QJsonValue &payload, bool *changed)
{
    *changed = false;
    const QJsonObject args = payload.toObject();
    if (command == kGetDhLink) {
        const QJsonObject data{{QStringLiteral("DH_PARAMS_LINK"), toArray(m_dh)}};
        return QJsonObject{{QStringLiteral("data"), data}};
    }
    if (command == kSetDhAll) {
        QVector<double> dh;
        if (!readDh(args.value(QStringLiteral("DH_params_all")), &dh))
            return verdict(false);
        const QVector<double> before = m_dh;
        replaceLeading(&m_dh, dh);
        // Only a set that differs is a change: a change drops a move planned with the old set.
        *changed = m_dh != before;
        return verdict(true);
    }
    if (command == kSetDhLink) {
        QVector<double> dh;
        QVector<double> product;
        if (!readDh(args.value(QStringLiteral("DH_A")), &dh)
            || !readDh(args.value(QStringLiteral("DH_L")), &product))
            return verdict(false);
        const QVector<double> before = m_dh;
        const QVector<double> productBefore = m_productDh;
        replaceLeading(&m_dh, dh);
        replaceLeading(&m_productDh, product);
        *changed = m_dh != before || m_productDh != productBefore;
        return verdict(true);
    }
    // kSetZero
    QVector<double> zero;
    QVector<double> product;
    if (!readPlausible(args.value(QStringLiteral("joint_angle_A")), {m_axes}, &zero))
        return verdict(false);
    const bool hasProduct = args.contains(QStringLiteral("joint_angle_L"));
    if (hasProduct
        && !readPlausible(args.value(QStringLiteral("joint_angle_L")), {m_axes}, &product))
        return verdict(false);
    *changed = zero != m_zero || (hasProduct && product != m_productZero);
    m_zero = zero;
    if (hasProduct)
        m_productZero = product;
    return verdict(true);
}

bool DhBook::servesValue(const QString &key)
{
    return key == kDhSupport || key == kSetDhLink;
}

QJsonValue DhBook::value(const QString &key) const
{
    if (key == kDhSupport)
        return QJsonObject{{QStringLiteral("data"), true}};
    if (key == kSetDhLink)
        return rows();
    return QJsonValue(QJsonValue::Undefined);
}

int DhBook::axes() const
{
    return m_axes;
}

QVector<double> DhBook::dh() const
{
    return m_dh;
}

bool DhBook::setDh(const QVector<double> &dh)
{
    if ((dh.size() != 4 * m_axes && dh.size() != 4 * (m_axes + 1)) || !arePlausible(dh))
        return false;
    replaceLeading(&m_dh, dh);
    return true;
}

QVector<double> DhBook::productDh() const
{
    return m_productDh;
}

QVector<double> DhBook::zero() const
{
    return m_zero;
}

QVector<double> DhBook::productZero() const
{
    return m_productZero;
}

bool DhBook::readDh(const QJsonValue &value, QVector<double> *out) const
{
    return readPlausible(value, {4 * m_axes, 4 * (m_axes + 1)}, out);
}

QJsonArray DhBook::rows() const
{
    QJsonArray rows;
    for (int i = 0; i + 3 < m_dh.size(); i += 4)
        rows.append(QJsonArray{m_dh.at(i), m_dh.at(i + 1), m_dh.at(i + 2), m_dh.at(i + 3)});
    return rows;
}

} // namespace sim
