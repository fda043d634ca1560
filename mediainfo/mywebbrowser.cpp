#include "mywebbrowser.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QRegularExpression>

TMyWebBrowser::TMyWebBrowser(QWidget *parent) : QTextBrowser(parent)
{
    // The view shows composed pages only; nothing in them should take the user elsewhere.
    setOpenLinks(false);
    setBorder3DEnabled(m_border3DEnabled);
    setScrollEnabled(m_scrollEnabled);
}

void TMyWebBrowser::setContextMenuEnabled(bool on)
{
    m_contextMenuEnabled = on;
}

void TMyWebBrowser::setAcceleratorsEnabled(bool on)
{
    m_acceleratorsEnabled = on;
}

void TMyWebBrowser::setBorder3DEnabled(bool on)
{
    m_border3DEnabled = on;
    if (on) {
        setFrameShape(QFrame::StyledPanel);
        setFrameShadow(QFrame::Sunken);
    } else {
        setFrameShape(QFrame::NoFrame);
    }
}

void TMyWebBrowser::setScrollEnabled(bool on)
{
    m_scrollEnabled = on;
    const Qt::ScrollBarPolicy policy = on ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
    setHorizontalScrollBarPolicy(policy);
    setVerticalScrollBarPolicy(policy);
}

void TMyWebBrowser::contextMenuEvent(QContextMenuEvent *event)
{
    if (m_contextMenuEnabled) {
        QTextBrowser::contextMenuEvent(event);
        return;
    }
    event->accept();
}

void TMyWebBrowser::keyPressEvent(QKeyEvent *event)
{
    // With shortcuts off every key pressed with Ctrl (copy, select all, zoom...) does nothing.
    if (!m_acceleratorsEnabled && event->modifiers().testFlag(Qt::ControlModifier)) {
        event->accept();
        return;
    }
    QTextBrowser::keyPressEvent(event);
}

QString adaptForView(const QString &page)
{
    static const QString boxStyle = QStringLiteral("border-color:#dddddd; border-style:solid;");
    static const QRegularExpression style(QStringLiteral("<style>.*</style>"),
                                          QRegularExpression::DotMatchesEverythingOption |
                                              QRegularExpression::InvertedGreedinessOption);
    static const QRegularExpression logo(QStringLiteral("<p id=logo>(.*)</p>"),
                                         QRegularExpression::DotMatchesEverythingOption |
                                             QRegularExpression::InvertedGreedinessOption);
    static const QRegularExpression fieldset(QStringLiteral("<fieldset[^>]*>"));
    static const QRegularExpression legend(QStringLiteral("<legend>(.*)</legend>"),
                                           QRegularExpression::DotMatchesEverythingOption |
                                               QRegularExpression::InvertedGreedinessOption);
    static const QRegularExpression pre(QStringLiteral("<pre>.*</pre>"),
                                        QRegularExpression::DotMatchesEverythingOption |
                                            QRegularExpression::InvertedGreedinessOption);

    QString html = page;
    // Qt reads the style sheet's percentage fonts and fieldset rules differently; the boxes below
    // carry the same look inline.
    html.remove(style);
    html.replace(logo,
                 QStringLiteral("<table width=\"100%\" border=\"4\" cellspacing=\"0\" cellpadding=\"10\" "
                                "bgcolor=\"#eeeeee\" style=\"") +
                     boxStyle +
                     QStringLiteral(" color:#555555;\"><tr><td align=\"center\">\\1</td></tr></table>"));
    html.replace(fieldset,
                 QStringLiteral("<table width=\"100%\" border=\"4\" cellspacing=\"0\" cellpadding=\"0\" "
                                "style=\"") +
                     boxStyle + QStringLiteral("\"><tr><td>"));
    html.replace(QStringLiteral("</fieldset>"), QStringLiteral("</td></tr></table>"));
    html.replace(legend,
                 QStringLiteral("<p align=\"center\" style=\"color:#0099cc; font-weight:bold;\">\\1</p>"));

    // A carriage return alone is no line break to Qt's parser.
    QString adapted;
    qsizetype done = 0;
    for (auto it = pre.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        adapted += QStringView(html).mid(done, m.capturedStart() - done);
        QString block = m.captured();
        block.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        adapted += block;
        done = m.capturedEnd();
    }
    adapted += QStringView(html).mid(done);
    return adapted;
}

void loadhtml(const QString &page, TMyWebBrowser *view)
{
    view->setHtml(adaptForView(page));
}
