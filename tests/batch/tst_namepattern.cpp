// Output file names from the "Output file name" pattern: fields, tidying around missing ones,
// characters a name cannot hold, and the cut to the file system's 255 bytes.
#include "batch/namepattern.h"

#include <QTest>

using NamePattern::Fields;

namespace {

// "title=Song" pairs; name is "clip" unless given.
Fields fieldsFrom(const QStringList &pairs)
{
    Fields f;
    f.name = QStringLiteral("clip");
    for (const QString &pair : pairs) {
        const qsizetype at = pair.indexOf(u'=');
        const QString key = pair.left(at);
        const QString value = pair.mid(at + 1);
        QString *field = key == u"name"           ? &f.name
                         : key == u"title"        ? &f.title
                         : key == u"artist"       ? &f.artist
                         : key == u"album"        ? &f.album
                         : key == u"date"         ? &f.date
                         : key == u"track"        ? &f.track
                         : key == u"lang"         ? &f.lang
                         : key == u"chapter"      ? &f.chapter
                         : key == u"chaptertitle" ? &f.chapterTitle
                                                  : nullptr;
        if (!field)
            qFatal("unknown field in test data: %s", qPrintable(key));
        *field = value;
    }
    return f;
}

const QStringList everyField{
    QStringLiteral("name=clip"),    QStringLiteral("title=Song"), QStringLiteral("artist=Band"),
    QStringLiteral("album=Record"), QStringLiteral("date=1999"),  QStringLiteral("track=07"),
    QStringLiteral("lang=eng"),     QStringLiteral("chapter=03"), QStringLiteral("chaptertitle=Intro"),
};

} // namespace

