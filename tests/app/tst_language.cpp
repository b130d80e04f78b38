#include "pendantlanguage.h"
#include "pendantoptions.h"
#include "pendantsession.h"
#include "pendantwindow.h"
#include "windowinspector.h"

#include <nabuCore/moduleobject.h>
#include <nabuSkald/centerwidget.h>
#include <nabusrv/vantor.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDirIterator>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSet>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QRegularExpression kChinese(QStringLiteral("[\\x{3000}-\\x{303f}\\x{4e00}-\\x{9fff}"
                                                 "\\x{ff00}-\\x{ffef}]"));

bool linkConnected()
{
    return sv::vantor()->mobj()->c(QStringLiteral("connected"))->getBool(false);
}

QString describe(const QWidget *widget, const QString &text)
{
    return QStringLiteral("%1 \"%2\" (\"%3\")")
        .arg(QString::fromLatin1(widget->metaObject()->className()), widget->objectName(), text);
}


// Every text a widget shows by itself.
QStringList textsOf(const QWidget *widget)
{
    QStringList texts{widget->toolTip()};
    if (widget->isWindow())
        texts << widget->windowTitle();
    if (const auto *label = qobject_cast<const QLabel *>(widget))
        texts << label->text();
    if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
        texts << button->text();
    if (const auto *box = qobject_cast<const QGroupBox *>(widget))
        texts << box->title();
    if (const auto *edit = qobject_cast<const QLineEdit *>(widget))
        texts << edit->placeholderText() << edit->text();
    if (const auto *bar = qobject_cast<const QTabBar *>(widget)) {
        for (int i = 0; i < bar->count(); ++i)
            texts << bar->tabText(i);
    }
    if (const auto *combo = qobject_cast<const QComboBox *>(widget)) {
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
    }
    if (const auto *list = qobject_cast<const QListWidget *>(widget)) {
        for (int i = 0; i < list->count(); ++i)
            texts << list->item(i)->text();
    }
    if (const auto *table = qobject_cast<const QTableWidget *>(widget)) {
        for (int c = 0; c < table->columnCount(); ++c) {
            if (const QTableWidgetItem *item = table->horizontalHeaderItem(c))
                texts << item->text();
            for (int r = 0; r < table->rowCount(); ++r) {
                if (const QTableWidgetItem *item = table->item(r, c))
                    texts << item->text();
            }
        }
        for (int r = 0; r < table->rowCount(); ++r) {
            if (const QTableWidgetItem *item = table->verticalHeaderItem(r))
                texts << item->text();
        }
    }
    if (const auto *tree = qobject_cast<const QTreeWidget *>(widget)) {
        for (int c = 0; c < tree->columnCount(); ++c)
            texts << tree->headerItem()->text(c);
        for (QTreeWidgetItemIterator it(const_cast<QTreeWidget *>(tree)); *it; ++it) {
            for (int c = 0; c < tree->columnCount(); ++c)
                texts << (*it)->text(c);
        }
    }
    return texts;
}

void inspect(QWidget *window, const QString &where, QSet<QString> *faults)
{
    const QList<QWidget *> widgets = window->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        // The emulator's message area is its run log, which stays as written.
        if (widget->inherits("QPlainTextEdit") || widget->parentWidget()->inherits("QPlainTextEdit"))
            continue;
        const QStringList texts = textsOf(widget);
        for (const QString &text : texts) {
            if (text.contains(kChinese))
                faults->insert(QStringLiteral("%1: Chinese in %2").arg(where, describe(widget, text)));
        }
        if (!widget->isVisibleTo(window) || widget->width() <= 0)
            continue;
        const QString clipped = WindowInspector::clipping(widget);
        if (!clipped.isEmpty()) {
            const QString text = textsOf(widget).value(1).isEmpty() ? textsOf(widget).value(0)
                                                                    : textsOf(widget).value(1);
            faults->insert(QStringLiteral("%1: clipped %2: %3")
                               .arg(where, describe(widget, WindowInspector::plainText(text)), clipped));
        }
    }
}

