// Checks the style sheets of the resource bundle: their byte format and, for
// each theme, the exact rules the widgets rely on.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QMap>
#include <QPair>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QtTest>

namespace {

using Declaration = QPair<QString, QString>;  // property, value
using Declarations = QList<Declaration>;
using Rules = QMap<QString, Declarations>;    // selector -> declarations in file order

// Marks a property that one theme does not set at all.
constexpr const char *Absent = nullptr;

// One expected property: light value, and dark value when it differs.
struct Expected {
    const char *property;
    const char *light;
    const char *dark;
};

Expected both(const char *property, const char *value)
{
    return {property, value, value};
}

Expected themed(const char *property, const char *light, const char *dark)
{
    return {property, light, dark};
}

struct ExpectedRule {
    QList<const char *> selectors;  // several when one block may serve a selector group
    QList<Expected> properties;
};

const QStringList kThemes = {QStringLiteral("light"), QStringLiteral("dark")};

// The line edit's box; the combo box repeats it so both inputs look alike.
const QList<Expected> kInputBox = {
    themed("background-color", "#fff", "#373737"),
    themed("border", "1px solid #F0F0F0", "1px solid #373737"),
    both("border-top-left-radius", "4px"),
    both("border-top-right-radius", "4px"),
    both("border-bottom-right-radius", "5px 1px"),
    both("border-bottom-left-radius", "5px 1px"),
    themed("border-bottom-color", "#A4A4A4", "#757575"),
    themed("color", "#000", "#fff"),
};

// Tool tips look the same over tables and over tool buttons.
const QList<Expected> kToolTip = {
    themed("color", "#000", "#fff"),
    themed("border", "1px solid #E5E5E5", "1px solid #1E1E1E"),
    themed("background-color", "#fff", "#2B2B2B"),
    both("padding", "5px"),
};

QMap<QString, QList<ExpectedRule>> expectedFiles()
{
    QMap<QString, QList<ExpectedRule>> files;

    files[QStringLiteral("qframe-background-style.qss")] = {
        {{".QFrame"}, {themed("background-color", "#F3F3F3", "#202020")}},
    };

    files[QStringLiteral("qgroupbox-container-style.qss")] = {
        {{".QGroupBox"},
         {themed("background-color", "#fff", "#2B2B2B"),
          themed("border", "1px solid #E5E5E5", "1px solid #1E1E1E"),
          both("border-radius", "8px")}},
        {{".QGroupBox#containerActionSettings"},
         {both("border-top-right-radius", "0px"), both("border-bottom-left-radius", "0px"),
          both("border-bottom-right-radius", "0px")}},
    };

    files[QStringLiteral("qlabel-style.qss")] = {
        {{".QLabel"}, {themed("color", "#000", "#fff"), both("background-color", "transparent")}},
        {{".QLabel::disabled"}, {both("color", "#7f7f7f")}},
    };

    files[QStringLiteral("qpushbutton-primary-style.qss")] = {
        {{".QPushButton"},
         {themed("border", "2px solid #E6E6E6", "2px solid #121212"), both("border-radius", "4px"),
          both("padding-bottom", "3px")}},
        {{".QPushButton::focus"}, {themed("border-color", "#000", "#fff"), both("outline", "none")}},
    };

    files[QStringLiteral("qpushbutton-secondary-style.qss")] = {
        {{".QPushButton"},
         {themed("border", "1px solid #E6E6E6", "2px solid #2D2D2D"), both("border-radius", "4px"),
          themed("background-color", "#fff", "#2D2D2D"), themed("color", "#000", "#fff"),
          both("padding-bottom", "3px")}},
        {{".QPushButton::hover"},
         {themed("background-color", "#fafafa", "#323232"),
          themed("border-color", Absent, "#323232")}},
        {{".QPushButton::pressed"},
         {themed("background-color", "#FDFDFD", "#272727"),
          themed("border-color", "#F0F0F0", "#303030"), themed("color", "#808080", "#BBBBBB"),
          themed("border-width", Absent, "1px")}},
        {{".QPushButton::focus"},
         {themed("border-color", "#000", "#fff"), themed("border-width", "2px", Absent),
          both("outline", "none")}},
    };

    files[QStringLiteral("qlineedit-style.qss")] = {
        {{".QLineEdit"}, kInputBox},
        {{".QLineEdit::hover"}, {themed("background-color", "#fafafa", "#323232")}},
        {{".QLineEdit::focus"},
         {themed("background-color", "#fff", "#222222"), both("border-bottom-width", "2px")}},
        {{".QLineEdit::disabled"},
         {themed("background-color", "#fff", "#202020"), both("color", "#717670")}},
    };

    files[QStringLiteral("qcombobox-style.qss")] = {
        {{".QComboBox"}, kInputBox + QList<Expected>{both("padding", "5px"), both("combobox-popup", "0")}},
        {{".QComboBox::disabled"}, {both("color", "#717670")}},
        {{".QComboBox::hover"}, {themed("background-color", "#fafafa", "#323232")}},
        {{".QComboBox::focus"},
         {themed("background-color", "#fff", "#222222"),
          themed("border", "2px solid #000", "2px solid #fff"), both("border-radius", "4px")}},
        {{".QComboBox::drop-down"}, {themed("border", "none", "0px")}},
        {{".QComboBox::down-arrow"},
         {themed("image", "url(:/images/windows/light/down-arrow.png)",
                 "url(:/images/windows/dark/down-arrow.png)"),
          both("width", "12px"), both("height", "12px"), both("margin-right", "15px"),
          both("margin-top", "2px")}},
        {{".QComboBox::down-arrow::disabled"},
         {themed("image", "url(:/images/windows/light/down-arrow-disabled.png)",
                 "url(:/images/windows/dark/down-arrow-disabled.png)")}},
        {{"QListView"},
         {themed("background-color", "#fff", "#2C2C2C"),
          themed("border", "1px solid #E5E5E5", "1px solid #1E1E1E"), both("border-radius", "8px"),
          both("padding", "5px 6px 5px 6px"), both("outline", "none")}},
        {{"QListView::item"}, {both("padding", "5px 5px 5px 0"), both("border", "none")}},
        {{"QListView::item::selected"},
         {themed("background-color", "#F0F0F0", "#383838"), themed("color", "#000", "#fff"),
          themed("border", "1px solid #F0F0F0", "1px solid #383838"), both("border-radius", "4px")}},
    };

    files[QStringLiteral("qtablewidget-style.qss")] = {
        {{".QHeaderView"}, {themed("background-color", "#fff", "#2B2B2B")}},
        {{".QHeaderView::section"},
         {themed("background-color", "#fff", "#2B2B2B"), themed("color", "#000", "#fff"),
          both("font-size", "14px"), themed("border", "1px solid #fff", "1px solid #2B2B2B"),
          themed("border-right", "1px solid #E5E5E5", "1px solid #1E1E1E"),
          both("padding", "7px")}},
        {{".QTableWidget"}, {themed("border", "1px solid #E5E5E5", "1px solid #1E1E1E")}},
        {{".QTableWidget#popupSelectionTable"}, {both("border", "none")}},
        {{".QTableWidget::item"},
         {themed("background-color", "#F1F4F6", "#222222"), themed("color", "#000", "#fff"),
          both("font-size", "14px"), both("border", "0px solid #d3d3d3"),
          both("padding-left", "5px")}},
        {{".QTableWidget::item::alternate"}, {themed("background-color", "#fff", "#2B2B2B")}},
        {{".QTableWidget::focus"}, {both("outline", "none")}},
        {{"QScrollBar:vertical"},
         {both("width", "8px"), themed("background", "#fff", "#2B2B2B"),
          both("border-radius", "4px")}},
        {{"QScrollBar::handle:vertical"},
         {themed("background", "#8A8A8A", "#9EA19F"), both("border-radius", "4px")}},
        {{"QScrollBar::add-line:vertical", "QScrollBar::sub-line:vertical"},
         {both("background", "none")}},
        {{"QScrollBar:horizontal"},
         {both("height", "8px"), themed("background", "#fff", "#2B2B2B"),
          both("border-radius", "4px")}},
        {{"QScrollBar::handle:horizontal"},
         {themed("background", "#8A8A8A", "#9EA19F"), both("border-radius", "4px")}},
        {{"QScrollBar::add-line:horizontal", "QScrollBar::sub-line:horizontal"},
         {both("background", "none")}},
        {{"QAbstractScrollArea::corner"}, {both("background", "transparent")}},
        {{"QToolTip"}, kToolTip},
    };

    files[QStringLiteral("qtoolbutton-style.qss")] = {
        {{".QToolButton"},
         {both("background-color", "transparent"), both("border", "2px solid transparent"),
          both("border-radius", "4px")}},
        {{".QToolButton::hover"}, {themed("background-color", "#EAEAEA", "#202020")}},
        {{".QToolButton::pressed"}, {themed("background-color", "#e3dcdc", "#181818")}},
        {{".QToolButton::focus"}, {themed("border-color", "#000", "#fff"), both("outline", "none")}},
        {{"QToolTip"}, kToolTip},
    };

    return files;
}

// Expected rules of one file in one theme, keyed by single selector.
Rules expectedRules(const QString &theme, const QList<ExpectedRule> &rules)
{
    const bool dark = theme == QLatin1String("dark");
    Rules result;
    for (const ExpectedRule &rule : rules) {
        Declarations declarations;
        for (const Expected &e : rule.properties) {
            const char *value = dark ? e.dark : e.light;
            if (value)
                declarations.append({QLatin1String(e.property), QLatin1String(value)});
        }
        for (const char *selector : rule.selectors)
            result.insert(QLatin1String(selector), declarations);
    }
    return result;
}

// Splits a sheet into rules. Fails with a message on anything a reader of the
// sheet could misread: unbalanced braces, declarations without a colon, or a
// selector given twice (which would make the later block override silently).
bool parseSheet(const QString &source, Rules *rules, QString *error)
{
    QString text = source;
    text.remove(QRegularExpression(QStringLiteral("/\\*.*?\\*/"),
                                   QRegularExpression::DotMatchesEverythingOption));
    if (text.contains(QLatin1String("/*")) || text.contains(QLatin1String("*/"))) {
        *error = QStringLiteral("unterminated comment");
        return false;
    }

    qsizetype pos = 0;
    while (true) {
        const qsizetype open = text.indexOf(QLatin1Char('{'), pos);
        if (open < 0) {
            if (!text.mid(pos).simplified().isEmpty()) {
                *error = QStringLiteral("text after the last rule: ") + text.mid(pos).simplified();
                return false;
            }
            return true;
        }
        const qsizetype close = text.indexOf(QLatin1Char('}'), open);
        if (close < 0) {
            *error = QStringLiteral("missing '}'");
            return false;
        }
        const QString selectorText = text.mid(pos, open - pos);
        const QString body = text.mid(open + 1, close - open - 1);
        if (selectorText.contains(QLatin1Char('}')) || body.contains(QLatin1Char('{'))) {
            *error = QStringLiteral("unbalanced braces near: ") + selectorText.simplified();
            return false;
        }

        Declarations declarations;
        for (const QString &item : body.split(QLatin1Char(';'))) {
            if (item.simplified().isEmpty())
                continue;
            const qsizetype colon = item.indexOf(QLatin1Char(':'));
            if (colon < 0) {
                *error = QStringLiteral("declaration without ':': ") + item.simplified();
                return false;
            }
            declarations.append({item.left(colon).simplified(), item.mid(colon + 1).simplified()});
        }

        for (const QString &part : selectorText.split(QLatin1Char(','))) {
            const QString selector = part.simplified();
            if (selector.isEmpty()) {
                *error = QStringLiteral("empty selector in: ") + selectorText.simplified();
                return false;
            }
            if (rules->contains(selector)) {
                *error = QStringLiteral("selector given twice: ") + selector;
                return false;
            }
            rules->insert(selector, declarations);
        }
        pos = close + 1;
    }
}

// Hex colours are case-insensitive for Qt; resource paths inside url() are not.
bool sameValue(const QString &actual, const QString &expected)
{
    if (expected.contains(QLatin1String("url(")))
        return actual == expected;
    return actual.compare(expected, Qt::CaseInsensitive) == 0;
}

QString describe(const Declarations &declarations)
{
    QStringList parts;
    for (const Declaration &d : declarations)
        parts << d.first + QLatin1String(": ") + d.second;
    return parts.join(QLatin1String("; "));
}

QString resourcePath(const QString &theme, const QString &file)
{
    return QStringLiteral(":/styles/windows/%1/%2").arg(theme, file);
}

}  // namespace