class TestNamePattern : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fileName_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("expected");
        const QStringList song{QStringLiteral("title=Song")};
        const QStringList band{QStringLiteral("title=Song"), QStringLiteral("artist=Band")};

        QTest::newRow("default") << NamePattern::defaultPattern << everyField << "clip.mp3";
        QTest::newRow("every field")
            << "{name}|{title}|{artist}|{album}|{date}|{track}|{lang}|{chapter}|{chaptertitle}" << everyField
            << "clip|Song|Band|Record|1999|07|eng|03|Intro.mp3";
        QTest::newRow("any case") << "{Artist} - {TITLE}" << band << "Band - Song.mp3";
        QTest::newRow("text kept") << "_{title}_ (x)" << song << "_Song_ (x).mp3";
        QTest::newRow("unknown kept") << "{foo} {title}" << song << "{foo} Song.mp3";

        // Missing fields and the separators around them.
        QTest::newRow("first missing") << "{artist} - {title}" << song << "Song.mp3";
        QTest::newRow("track missing") << "{track}. {title}" << song << "Song.mp3";
        QTest::newRow("last missing") << "{title} - {artist}" << song << "Song.mp3";
        QTest::newRow("middle missing") << "{artist} - {album} - {title}" << band << "Band - Song.mp3";
        QTest::newRow("two in a row") << "{artist}, {album}_{date} – {title}" << band << "Band, Song.mp3";
        QTest::newRow("ends missing") << "{track} - {title} - {album}" << song << "Song.mp3";
        QTest::newRow("chapter missing") << "{name}_{chapter}.{chaptertitle}" << song << "clip.mp3";
        QTest::newRow("brackets") << "{artist} ({date}) {title} [{lang}]" << band << "Band Song.mp3";
        QTest::newRow("other text stays") << "{title} by {artist}" << song << "Song by.mp3";
        QTest::newRow("blanks") << "  {title}   -\u00a0 {artist}  " << band << "Song - Band.mp3";
        QTest::newRow("blank value") << "{artist} - {title}" << QStringList{"title=Song", "artist=  "}
                                     << "Song.mp3";

        // Characters a name cannot hold, from the values and from the pattern itself.
        QTest::newRow("slash in value") << "{artist}" << QStringList{"artist=AC/DC"} << "AC_DC.mp3";
        QTest::newRow("slash in pattern") << "../{title}" << song << ".._Song.mp3";
        QTest::newRow("control in value")
            << "{title}" << QStringList{QStringLiteral("title=a\tb\nc") + QChar(0) + u'\x7f' + u'\x85'}
            << "a_b_c___.mp3";
        QTest::newRow("control in pattern") << QStringLiteral("x\ry") + QChar(0) << song << "x_y_.mp3";
        QTest::newRow("lone surrogate")
            << "{title}" << QStringList{QStringLiteral("title=a") + QChar(0xd800)} << "a_.mp3";
        QTest::newRow("dot dot value") << "{title}" << QStringList{"title=.."} << "_.mp3";
        QTest::newRow("dot pattern") << "." << song << "_.mp3";

        // Nothing left: the source's name, then "_".
        QTest::newRow("empty falls back") << "{artist} - {album}" << song << "clip.mp3";
        QTest::newRow("empty pattern") << "" << song << "clip.mp3";
        QTest::newRow("no name either") << "{artist}" << QStringList{"name="} << "_.mp3";
    }

    void fileName()
    {
        QFETCH(QString, pattern);
        QFETCH(QStringList, fields);
        QFETCH(QString, expected);
        QCOMPARE(NamePattern::fileName(pattern, fieldsFrom(fields), QStringLiteral("mp3")), expected);
    }

    void cut_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("stemLength"); // in QChars
        // 230 bytes (255 less what the temporary name adds) less ".mp3" leaves 226 for the stem.
        QTest::newRow("ascii") << QString(300, u'e') << 226;
        QTest::newRow("two bytes") << QString(300, u'\u00e9') << 113;                // 113 "é"
        QTest::newRow("three bytes") << QString(300, u'\u20ac') << 75;               // 75 "€"
        QTest::newRow("emoji") << QStringLiteral("\U0001F600").repeated(100) << 112; // 56, 4 bytes each
        QTest::newRow("odd emoji") << u'a' + QStringLiteral("\U0001F600").repeated(100) << 113; // "a" + 56
        QTest::newRow("accents") << QStringLiteral("e\u0301").repeated(200) << 150; // 75 "é" of 3 bytes
        // A letter with more accents than fit is cut between them rather than left out.
        QTest::newRow("one long letter") << u'e' + QString(200, u'\u0301') << 113;
        QTest::newRow("blank at cut") << QString(225, u'e') + QStringLiteral(" \u00e9\u00e9") << 225;
        QTest::newRow("fits") << QString(226, u'e') << 226;
    }

    void cut()
    {
        QFETCH(QString, name);
        QFETCH(int, stemLength);
        Fields f;
        f.name = name;
        const QString result = NamePattern::fileName(NamePattern::defaultPattern, f, QStringLiteral("mp3"));
        const QByteArray utf8 = result.toUtf8();
        QVERIFY2(utf8.size() <= NamePattern::maxNameBytes, utf8.constData());
        QVERIFY(result.endsWith(u".mp3"));
        QCOMPARE(QString::fromUtf8(utf8), result);
        for (qsizetype i = 0; i < result.size(); ++i) {
            if (result.at(i).isHighSurrogate())
                QVERIFY(i + 1 < result.size() && result.at(++i).isLowSurrogate());
            else
                QVERIFY(!result.at(i).isSurrogate());
        }
        QCOMPARE(result.chopped(4), name.left(stemLength));
    }

    void unknownFields_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("default") << NamePattern::defaultPattern << QStringList();
        QTest::newRow("all known")
            << "{name}{title}{artist}{album}{date}{track}{lang}{chapter}{chaptertitle}{Name}"
            << QStringList();
        QTest::newRow("unknown") << "{foo} - {title} {year} {foo} {}" << QStringList{"{foo}", "{year}", "{}"};
        QTest::newRow("no braces") << "plain {title" << QStringList();
    }

    void unknownFields()
    {
        QFETCH(QString, pattern);
        QFETCH(QStringList, expected);
        QCOMPARE(NamePattern::unknownFields(pattern), expected);
    }
};

QTEST_GUILESS_MAIN(TestNamePattern)
#include "tst_namepattern.moc"