// A page that was just shown may still be laid out while the window follows its size: a fault
// counts only when it stays.
void inspectSettled(QWidget *window, const QString &where, QSet<QString> *faults)
{
    QSet<QString> found;
    for (int attempt = 0; attempt < 5; ++attempt) {
        found.clear();
        inspect(window, where, &found);
        if (found.isEmpty())
            return;
        QTest::qWait(100);
    }
    faults->unite(found);
}

void settle()
{
    QTest::qWait(50);
    QCoreApplication::processEvents();
}

} // namespace

class tst_Language : public QObject
{
    Q_OBJECT

private slots:
    void fromLocale_data();
    void fromLocale();
    void option_data();
    void option();
    void qtDialogsFollow();
    void catalogues_data();
    void catalogues();
    void everyPageInEnglish();

private:
    QString m_previous = QDir::currentPath();
};

void tst_Language::fromLocale_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("language");
    QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << "en";
    QTest::newRow("en_GB") << QLocale(QLocale::English, QLocale::UnitedKingdom) << "en";
    QTest::newRow("zh_CN") << QLocale(QLocale::Chinese, QLocale::China) << "zh";
    QTest::newRow("zh_TW") << QLocale(QLocale::Chinese, QLocale::Taiwan) << "zh";
    // English for any other language, and for the C locale of containers.
    QTest::newRow("C") << QLocale::c() << "en";
    QTest::newRow("C.UTF-8") << QLocale(QStringLiteral("C.UTF-8")) << "en";
    QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << "en";
}

void tst_Language::fromLocale()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, language);
    QCOMPARE(PendantLanguage::fromLocale(locale), language);
}

void tst_Language::option_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("language");
    QTest::newRow("none") << QStringList{} << true << QString();
    QTest::newRow("en") << QStringList{QStringLiteral("--lang"), QStringLiteral("en")} << true
                        << "en";
    QTest::newRow("zh") << QStringList{QStringLiteral("--lang=zh")} << true << "zh";
    QTest::newRow("region") << QStringList{QStringLiteral("--lang"), QStringLiteral("zh_CN")}
                            << false << "zh_CN";
    QTest::newRow("other") << QStringList{QStringLiteral("--lang"), QStringLiteral("fr")} << false
                           << "fr";
    QTest::newRow("empty") << QStringList{QStringLiteral("--lang=")} << false << QString();
}

void tst_Language::option()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, ok);
    QFETCH(QString, language);
    const PendantOptions options =
        PendantOptions::fromArguments(QStringList{QStringLiteral("pendant")} + arguments);
    QCOMPARE(options.ok, ok);
    if (ok)
        QCOMPARE(options.language, language);
    else
        QVERIFY(options.error.contains(QLatin1String("--lang")));
}

void tst_Language::qtDialogsFollow()
{
    PendantLanguage language;
    QVERIFY(language.apply(QStringLiteral("zh")));
    QCOMPARE(QLocale().language(), QLocale::Chinese);
    // Standard buttons and the file chooser take their texts from Qt's own catalogue.
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    QVERIFY(QCoreApplication::translate("QFileDialog", "Look in:").contains(kChinese));
    {
        PendantWindow window;
        QVERIFY(window.windowTitle().contains(kChinese));
    }
    QVERIFY(language.apply(QStringLiteral("en")));
    QCOMPARE(QLocale().language(), QLocale::English);
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
    PendantWindow window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Teach pendant emulator"));
}