class TestStyleFiles : public QObject
{
    Q_OBJECT

private:
    void addThemeFileRows();

private slots:
    void initTestCase();
    void fileFormat_data();
    void fileFormat();
    void rules_data();
    void rules();
};

void TestStyleFiles::addThemeFileRows()
{
    QTest::addColumn<QString>("theme");
    QTest::addColumn<QString>("file");
    const QStringList files = expectedFiles().keys();
    for (const QString &theme : kThemes) {
        for (const QString &file : files)
            QTest::newRow(qPrintable(theme + QLatin1Char('/') + file)) << theme << file;
    }
}

void TestStyleFiles::initTestCase()
{
    QVERIFY2(QDir(QStringLiteral(":/styles/windows")).exists(),
             "the style sheets are not in the resource bundle linked into this test");
}

void TestStyleFiles::fileFormat_data()
{
    addThemeFileRows();
}

// The sheets are read as Latin-1 and must stay byte-identical on every
// checkout, so they are plain ASCII with CR LF line ends and no final line end.
void TestStyleFiles::fileFormat()
{
    QFETCH(QString, theme);
    QFETCH(QString, file);

    QFile f(resourcePath(theme, file));
    QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName() + QLatin1String(" cannot be opened")));
    const QByteArray bytes = f.readAll();
    QVERIFY2(!bytes.isEmpty(), "file is empty");

    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar c = uchar(bytes.at(i));
        QVERIFY2(c < 0x80, qPrintable(QStringLiteral("non-ASCII byte 0x%1 at offset %2")
                                          .arg(uint(c), 2, 16, QLatin1Char('0')).arg(i)));
        if (c == '\n')
            QVERIFY2(i > 0 && bytes.at(i - 1) == '\r',
                     qPrintable(QStringLiteral("line end without CR at offset %1").arg(i)));
        if (c == '\r')
            QVERIFY2(i + 1 < bytes.size() && bytes.at(i + 1) == '\n',
                     qPrintable(QStringLiteral("CR without LF at offset %1").arg(i)));
    }
    QVERIFY2(bytes.endsWith('}'), "file must end with '}' and no line end after it");
}

