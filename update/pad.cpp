#include "pad.h"

#include <QXmlStreamReader>
#include <vector>

namespace {

// The elements on the two paths that are read; everything else is passed over.
enum class Step
{
    Root,
    ProgramInfo,
    Version,
    WebInfo,
    DownloadUrls,
    PrimaryUrl,
    Other
};

struct Path
{
    Step parent;
    Step step;
    QLatin1StringView name;
};

constexpr Path paths[] = {
    {Step::Root, Step::ProgramInfo, QLatin1StringView("Program_Info")},
    {Step::ProgramInfo, Step::Version, QLatin1StringView("Program_Version")},
    {Step::Root, Step::WebInfo, QLatin1StringView("Web_Info")},
    {Step::WebInfo, Step::DownloadUrls, QLatin1StringView("Download_URLs")},
    {Step::DownloadUrls, Step::PrimaryUrl, QLatin1StringView("Primary_Download_URL")},
};

// What a read leaf holds: nothing, one text, or something else (an error once it is read).
struct Leaf
{
    int nodes = 0;
    bool textOnly = true;
    QString text;

    void add(bool isText, QStringView value = {})
    {
        if (nodes++ == 0)
            text = value.toString();
        textOnly = textOnly && isText;
    }
    QString read(QLatin1StringView name) const
    {
        if (nodes == 0)
            return QString();
        if (nodes == 1 && textOnly)
            return text;
        throw EPadError(QStringLiteral("Element %1 holds more than text").arg(name));
    }
};

} // namespace

// One pass over the document without building a tree: a tree costs time by the square of the
// nesting depth, and a hostile file may nest hundreds of thousands of levels.
PadInfo readPad(const QByteArray &data)
{
    QXmlStreamReader xml(data);
    xml.setNamespaceProcessing(false);
    std::vector<Step> open;
    bool found[int(Step::Other)] = {};
    Leaf version;
    Leaf url;
    bool rootSeen = false;
    bool dtdSeen = false;

    auto leafOf = [&](Step step) -> Leaf * {
        return step == Step::Version ? &version : step == Step::PrimaryUrl ? &url : nullptr;
    };

    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        Leaf *leaf = open.empty() ? nullptr : leafOf(open.back());
        switch (token) {
        case QXmlStreamReader::StartElement: {
            if (leaf)
                leaf->add(false);
            Step step = Step::Other;
            if (open.empty()) {
                step = Step::Root;
                rootSeen = true;
            } else {
                for (const Path &p : paths) {
                    if (p.parent == open.back() && !found[int(p.step)] && xml.qualifiedName() == p.name) {
                        step = p.step;
                        found[int(step)] = true;
                    }
                }
            }
            open.push_back(step);
            break;
        }
        case QXmlStreamReader::EndElement:
            if (!open.empty())
                open.pop_back();
            break;
        case QXmlStreamReader::Characters:
            // Spacing alone is no node, as in a document tree; spacing in CDATA is.
            if (leaf && (xml.isCDATA() || !xml.text().trimmed().isEmpty()))
                leaf->add(true, xml.text());
            break;
        case QXmlStreamReader::Comment:
        case QXmlStreamReader::ProcessingInstruction:
        case QXmlStreamReader::EntityReference:
            if (leaf)
                leaf->add(false);
            break;
        case QXmlStreamReader::DTD:
            // One, before the root element, as a document tree takes it.
            if (rootSeen || dtdSeen)
                throw EPadError(QStringLiteral("Misplaced document type declaration"));
            dtdSeen = true;
            break;
        default:
            break;
        }
    }
    if (xml.hasError())
        throw EPadError(xml.errorString());

    for (const Step branch : {Step::ProgramInfo, Step::WebInfo, Step::DownloadUrls}) {
        if (!found[int(branch)])
            throw EPadError(QStringLiteral("Missing element on the path to the version or the download"));
    }
    PadInfo pad;
    pad.version = version.read(QLatin1StringView("Program_Version"));
    pad.downloadUrl = url.read(QLatin1StringView("Primary_Download_URL"));
    return pad;
}
