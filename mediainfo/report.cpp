#include "report.h"

#include "mediainfodll.h"
#include "mediainfolib.h"
#include "mediavalue.h"

#include <cmath>

namespace {

// Carriage return only: inside the page's pre-formatted blocks it starts a new line.
const QString lineBreak = QStringLiteral("\r");

const QString styleAndHead = QStringLiteral(
    "<html><style>body  { FONT: 76% tahoma,verdana,sans-serif;}#logo {MARGIN: 0px 0px 0px 0px; PADDING: "
    "10px; BORDER: #dde 4px solid; BACKGROUND: #eee; COLOR: #555; TEXT-ALIGN: center}legend {COLOR: "
    "#0099CC; TEXT-ALIGN: center; FONT: 76% tahoma,verdana,sans-serif; FONT-WEIGHT: bold;}fieldset{MARGIN: "
    "0px 0px 0px 0px; PADDING: 0px 0px 0px 0px; BORDER: #dde 4px solid;}</style><body><p id=logo>");

QString text(const QString &value)
{
    return value.toHtmlEscaped();
}

QString number(qint64 value)
{
    return QString::number(value);
}

QString audioSection(const AudioFacts &audio);

} // namespace

qint64 kbpsFigure(double bitsPerSecond)
{
    // nearbyint follows the default rounding mode, which rounds halves to even.
    const double figure = std::nearbyint(bitsPerSecond / 1000.0);
    // No real bit rate comes near these bounds; a nonsense answer must not overflow the cast.
    return std::fabs(figure) < 1e15 ? qint64(figure) : 0;
}

namespace {
QString audioSection(const AudioFacts &audio)
{
    return QStringLiteral("<fieldset align=\"center\"><legend>Audio Stream:</legend><pre>") +
           QStringLiteral("  Format:           ") + text(audio.codec) + lineBreak +
           QStringLiteral("  Sample Rate:      ") + number(audio.samplingRate) + lineBreak +
           QStringLiteral("  Channels:         ") + number(audio.channels) + lineBreak +
           QStringLiteral("  Bitrate:          ") + number(kbpsFigure(audio.bitRate)) +
           QStringLiteral(" kbps") + QStringLiteral("</pre></fieldset>");
}
} // namespace

QString composeReport(const QString &FileName, const ReportFacts &facts)
{
    QString page;
    page += styleAndHead;
    page += text(FileName);
    page += QStringLiteral("</p>");

    page += QStringLiteral("<fieldset align=\"center\"><legend>Video Stream:</legend><pre>");
    page += QStringLiteral("  Format:           ") + text(facts.videoCodec) + lineBreak;
    page += QStringLiteral("  Bitrate:          ") + number(kbpsFigure(facts.videoBitRate)) +
            QStringLiteral(" kbps");
    page += QStringLiteral("</pre></fieldset>");

    page +=
        audioSection({facts.audioCodec, facts.audioSamplingRate, facts.audioChannels, facts.audioBitRate});
    for (const AudioFacts &audio : facts.moreAudio)
        page += audioSection(audio);

    page += QStringLiteral("<fieldset align=\"center\"><legend>Metadata</legend><pre>");
    page += QStringLiteral("  Title:    ") + text(facts.title) + lineBreak;
    page += QStringLiteral("  Copyright:") + text(facts.copyright) + lineBreak;
    page += QStringLiteral("  Genre:    ") + text(facts.genre);
    page += QStringLiteral("</pre></fieldset>");

    page += QStringLiteral("</body></html>");
    return page;
}

QString buildreport(const QString &FileName)
{
    ReportFacts facts;
    {
        const TMediaInfoDll probe(FileName);
        facts.videoCodec = probe.GetVideoCodec();
        facts.videoBitRate = probe.GetVideoBitRate();
        facts.audioCodec = probe.GetAudioCodec(0);
        facts.audioSamplingRate = probe.GetAudioSamplingRate(0);
        facts.audioChannels = probe.GetAudioChannels(0);
        facts.audioBitRate = probe.GetAudioBitRate(0);
        facts.title = probe.GetTitle();
        facts.copyright = probe.GetCopyright();
        facts.genre = probe.GetGenre();
        const qint64 streams = MediaValueToInt(probe.get(MediaInfoLib::General, 0, "AudioCount"), 1);
        for (unsigned n = 1; n < streams; ++n)
            facts.moreAudio.append({probe.GetAudioCodec(n), probe.GetAudioSamplingRate(n),
                                    probe.GetAudioChannels(n), probe.GetAudioBitRate(n)});
    }
    return composeReport(FileName, facts);
}