void TestStyleFiles::rules_data()
{
    addThemeFileRows();
}

// Every selector, property and value of the theme, in order: later
// declarations override earlier ones (e.g. border, then border-bottom-color),
// so a reordered rule would look different even with the same values.
void TestStyleFiles::rules()
{
    QFETCH(QString, theme);
    QFETCH(QString, file);

    QFile f(resourcePath(theme, file));
    QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName() + QLatin1String(" cannot be opened")));
    Rules actual;
    QString error;
    QVERIFY2(parseSheet(QString::fromLatin1(f.readAll()), &actual, &error), qPrintable(error));

    const Rules expected = expectedRules(theme, expectedFiles().value(file));
    QVERIFY(!expected.isEmpty());

    QStringList missing;
    QStringList extra;
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        if (!actual.contains(it.key()))
            missing << it.key();
    }
    for (auto it = actual.cbegin(); it != actual.cend(); ++it) {
        if (!expected.contains(it.key()))
            extra << it.key();
    }
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("missing selectors: ") + missing.join(QLatin1String(" | "))));
    QVERIFY2(extra.isEmpty(), qPrintable(QStringLiteral("unexpected selectors: ") + extra.join(QLatin1String(" | "))));

    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const Declarations &want = it.value();
        const Declarations got = actual.value(it.key());
        bool same = want.size() == got.size();
        for (qsizetype i = 0; same && i < want.size(); ++i)
            same = got.at(i).first == want.at(i).first && sameValue(got.at(i).second, want.at(i).second);
        QVERIFY2(same, qPrintable(QStringLiteral("%1\n   expected: %2\n   actual:   %3")
                                      .arg(it.key(), describe(want), describe(got))));
    }
}

QTEST_GUILESS_MAIN(TestStyleFiles)
#include "tst_stylefiles.moc"
