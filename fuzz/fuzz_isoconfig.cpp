// Feeds any bytes, as the text of "calibInfo.json", to the merge of "iso_config". A refused text
// leaves the output alone; a merged one parses back to an object holding the configuration as
// built and every other member of the text, and merging it again changes nothing. A broken
// promise aborts, so that libFuzzer and the corpus driver both see it as a crash.
#include "fuzzsupport.h"
#include "iso/isoconfigfile.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <cstddef>
#include <cstdint>

namespace {

using fuzz::expect;

const QJsonObject &savedConfig()
{
    static const QJsonObject config = IsoConfigFile::build(
        30, QStringLiteral("D:\\VeltraReport"),
        {{520.0, -180.0, 610.0, 180.0, 0.0, 180.0},
         {0.1, -1.25, 1e-7, 123456.789012, -0.0, 1e300},
         {1, 2, 3, 4, 5, 6},
         {-320.5, 180.25, 410.125, 179.999999, 0.000001, -180.0},
         {420.0, 0.0, 510.0, 180.0, 0.0, 180.0}});
    return config;
}

// What the text holds as Qt's writer writes it: integers beyond 2^53 are written as doubles.
QJsonObject writtenMembers(const QByteArray &content)
{
    const QJsonDocument document = QJsonDocument::fromJson(content);
    if (!document.isObject())
        return {};
    return QJsonDocument::fromJson(QJsonDocument(document.object()).toJson()).object();
}

// Past the text's start, where it is a byte order mark and skipped.
bool holdsByteOrderMark(const QByteArray &content)
{
    return content.indexOf("\xef\xbb\xbf", 1) >= 0
           || content.toLower().contains(QByteArrayLiteral("\\ufeff"));
}

// In the indented text a member of the root, and only such, starts a line with four blanks (a
// newline inside a string is escaped); Qt's own reader would fold duplicates, other readers not.
int topLevelConfigs(const QByteArray &merged)
{
    return merged.count(QByteArrayLiteral("\n    \"iso_config\": "));
}

void mergeWith(const QByteArray &content, const QJsonObject &config)
{
    const QByteArray sentinel("sentinel");
    QByteArray merged = sentinel;
    if (!IsoConfigFile::merge(content, config, &merged)) {
        expect(!content.isEmpty(), "empty text merges");
        QJsonParseError error;
        QJsonDocument::fromJson(content, &error);
        expect(error.error != QJsonParseError::NoError, "only text that is not JSON is refused");
        expect(merged == sentinel, "a refused text leaves the output");
        return;
    }

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(merged, &error);
    expect(error.error == QJsonParseError::NoError && document.isObject(),
           "the merged text is a JSON object");
    expect(topLevelConfigs(merged) == 1, "the merged text holds one \"iso_config\"");
    // Qt's reader drops a U+FEFF that starts a string, and its writer writes one unescaped: such
    // a name or value changes at each save, and a renamed member even leaves the parsed object
    // out of key order, so that lookups miss. The programs that read the file are not Qt's.
    if (holdsByteOrderMark(content))
        return;
    const QJsonObject root = document.object();
    expect(root.value(QStringLiteral("iso_config")) == config,
           "the merged text holds the configuration as built");

    const QJsonObject before = writtenMembers(content);
    int kept = 0;
    for (auto it = before.begin(); it != before.end(); ++it) {
        if (it.key() == QLatin1String("iso_config"))
            continue;
        expect(root.value(it.key()) == it.value(), "every other member is kept");
        ++kept;
    }
    expect(root.size() == kept + 1, "nothing but the configuration is added");

    QByteArray again;
    expect(IsoConfigFile::merge(merged, config, &again) && again == merged,
           "merging a merged text again changes nothing");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > (1u << 24))
        return 0;
    const QByteArray content = QByteArray::fromRawData(reinterpret_cast<const char *>(data),
                                                       static_cast<int>(size));
    // The settings as saved, and those after a reset: no poses and no folder.
    static const QJsonObject cleared = IsoConfigFile::build(0, QString(), {});
    mergeWith(content, savedConfig());
    mergeWith(content, cleared);
    return 0;
}