void tst_Language::catalogues_data()
{
    QTest::addColumn<QString>("file");
    const QString root = QStringLiteral(TESSEL_SOURCE_DIR);
    int count = 0;
    for (const QString &folder : {QStringLiteral("framework"), QStringLiteral("calibration"),
                                  QStringLiteral("app"), QStringLiteral("examples")}) {
        QDirIterator it(root + QLatin1Char('/') + folder, {QStringLiteral("*.ts")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            QTest::newRow(qPrintable(QDir(root).relativeFilePath(file))) << file;
            ++count;
        }
    }
    QVERIFY(count >= 7);
}

// Finished, and every placeholder of the source kept: a lost "%2" shows the wrong number.
void tst_Language::catalogues()
{
    QFETCH(QString, file);
    QFile ts(file);
    QVERIFY(ts.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&ts);
    const QRegularExpression placeholder(QStringLiteral("%(\\d|n)"));
    const QString language = QFileInfo(file).completeBaseName().section(QLatin1Char('_'), -1);
    const auto placeholders = [&placeholder](const QString &text) {
        QStringList found;
        for (auto it = placeholder.globalMatch(text); it.hasNext();)
            found << it.next().captured();
        found.sort();
        return found;
    };
    int messages = 0;
    QString source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("TS")) {
            QCOMPARE(xml.attributes().value(QLatin1String("language")).toString(), language);
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            ++messages;
            const QString type = xml.attributes().value(QLatin1String("type")).toString();
            QVERIFY2(type.isEmpty(), qPrintable(QStringLiteral("%1: %2").arg(type, source)));
            const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            QVERIFY2(!text.trimmed().isEmpty(), qPrintable(source));
            QCOMPARE(placeholders(text), placeholders(source));
            // An English catalogue with Chinese left in it shows Chinese.
            if (language == QLatin1String("en"))
                QVERIFY2(!text.contains(kChinese), qPrintable(text));
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QVERIFY(messages > 0);
}

// The pendant in English with every plug-in: each page, each tab of it, nothing Chinese and
// nothing cut off.
void tst_Language::everyPageInEnglish()
{
    PendantLanguage language;
    QVERIFY(language.apply(QStringLiteral("en")));
    QTemporaryDir home;
    PendantOptions options = PendantOptions::fromArguments(
        {QStringLiteral("pendant"), QStringLiteral("--plugins"), QStringLiteral(PLUGIN_DIR)});
    QVERIFY(options.ok);
    options.home = home.filePath(QStringLiteral("home"));
    QSet<QString> faults;
    QStringList pages;
    {
        PendantSession session(options);
        QVERIFY(session.start());
        QTRY_VERIFY(linkConnected());
        PendantWindow *window = session.window();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const QList<QPair<QString, QString>> entries = window->navigationEntries();
        QVERIFY(entries.size() >= 5);
        for (const auto &entry : entries) {
            QVERIFY(window->showNavigation(entry.second));
            settle();
            pages << entry.first;
            inspectSettled(window, entry.first, &faults);
            // Each tab of the page, and the emulator's side panel.
            const QList<QTabWidget *> tabs = window->findChildren<QTabWidget *>();
            for (QTabWidget *tab : tabs) {
                for (int i = 0; i < tab->count(); ++i) {
                    tab->setCurrentIndex(i);
                    settle();
                    inspectSettled(window, entry.first + QLatin1Char('/') + tab->tabText(i),
                                   &faults);
                }
            }
            const QList<QStackedWidget *> stacks = window->findChildren<QStackedWidget *>();
            for (QStackedWidget *stack : stacks) {
                if (!stack->isVisibleTo(window) || qobject_cast<QTabWidget *>(stack->parent())
                    || stack == window->centerArea())
                    continue;
                for (int i = 0; i < stack->count(); ++i) {
                    stack->setCurrentIndex(i);
                    settle();
                    inspectSettled(window,
                                   entry.first + QLatin1Char('/') + stack->widget(i)->objectName(),
                                   &faults);
                }
                stack->setCurrentIndex(0);
            }
        }
        // The unlock dialog has a fixed size: its English texts must fit it too.
        auto *lock = window->findChild<QAbstractButton *>(QStringLiteral("lockBtn"));
        QVERIFY(lock);
        bool asked = false;
        QTimer::singleShot(100, window, [&] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                asked = true;
                inspect(dialog, QStringLiteral("Veltra/unlock dialog"), &faults);
                for (const QString &text : textsOf(dialog)) {
                    if (text.contains(kChinese))
                        faults.insert(QStringLiteral("unlock dialog: Chinese in \"%1\"").arg(text));
                }
                dialog->reject();
            }
        });
        lock->click();
        QVERIFY(asked);
    }
    QDir::setCurrent(m_previous);
    QVERIFY2(pages.contains(QStringLiteral("Veltra")), qPrintable(pages.join(QLatin1Char(','))));
    QStringList sorted = faults.values();
    sorted.sort();
    QVERIFY2(sorted.isEmpty(), qPrintable(sorted.join(QLatin1Char('\n'))));
}

QTEST_MAIN(tst_Language)
#include "tst_language.moc"
