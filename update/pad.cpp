#include "pad.h"

#include <QDomDocument>

namespace {

QDomElement branch(const QDomElement &parent, const QString &name)
{
    const QDomElement e = parent.firstChildElement(name);
    if (e.isNull())
        throw EPadError(QStringLiteral("Missing element %1").arg(name));
    return e;
}

QString leafText(const QDomElement &parent, const QString &name)
{
    const QDomElement e = parent.firstChildElement(name);
    if (e.isNull())
        return QString();
    const QDomNodeList children = e.childNodes();
    if (children.isEmpty())
        return QString();
    if (children.size() == 1 && children.at(0).isText())
        return children.at(0).nodeValue();
    throw EPadError(QStringLiteral("Element %1 holds more than text").arg(name));
}

} // namespace

PadInfo readPad(const QByteArray &data)
{
    QDomDocument doc;
    QString error;
    if (!doc.setContent(data, false, &error))
        throw EPadError(error);
    const QDomElement root = doc.documentElement();
    if (root.isNull())
        throw EPadError(QStringLiteral("No root element"));

    PadInfo pad;
    pad.version = leafText(branch(root, QStringLiteral("Program_Info")), QStringLiteral("Program_Version"));
    const QDomElement urls =
        branch(branch(root, QStringLiteral("Web_Info")), QStringLiteral("Download_URLs"));
    pad.downloadUrl = leafText(urls, QStringLiteral("Primary_Download_URL"));
    return pad;
}
